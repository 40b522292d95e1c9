// The exported VeskSet: reads this process's command line from /proc/self/cmdline, lets
// the parser take the options, asks in the settings window when there is a display and
// no recording options (or --dialog), remembers what the window gave, and fills the
// record; VeskSetExtras hands out the same call's settings beyond that record. Prints
// help, version or the complaint; a bad command line ends the process with status 2.
#include "VeskSet.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "settings_window.h"
#include "settings_file.h"
#include "settings_parser.h"

namespace {

// The choices of the last VeskSet call that filled its record, for VeskSetExtras.
std::optional<veskset::Choices> lastChoices;

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

void Warn(const std::string& line) {
  if (line.empty()) return;
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}

[[noreturn]] void EndWithUsageError(const std::string& line) {
  Warn(line);
  std::fflush(stdout);
  std::exit(2);
}

// Asks in the window, starting from the remembered settings with the options over them.
// False when the user cancelled.
bool AskInWindow(const std::vector<std::string>& args, const std::string& program,
                 veskset::Choices& choices) {
  veskset::Choices start;
  std::optional<std::string> path = veskset::SettingsFilePath();
  if (path) Warn(veskset::SettingsWarning(program, *path, veskset::ReadSettingsFile(*path, start)));
  // The options were good over the defaults, and every value is checked on its own, so
  // they are good over the remembered settings too.
  veskset::CommandLineIntent intent;
  std::string unused;
  veskset::ParseOptions(args, start, intent, unused, program);
  if (!veskset::RunSettingsDialog(start)) return false;
  choices = start;
  std::string error;
  if (path && !veskset::WriteSettingsFile(*path, choices, error))
    Warn(program + ": cannot remember the settings: " + error);
  return true;
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

  std::vector<std::string> args = veskset::SplitCommandLine(*raw);
  std::string program = veskset::ProgramNameFromCommandLine(*raw);
  veskset::Choices choices;
  veskset::CommandLineIntent intent;
  std::string message;
  switch (veskset::ParseOptions(args, choices, intent, message, program)) {
    case veskset::ParseResult::Filled:
      break;
    case veskset::ParseResult::Stop:
      std::memset(settings, 0, sizeof *settings);
      std::fputs(message.c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case veskset::ParseResult::Invalid:
      std::memset(settings, 0, sizeof *settings);
      EndWithUsageError(message);
  }

  bool wanted = intent.dialog == veskset::DialogRequest::Always ||
                (intent.dialog == veskset::DialogRequest::Automatic && !intent.recordingOptions);
  if (wanted && veskset::DialogCanShow()) {
    if (!AskInWindow(args, program, choices)) {
      std::memset(settings, 0, sizeof *settings);
      return 0;
    }
  } else if (intent.dialog == veskset::DialogRequest::Always) {
    std::memset(settings, 0, sizeof *settings);
    EndWithUsageError(program + ": --dialog needs a display, and none can be opened");
  }
  if (!veskset::FillRecord(choices, *settings))
    EndWithUsageError(program + ": internal error: a text does not fit its field");
  lastChoices = choices;
  return 1;
}

extern "C" VESKSET_API int VeskSetExtras(RecordingExtras* extras) {
  if (extras == nullptr || extras->size < sizeof extras->size || !lastChoices) return 0;
  veskset::FillExtras(*lastChoices, *extras);
  return 1;
}
