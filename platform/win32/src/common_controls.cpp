// Common controls: starting the toolkit that draws message boxes and dialogs.
#include <gtk/gtk.h>

#include <mutex>

#include "display_present.h"
#include "gtk_toolkit.h"
#include "win32ext.h"

namespace win32impl {

bool GtkAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] {
    available = win32ext::DisplayPresent() && win32ext::ActiveBackend() == win32ext::BackendKind::Sdl &&
                gtk_init_check(nullptr, nullptr);
  });
  return available;
}

std::string ReadableUtf8(const std::string& cp932) {
  if (auto utf8 = win32ext::Cp932ToUtf8(cp932)) return *utf8;
  std::string ascii;
  for (char c : cp932) ascii += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
  return ascii;
}

}  // namespace win32impl

void InitCommonControls() { win32impl::GtkAvailable(); }
