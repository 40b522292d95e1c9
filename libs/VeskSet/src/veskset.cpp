// The exported VeskSet: reads this process's command line from /proc/self/cmdline, lets
// the parser fill the record, prints help, version or the complaint, and ends the
// process with status 2 on a bad command line.
#include "VeskSet.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "settings_parser.h"

namespace {

// The whole of /proc/self/cmdline; it has no size in advance, so read until the end.
std::optional<std::string> ReadOwnCommandLine() {
  int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string raw;
  char buffer[4096];
  while (true) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    raw.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return raw;
}

[[noreturn]] void EndWithUsageError(const std::string& line) {
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stdout);
  std::exit(2);
}

}  // namespace

extern "C" VESKSET_API int VeskSet(RecordingSettings* settings) {
  if (settings == nullptr) {
    std::fputs("VeskSet: called without a record to fill\n", stderr);
    return 0;
  }
  std::optional<std::string> raw = ReadOwnCommandLine();
  if (!raw) {
    std::memset(settings, 0, sizeof *settings);
    EndWithUsageError(std::string("vesk: cannot read the command line from /proc/self/cmdline: ") +
                      std::strerror(errno));
  }

  std::string message;
  veskset::ParseResult result =
      veskset::ParseSettings(veskset::SplitCommandLine(*raw), *settings, message,
                             veskset::ProgramNameFromCommandLine(*raw));
  switch (result) {
    case veskset::ParseResult::Filled:
      return 1;
    case veskset::ParseResult::Stop:
      std::fputs(message.c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case veskset::ParseResult::Invalid:
      break;
  }
  EndWithUsageError(message);
}
