// Reading and writing the remembered settings. The keys are the long option names and
// the values are spelled as on the command line (UTF-8 text), so every value passes the
// same checks as an option; only the two switches read yes or no.
#include "settings_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "settings_parser.h"
#include "win32ext.h"

namespace veskset {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool HasControlBytes(std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code
// points beyond U+10FFFF. The file is written in UTF-8; other bytes would become a
// file name nobody typed.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string_view FormatOption(std::string_view keyword) {
  for (const FormatChoice& format : kFormatChoices)
    if (keyword == format.keyword) return format.option;
  return "";
}

std::string_view PaceOption(Pace pace) {
  if (pace == Pace::Fast) return "fast";
  if (pace == Pace::Live) return "live";
  return "";
}

std::string ThenList(const Choices& choices) {
  std::string list;
  for (auto [chosen, name] : {std::pair{choices.play, "play"}, std::pair{choices.edit, "edit"},
                              std::pair{choices.convert, "convert"}}) {
    if (!chosen) continue;
    if (!list.empty()) list += ',';
    list += name;
  }
  return list;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t wrote = write(fd, text.data(), text.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    text.remove_prefix(static_cast<size_t>(wrote));
  }
  return true;
}

}  // namespace

std::optional<std::string> SettingsFilePath() {
  std::optional<std::string> directory = win32ext::UserConfigDirectory();
  if (!directory) return std::nullopt;
  return *directory + "/settings.ini";
}

void ApplySettingsText(std::string_view text, Choices& choices, SettingsProblems& problems) {
  int lineNumber = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#' || trimmed[0] == '[') continue;
    std::string reason;
    size_t equals = line.find('=');
    // Blanks around the key and the value are the file's layout, not part of them.
    std::string_view key = Trim(line.substr(0, equals));
    std::string_view value = equals == std::string_view::npos ? "" : Trim(line.substr(equals + 1));
    if (equals == std::string_view::npos) {
      reason = "not a key=value line";
    } else if (HasControlBytes(key) || HasControlBytes(value)) {
      reason = "control characters in the line";
    } else if (!IsUtf8(line)) {
      reason = "not UTF-8 text";
    } else {
      ApplySetting(key, value, choices, reason);
    }
    if (reason.empty()) continue;
    if (problems.skipped++ == 0) problems.first = "line " + std::to_string(lineNumber) + ": " + reason;
  }
}

SettingsProblems ReadSettingsFile(const std::string& path, Choices& choices) {
  SettingsProblems problems;
  std::string text;
  switch (win32ext::ReadSmallFile(path, kMaxSettingsFileBytes, text)) {
    case win32ext::SmallFileResult::Read:
      ApplySettingsText(text, choices, problems);
      break;
    case win32ext::SmallFileResult::Missing:
      break;
    case win32ext::SmallFileResult::NotRegular:
      problems = {1, "not a regular file"};
      break;
    case win32ext::SmallFileResult::TooLarge:
      problems = {1, "larger than " + std::to_string(kMaxSettingsFileBytes / 1024) +
                         " KiB, which no settings file is"};
      break;
    case win32ext::SmallFileResult::Failed:
      problems = {1, "cannot be read"};
      break;
  }
  return problems;
}

std::string SettingsWarning(std::string_view program, const std::string& path,
                            const SettingsProblems& problems) {
  if (problems.skipped == 0) return "";
  std::string line = std::string(program) + ": " + path;
  if (problems.first.starts_with("line ")) {
    line += ": ignored " + std::to_string(problems.skipped) +
            (problems.skipped == 1 ? " line" : " lines") + " (" + problems.first + ")";
  } else {
    line += ": ignored, " + problems.first;
  }
  return line;
}

std::string SettingsText(const Choices& choices) {
  std::string text =
      "; vesk's last settings, written after each \"Record\" in its window.\n"
      "; Keys and values are those of the command-line options (see vesk --help).\n"
      "[settings]\n";
  auto add = [&text](std::string_view key, std::string_view value) {
    text.append(key).append("=").append(value).append("\n");
  };
  // A name that UTF-8 cannot carry here (or that holds a line break) is left out: the
  // next window then starts from the default for it.
  for (auto [key, cp932] : {std::pair{"movie", &choices.movie}, std::pair{"texture", &choices.texture}}) {
    std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(*cp932);
    if (utf8 && !HasControlBytes(*utf8)) add(key, *utf8);
  }
  add("size", std::to_string(choices.width) + "x" + std::to_string(choices.height));
  add("frames", std::to_string(choices.frames));
  add("eye-height", std::to_string(choices.eyeHeight));
  add("spin", choices.spinForward ? "forward" : "backward");
  add("coarse", choices.fineMesh ? "no" : "yes");
  add("choose-device", choices.chooseDevice ? "yes" : "no");
  add("then", ThenList(choices));
  add("format", FormatOption(choices.format));
  add("turns", std::to_string(choices.loopTurns));
  add("tilt", DecimalText(choices.tiltDegrees));
  add("pace", PaceOption(choices.pace));
  // The look's keys appear only when a part of it is chosen: missing, each is off.
  if (choices.sun) add("sun", std::to_string(choices.sunDegrees));
  for (auto [key, cp932] : {std::pair{"night", &choices.night}, std::pair{"clouds", &choices.clouds}}) {
    std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(*cp932);
    if (!cp932->empty() && utf8 && !HasControlBytes(*utf8)) add(key, *utf8);
  }
  if (choices.atmosphere) add("atmosphere", "yes");
  add("antialias", std::to_string(choices.antialias));
  return text;
}

bool WriteSettingsFile(const std::string& path, const Choices& choices, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code code;
  fs::path folder = fs::path(path).parent_path();
  fs::create_directories(folder, code);
  if (code) {
    error = "cannot make the folder " + folder.string() + ": " + code.message();
    return false;
  }
  std::string temporary = path + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot make a temporary file in " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  bool written = WriteAll(fd, SettingsText(choices)) && fsync(fd) == 0;
  int writeError = errno;
  if (close(fd) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) {
    unlink(temporary.c_str());
    error = "cannot write " + temporary + ": " + std::strerror(writeError);
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace veskset
