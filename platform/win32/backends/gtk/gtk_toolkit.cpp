// Starting GTK: once, and only with a display, since gtk_init_check would otherwise
// fail or pick up a display the program does not use.
#include "gtk_toolkit.h"

#include <gtk/gtk.h>

#include <mutex>

#include "display_present.h"

bool win32impl::GtkAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] { available = win32ext::DisplayPresent() && gtk_init_check(nullptr, nullptr); });
  return available;
}
