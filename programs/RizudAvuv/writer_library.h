// The movie writer library (libAVI2.so) as the editor uses it: loaded at run time like
// the program loads it, for its MemoryToAvifile entry point.
#pragma once

#include <memory>
#include <string>

#include "AVI2.h"

namespace editor {

class WriterLibrary {
 public:
  // Looks where the program looks for its libraries (win32ext::LibraryCandidates).
  static std::unique_ptr<WriterLibrary> Load(std::string* error);
  // The library at exactly this path.
  static std::unique_ptr<WriterLibrary> LoadFile(const std::string& path, std::string* error);
  ~WriterLibrary();
  WriterLibrary(const WriterLibrary&) = delete;
  WriterLibrary& operator=(const WriterLibrary&) = delete;

  MemoryToAvifileFunction memoryToAvifile() const { return memoryToAvifile_; }

 private:
  WriterLibrary(void* handle, MemoryToAvifileFunction function)
      : handle_(handle), memoryToAvifile_(function) {}
  void* handle_;
  MemoryToAvifileFunction memoryToAvifile_;
};

}  // namespace editor
