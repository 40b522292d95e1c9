// The editor's command line: the movie path arrives split into words the way a Windows
// command line is split (the recorder passes it unquoted), so the words are joined
// with single spaces again. A run of several spaces in a name cannot be told apart.
#pragma once

#include <string>

namespace editor {

// argv[1] .. argv[argc - 1] joined with spaces; empty when there are none.
std::string JoinPathWords(int argc, const char* const* argv);

// A path written with '\' separators that exists only with '/' is taken with '/'.
std::string SystemMoviePath(const std::string& path);

}  // namespace editor
