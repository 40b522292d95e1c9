// GTK3 for dialogs and message boxes, started once and only where a display exists.
#pragma once

namespace win32impl {

// True when GTK runs (the SDL back end with a real display).
bool GtkAvailable();

}  // namespace win32impl
