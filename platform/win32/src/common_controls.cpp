// Common controls: starting the toolkit that draws message boxes and dialogs.
#include <gtk/gtk.h>

#include <cstdlib>
#include <mutex>

#include "gtk_toolkit.h"
#include "win32ext.h"

namespace win32impl {

bool GtkAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] {
    bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    available = display && win32ext::ActiveBackend() == win32ext::BackendKind::Sdl &&
                gtk_init_check(nullptr, nullptr);
  });
  return available;
}

}  // namespace win32impl

void InitCommonControls() { win32impl::GtkAvailable(); }
