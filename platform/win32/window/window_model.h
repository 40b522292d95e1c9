// The window model shared by the window functions, the message queue and the input
// translation: registered classes, live windows and their show state. Everything here
// runs on the thread that owns the windows.
#pragma once

#include <string>

#include "winuser.h"

namespace win32impl {

struct WindowClass {
  std::string name;  // as registered (CP932)
  WNDCLASSA info;    // lpszClassName points into name
  ATOM atom;
};

struct Window {
  HWND handle;
  WindowClass* windowClass;
  WNDPROC procedure;
  DWORD style;
  DWORD exStyle;
  RECT rect;          // screen coordinates; the client area is the same rectangle
  RECT restoreRect;   // rectangle before minimising or maximising
  bool minimized = false;
  bool maximized = false;
  bool needsPaint = false;
  uint32_t nativeId = 0;
  POINT minTrackSize{0, 0};
};

// Null for a handle that names no live window.
Window* LookupWindow(HWND handle);
// The live window behind a native id, or the most recently created one for id 0.
Window* LookupWindowByNativeId(uint32_t nativeId);
// The first window (in creation order) that waits for WM_PAINT, or null.
Window* FirstWindowNeedingPaint();

// Applies a show state that the user or the window manager chose (through the back
// end) or that ShowWindow asks for, and sends the WM_SIZE that goes with it.
void ApplyShowState(Window& window, int sizeKind, bool fromBackend);
// Takes a new rectangle reported by the back end, bracketed as an interactive move.
void ApplyUserResize(Window& window, const RECT& rect);
void ApplyUserMove(Window& window, LONG left, LONG top);

}  // namespace win32impl
