// Text as the user's toolkit and terminal show it.
#pragma once

#include <string>

namespace win32impl {

// CP932 text as UTF-8, or its ASCII part with '?' where it cannot convert.
std::string ReadableUtf8(const std::string& cp932);

}  // namespace win32impl
