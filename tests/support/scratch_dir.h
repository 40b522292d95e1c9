// Folders for tests: a private scratch folder removed with its contents at the end of
// the scope (each gets a unique name, so tests running side by side never share files),
// and a working directory changed for one scope.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace testsupport {

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "vesk-test") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "could not create a folder from " << pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes a folder the working directory for the scope.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& directory) { std::filesystem::current_path(directory); }
  ~ScopedCwd() { std::filesystem::current_path(old_); }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path old_ = std::filesystem::current_path();
};

}  // namespace testsupport
