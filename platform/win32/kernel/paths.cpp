// Translation of the program's CP932 path names into the UTF-8, '/'-separated names the
// operating system takes, the location of the running executable and of the user's
// configuration folder, and why a path cannot be written.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "win32ext.h"

namespace win32ext {

std::optional<std::string> ToSystemPath(const char* cp932Path) {
  if (cp932Path == nullptr) return std::nullopt;
  // Convert first: a CP932 trail byte may be 0x5C, which is no separator. In UTF-8 the
  // byte 0x5C is only ever the backslash itself.
  std::optional<std::string> path = Cp932ToUtf8(cp932Path);
  if (!path) return std::nullopt;
  std::replace(path->begin(), path->end(), '\\', '/');
  return path;
}

std::string ExecutableDirectory() {
  // Empty when /proc is unavailable; callers then skip the beside-the-program lookups.
  std::string target(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < target.size()) {
      target.resize(static_cast<size_t>(length));
      break;
    }
    if (target.size() >= (1u << 20)) return std::string();
    target.resize(target.size() * 2);
  }
  size_t slash = target.rfind('/');
  if (slash == std::string::npos) return std::string();
  target.resize(slash == 0 ? 1 : slash);
  return target;
}

namespace {

// The folder part of a '/'-separated path: "." for a bare name.
std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_not_of('/');
  slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Why a file cannot be made in the missing folder `folder`: what keeps the folder from
// being made, found by making it (and removing it again at once); or, when it could be
// made, plainly that it is missing.
std::string MissingFolderProblem(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) == 0) {
    rmdir(folder.c_str());
    return strerror(ENOENT);
  }
  if (errno == ENOENT) return strerror(ENOENT);  // its own parent is missing too
  return "the folder '" + folder + "' does not exist and cannot be made in '" + ParentFolder(folder) +
         "': " + strerror(errno);
}

}  // namespace

std::string WriteProblem(const char* cp932Path) {
  std::optional<std::string> path = ToSystemPath(cp932Path);
  if (!path || path->empty()) return "the name is empty or not CP932 text";
  struct stat info;
  if (IsSymbolicLink(*path)) return "it is a symbolic link, which is not followed";
  int fd;
  if (stat(path->c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return strerror(EISDIR);
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    fd = open(path->c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  } else {
    // O_EXCL: a file made here is this call's own, and removed again.
    fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd >= 0) unlink(path->c_str());
  }
  if (fd < 0 && errno == ENOENT && stat(ParentFolder(*path).c_str(), &info) != 0)
    return MissingFolderProblem(ParentFolder(*path));
  if (fd < 0) return strerror(errno);
  close(fd);
  return std::string();
}

bool IsSymbolicLink(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  struct stat info;
  return lstat(trimmed.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::optional<std::string> UserConfigDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/vesk";
  // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return std::nullopt;
  return std::string(home) + "/.config/vesk";
}

}  // namespace win32ext
