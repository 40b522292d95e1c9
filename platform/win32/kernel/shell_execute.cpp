// ShellExecuteA without a shell: a program is started with posix_spawn, its parameters
// split as a Windows command line splits them; an existing document is handed to
// xdg-open. A program is a file that the system can run (an ELF image or a "#!" script)
// with its execute bit; the bit alone makes nothing a program, as every file on NTFS
// and CIFS mounts carries it. Nothing waits for the child in the caller's thread; a detached thread reaps
// it so that no zombie is left. The window handle and show command are not applied:
// the started program's windows are placed by the window manager.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "command_line.h"
#include "win32ext.h"
#include "windows.h"

extern char** environ;

namespace {

// Any value above 32 means success; there is no instance handle of another process.
constexpr uintptr_t kStarted = 42;

HINSTANCE Failure(DWORD seError, DWORD lastError) {
  SetLastError(lastError);
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(seError));
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Starts as the system's programs start: "\x7F" "ELF" or "#!".
bool HasProgramContent(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  char head[4] = {};
  ssize_t got = read(fd, head, sizeof head);
  close(fd);
  return (got == 4 && std::memcmp(head, "\x7F" "ELF", 4) == 0) || (got >= 2 && head[0] == '#' && head[1] == '!');
}

bool IsExecutableFile(const std::string& path) {
  return IsRegularFile(path) && access(path.c_str(), X_OK) == 0 && HasProgramContent(path);
}

bool IsDocument(const std::string& path) { return IsRegularFile(path) && !IsExecutableFile(path); }

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithoutExe(const std::string& name) {
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".exe") == 0)
    return name.substr(0, name.size() - 4);
  return std::string();
}

// The directories of PATH; empty entries (the current directory) are skipped on purpose.
std::vector<std::string> SearchPath() {
  const char* path = getenv("PATH");
  std::string list = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::vector<std::string> directories;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) directories.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return directories;
}

// NAME, then NAME without ".exe": as given when it has a directory part, otherwise
// beside the executable and then in each PATH directory.
std::optional<std::string> FindProgram(const std::string& name) {
  std::vector<std::string> names = {name};
  std::string stripped = WithoutExe(name);
  if (!stripped.empty()) names.push_back(stripped);

  std::vector<std::string> directories;
  if (name.find('/') != std::string::npos) {
    directories.push_back(std::string());
  } else {
    std::string programDirectory = win32ext::ExecutableDirectory();
    if (!programDirectory.empty()) directories.push_back(programDirectory + "/");
    for (const std::string& directory : SearchPath()) directories.push_back(directory + "/");
  }
  for (const std::string& directory : directories) {
    for (const std::string& candidate : names) {
      if (IsExecutableFile(directory + candidate)) return directory + candidate;
    }
  }
  return std::nullopt;
}

// Relative names are resolved here, before the child changes its directory.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
  return cwd ? std::string(cwd.get()) + "/" + path : path;
}

HINSTANCE SpawnFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return Failure(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    case ENOMEM:
    case EAGAIN:
      return Failure(SE_ERR_OOM, ERROR_NOT_ENOUGH_MEMORY);
    case ENOEXEC:
      return Failure(ERROR_BAD_FORMAT, ERROR_BAD_FORMAT);
    default:
      return Failure(SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED);
  }
}

HINSTANCE Spawn(const std::vector<std::string>& arguments, const std::string& directory) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  // The child gets none of our descriptors beyond the standard three, an empty signal
  // mask and default signal handling.
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return SpawnFailure(error);

  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to reap it: the child still runs, and becomes a zombie only once it
    // exits before this process does.
  }
  return reinterpret_cast<HINSTANCE>(kStarted);
}

// A document: the desktop's opener decides what shows it. Parameters do not apply.
HINSTANCE OpenDocument(const std::string& name, const std::string& workingDirectory) {
  for (const std::string& directoryOnPath : SearchPath()) {
    std::string opener = directoryOnPath + "/xdg-open";
    if (IsExecutableFile(opener)) return Spawn({Absolute(opener), Absolute(name)}, workingDirectory);
  }
  return Failure(SE_ERR_NOASSOC, ERROR_NOT_SUPPORTED);
}

}  // namespace

HINSTANCE ShellExecuteA(HWND /*window*/, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT /*showCommand*/) {
  if (operation != nullptr && strcasecmp(operation, "open") != 0)
    return Failure(SE_ERR_NOASSOC, ERROR_NOT_SUPPORTED);  // no other verbs are known
  if (file == nullptr || file[0] == '\0') return Failure(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
  std::optional<std::string> name = win32ext::ToSystemPath(file);
  if (!name) return Failure(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);

  std::string workingDirectory;
  if (directory != nullptr && directory[0] != '\0') {
    std::optional<std::string> converted = win32ext::ToSystemPath(directory);
    if (!converted || !IsDirectory(*converted))
      return Failure(SE_ERR_PNF, ERROR_PATH_NOT_FOUND);
    workingDirectory = *converted;
  }

  // An existing file opened with no parameters is a document even when a program of the
  // same name exists: "open movie" must show the movie, not run /usr/bin/movie.
  bool noParameters = parameters == nullptr || parameters[0] == '\0';
  if (noParameters && IsDocument(*name)) return OpenDocument(*name, workingDirectory);

  if (std::optional<std::string> program = FindProgram(*name)) {
    std::vector<std::string> arguments = {Absolute(*program)};
    if (parameters != nullptr) {
      for (const std::string& parameter : win32impl::SplitCommandLine(parameters)) {
        std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(parameter);
        if (!utf8) return Failure(ERROR_INVALID_DATA, ERROR_NO_UNICODE_TRANSLATION);
        arguments.push_back(std::move(*utf8));
      }
    }
    return Spawn(arguments, workingDirectory);
  }
  // (An executable that the search above did not find is not run from here: the
  // current directory is not searched for programs.)
  if (IsDocument(*name)) return OpenDocument(*name, workingDirectory);
  return Failure(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
}
