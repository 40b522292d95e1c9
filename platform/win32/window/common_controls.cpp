// Common controls: starting the toolkit that draws message boxes and dialogs, and the
// text it shows them with.
#include "backend.h"
#include "readable_text.h"

namespace win32impl {

std::string ReadableUtf8(const std::string& cp932) {
  if (auto utf8 = win32ext::Cp932ToUtf8(cp932)) return *utf8;
  std::string ascii;
  for (char c : cp932) ascii += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
  return ascii;
}

}  // namespace win32impl

void InitCommonControls() { win32impl::TheBackend().StartDialogToolkit(); }
