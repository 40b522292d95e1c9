// The thread's last error, and the file calls: directories, deletion, full path names,
// and opening existing files for reading. Paths are CP932 and pass through
// ToSystemPath; results and error codes follow Win32.
// Not provided: writing, creating or truncating files through CreateFileA, share-mode
// enforcement (Linux has no mandatory sharing modes) and security attributes. Drive
// letters mean nothing here: "C:\x" is a relative name.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "handles.h"
#include "win32ext.h"
#include "windows.h"

namespace {

// Win32 caps a full path at 32767 characters.
constexpr size_t kMaxFullPath = 32767;

thread_local DWORD lastError = ERROR_SUCCESS;

// Open files: handle value -> file descriptor.
std::mutex fileTableMutex;
std::unordered_map<uint32_t, int>& FileTable() {
  static auto* table = new std::unordered_map<uint32_t, int>();
  return *table;
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// ENOENT means "file not found" when the containing directory exists, and "path not
// found" when it does not, as Win32 distinguishes them.
DWORD NotFoundError(const std::string& path) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);
  return IsDirectory(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ErrorFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return NotFoundError(path);
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
    case ENOTEMPTY:
      return ERROR_ALREADY_EXISTS;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The system path for a CP932 name, or the Win32 error when there is none.
std::optional<std::string> SystemPathOrError(LPCSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::optional<std::string> systemPath = win32ext::ToSystemPath(path);
  if (!systemPath) SetLastError(ERROR_INVALID_NAME);  // bytes that are not CP932
  return systemPath;
}

std::optional<std::string> CurrentDirectory() {
  std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
  if (!cwd) return std::nullopt;
  return std::string(cwd.get());
}

// Collapses empty, "." and ".." components of an absolute path. The result keeps a
// trailing separator when the name had one.
std::string CollapsePath(const std::string& absolute) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= absolute.size()) {
    size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    std::string part = absolute.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty() || absolute.back() == '/') result += "/";
  return result;
}

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES /*security: not applied*/) {
  std::optional<std::string> systemPath = SystemPathOrError(path);
  if (!systemPath) return FALSE;
  if (mkdir(systemPath->c_str(), 0777) != 0) {
    // A missing parent is always "path not found" for a directory being created.
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno, *systemPath));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
  std::optional<std::string> systemPath = SystemPathOrError(path);
  if (!systemPath) return FALSE;
  struct stat info;
  if (lstat(systemPath->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);  // DeleteFileA never removes a directory
    return FALSE;
  }
  if (unlink(systemPath->c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno, *systemPath));
    return FALSE;
  }
  return TRUE;
}

DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
  if (buffer == nullptr && bufferLength != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::string> name = SystemPathOrError(fileName);
  if (!name) return 0;
  if (name->empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }

  std::string absolute = *name;
  if (absolute.front() != '/') {
    std::optional<std::string> cwd = CurrentDirectory();
    if (!cwd) {
      SetLastError(ErrorFromErrno(errno, "."));
      return 0;
    }
    absolute = *cwd + "/" + absolute;
  }
  // Names CP932 cannot hold come through as its escapes, so any folder has a full path.
  const std::string full = win32ext::Utf8ToCp932(CollapsePath(absolute));
  if (full.size() > kMaxFullPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }

  DWORD length = static_cast<DWORD>(full.size());
  if (bufferLength <= length) return length + 1;  // the size needed, NUL included
  memcpy(buffer, full.data(), length);
  buffer[length] = '\0';
  if (filePart != nullptr) {
    // '/' is never a CP932 trail byte, so the last one found is a real separator.
    size_t slash = full.rfind('/');
    *filePart = slash + 1 == length ? nullptr : buffer + slash + 1;
  }
  return length;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                   LPSECURITY_ATTRIBUTES /*security*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile: unused when opening*/) {
  // File attributes (low word) and the two caching hints are accepted; any other flag
  // asks for behaviour (overlapped I/O, delete on close, directories) not provided.
  constexpr DWORD kAcceptedFlags = 0x0000FFFFu | 0x08000000u /*sequential scan*/ |
                                   0x10000000u /*random access*/;
  if (desiredAccess != GENERIC_READ || creationDisposition != OPEN_EXISTING ||
      (flagsAndAttributes & ~kAcceptedFlags) != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  std::optional<std::string> systemPath = SystemPathOrError(fileName);
  if (!systemPath) return INVALID_HANDLE_VALUE;

  // Non-blocking so that naming a FIFO cannot hang the caller; cleared once open.
  int fd = open(systemPath->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno, *systemPath));
    return INVALID_HANDLE_VALUE;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    // Directories (and devices, pipes) are not files this layer opens.
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  uint32_t value = win32impl::NextHandleValue();
  {
    std::lock_guard<std::mutex> lock(fileTableMutex);
    FileTable()[value] = fd;
  }
  return win32impl::MakeHandle<HANDLE>(value);
}

BOOL CloseHandle(HANDLE handle) {
  uint32_t value = win32impl::HandleValue(handle);
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(fileTableMutex);
    auto found = FileTable().find(value);
    if (found != FileTable().end()) {
      fd = found->second;
      FileTable().erase(found);
    }
  }
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  close(fd);
  return TRUE;
}
