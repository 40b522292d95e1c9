// The command-line parser behind VeskSet: turns the argument list (without the program
// name) into choices or a filled RecordingSettings record, a help or version text, or a
// one-line complaint. It reads nothing and prints nothing; the export does both. The
// settings file goes through the same value checks, one key at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "VeskSet.h"
#include "choices.h"

namespace veskset {

enum class ParseResult {
  Filled,   // settings holds the record; the program goes on
  Stop,     // message holds the help or version text for standard output
  Invalid,  // message holds one line (no newline) for standard error
};

// Whether the user asked for the settings window (--dialog, --no-dialog), and whether
// any option that decides the recording was given.
enum class DialogRequest { Automatic, Always, Never };
struct CommandLineIntent {
  DialogRequest dialog = DialogRequest::Automatic;
  bool recordingOptions = false;
};

// Parses args on top of choices, which hold the starting values (the defaults, or the
// remembered settings). On Invalid or Stop choices may be partly changed.
ParseResult ParseOptions(const std::vector<std::string>& args, Choices& choices,
                         CommandLineIntent& intent, std::string& message,
                         std::string_view programName = "vesk");

// Why the movie's name cannot go to the editor or the converter when the choices ask
// for them ("" when it can, or when they are not asked for): they receive it unquoted,
// split into words, and join the words with single spaces, so only a name that this
// rebuilds exactly names the movie and nothing else.
std::string HandOverProblem(const Choices& choices);

// Applies one "key=value" of the settings file; the keys are the long option names. A
// bad value leaves choices as they were and gives the reason (no program name).
bool ApplySetting(std::string_view key, std::string_view value, Choices& choices,
                  std::string& reason);

// Lays choices out in every byte of settings. False (record all zero) only when a text
// does not fit its field, which the checks on the way in rule out.
bool FillRecord(const Choices& choices, RecordingSettings& settings);

// Lays the choices beyond the 560-byte record out in extras: at most extras.size bytes
// (the caller's record may be older and shorter), then size says how many were filled.
void FillExtras(const Choices& choices, RecordingExtras& extras);

// Parses args (argv without argv[0]) on top of the defaults. Every byte of settings is written whatever the
// result; only Filled leaves meaningful values. programName appears in the texts.
ParseResult ParseSettings(const std::vector<std::string>& args, RecordingSettings& settings,
                          std::string& message, std::string_view programName = "vesk");

// A whole decimal number in [low, high]: optional '-', digits, nothing else.
std::optional<int> ParseWhole(std::string_view text, int low, int high);
// A decimal number in [low, high] written without exponent ("23.44", "-5"); never NaN.
std::optional<double> ParseDecimal(std::string_view text, double low, double high);
// The shortest such text that reads back as the same number (23.44, not 23.4400000001).
std::string DecimalText(double value);

// Splits the contents of /proc/<pid>/cmdline (arguments each ending in a zero byte)
// into the argument list, dropping argv[0]. A missing final zero still ends the last
// argument, since the kernel leaves it out when a process rewrites its arguments.
std::vector<std::string> SplitCommandLine(std::string_view raw);

// The last path component of argv[0], or "vesk" when there is none.
std::string ProgramNameFromCommandLine(std::string_view raw);

}  // namespace veskset
