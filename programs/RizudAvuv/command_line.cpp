// Joining the path words and reading Windows-style separators.
#include "command_line.h"

#include <algorithm>
#include <filesystem>

namespace editor {

std::string JoinPathWords(int argc, const char* const* argv) {
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) path += ' ';
    path += argv[i];
  }
  return path;
}

std::string SystemMoviePath(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) return path;
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  return std::filesystem::exists(slashed, error) ? slashed : path;
}

}  // namespace editor
