// The command-line parser behind VeskSet: turns the argument list (without the program
// name) into a filled RecordingSettings record, a help or version text, or a one-line
// complaint. It reads nothing and prints nothing; the export does both.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "VeskSet.h"

namespace veskset {

inline constexpr std::string_view kVersion = "1.0.0";

// Ranges the options accept, inclusive.
inline constexpr int kMinSide = 100;
inline constexpr int kMaxSide = 16384;
inline constexpr int kMinFrames = 1;
inline constexpr int kMaxFrames = 99999;
inline constexpr int kMinEyeHeight = -1000;
inline constexpr int kMaxEyeHeight = 1000;

// Defaults of the text fields (ASCII, so the same bytes in CP932).
inline constexpr std::string_view kDefaultMovie = "globe.avi";
inline constexpr std::string_view kDefaultTexture = "globe.png";

// The CP932 keywords the program's after-recording step looks for in outputKinds.
inline constexpr std::string_view kKeywordNothing = "non";
inline constexpr std::string_view kKeywordPlay = "\x8D\xC4\x90\xB6";     // 再生 (play)
inline constexpr std::string_view kKeywordEdit = "\x95\xD2\x8F\x57";     // 編集 (edit)
inline constexpr std::string_view kKeywordConvert = "\x95\xCF\x8A\xB7";  // 変換 (convert)
inline constexpr std::string_view kKeywordGif = "GIF";
inline constexpr std::string_view kKeywordMng = "MNG";
inline constexpr std::string_view kKeywordMpeg = "MPEG";

enum class ParseResult {
  Filled,   // settings holds the record; the program goes on
  Stop,     // message holds the help or version text for standard output
  Invalid,  // message holds one line (no newline) for standard error
};

// Parses args (argv without argv[0]). Every byte of settings is written whatever the
// result; only Filled leaves meaningful values. programName appears in the texts.
ParseResult ParseSettings(const std::vector<std::string>& args, RecordingSettings& settings,
                          std::string& message, std::string_view programName = "vesk");

// Splits the contents of /proc/<pid>/cmdline (arguments each ending in a zero byte)
// into the argument list, dropping argv[0]. A missing final zero still ends the last
// argument, since the kernel leaves it out when a process rewrites its arguments.
std::vector<std::string> SplitCommandLine(std::string_view raw);

// The last path component of argv[0], or "vesk" when there is none.
std::string ProgramNameFromCommandLine(std::string_view raw);

}  // namespace veskset
