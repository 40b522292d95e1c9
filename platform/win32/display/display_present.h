// The one answer to "is there a display?", for the window back ends, the toolkit of
// message boxes and dialogs, the settings window and the converter. It reads the
// environment only; whether the display really opens is the toolkit's to find out.
#pragma once

namespace win32ext {

// VESK_HEADLESS=1: run without a display even where there is one.
bool HeadlessRequested();

// Not headless, and an X11 or Wayland display named (DISPLAY or WAYLAND_DISPLAY set and
// not empty).
bool DisplayPresent();

}  // namespace win32ext
