// Splitting a Windows command line into arguments the way the Microsoft C runtime
// builds argv, so that a started program sees the arguments a Windows one would.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win32impl {

// Splits CP932 text; the arguments keep their bytes. A double-byte character counts as
// one: its trail byte is never a separator, a quote or a backslash, even when its value
// is 0x5C.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace win32impl
