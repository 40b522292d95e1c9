// The remembered settings: the window's last choices in an ini file,
// $XDG_CONFIG_HOME/vesk/settings.ini, read over the defaults before the window opens and
// written after "Record" through a temporary file renamed into place. The file is the
// user's to edit and so untrusted: each bad line is skipped on its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "choices.h"

namespace veskset {

// Files larger than this are not settings files and are ignored whole.
inline constexpr size_t kMaxSettingsFileBytes = 64 * 1024;

// $XDG_CONFIG_HOME/vesk/settings.ini, or nullopt when there is no home to keep it in.
std::optional<std::string> SettingsFilePath();

// What reading the file gave: how many lines were skipped, and the first reason.
struct SettingsProblems {
  int skipped = 0;
  std::string first;  // "line N: reason", or the reason the whole file was ignored
};

// Applies the lines of an ini text to choices; good keys take effect, bad ones are
// counted in problems.
void ApplySettingsText(std::string_view text, Choices& choices, SettingsProblems& problems);

// Reads the file at path over choices. A missing file is no problem; a file that cannot
// be read, or is too big, is ignored whole.
SettingsProblems ReadSettingsFile(const std::string& path, Choices& choices);

// The one warning line (no newline) for problems, or "" when there were none.
std::string SettingsWarning(std::string_view program, const std::string& path,
                            const SettingsProblems& problems);

// The file's text for choices, UTF-8.
std::string SettingsText(const Choices& choices);

// Writes choices to path (making its folder) through a temporary file in the same folder
// renamed over it, so a reader never sees half a file. On failure error names the step.
bool WriteSettingsFile(const std::string& path, const Choices& choices, std::string& error);

}  // namespace veskset
