// The converter's command line. The recorder starts it with "-i MOVIE", optionally
// followed by -GIF, -MNG or -MPEG1, and hands the path over unquoted, so a path with
// spaces arrives as several words. When every word after -i (but a last format switch)
// joined by single spaces names an existing file, that is the movie, options or not;
// otherwise every word that is not an option is part of the movie's path. People who
// run it themselves also have -o, --quality, --help and --version.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "conversion.h"

namespace convert {

struct CommandLine {
  enum Action { kConvert, kHelp, kVersion } action = kConvert;
  Request request;
};

// Null with *error set for a bad option (exit status 2).
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& words, std::string* error);
const char* UsageText();

}  // namespace convert
