// Waiting for the programs a test has started, directly or through a program it ran:
// once none is left, every one of them has done all it would do, so a test can say
// "nothing was started" without guessing how long a start takes.
#pragma once

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace testsupport {

// Programs started by a child of this process become this process's children when that
// child ends, instead of going to init, so that WaitForChildProcesses sees them too.
inline void AdoptOrphanedGrandchildren() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

inline bool HasChildProcesses() {
  const pid_t self = getpid();
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;  // not a process
    // Read with plain calls: a process that ends meanwhile makes the read fail with
    // ESRCH, which a stream's buffer would throw as an exception.
    int fd = open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char buffer[1024];
    ssize_t got = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (got <= 0) continue;
    std::string text(buffer, size_t(got));
    size_t close = text.rfind(')');  // the name may hold anything, so read after its ')'
    char state = 0;
    long parent = 0;
    if (close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) == 2 &&
        parent == self)
      return true;
  }
  return false;
}

// Reaps and waits until this process has no child left; false after 10 s (a bound on the
// wait, not a timing).
inline bool WaitForChildProcesses() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!HasChildProcesses()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace testsupport
