// Runs a shell command line for a test and returns what it printed on standard output
// ("" when it cannot run), e.g. ffprobe's account of a movie.
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

inline std::string CommandOutput(const std::string& command) {
  std::string result;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) result += buffer;
    pclose(pipe);
  }
  return result;
}

}  // namespace testsupport
