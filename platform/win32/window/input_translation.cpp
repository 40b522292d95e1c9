// Native input to window messages. Mouse input is hit-tested (WM_NCHITTEST), sets the
// cursor (WM_SETCURSOR) and is then queued with MK_ flags and client coordinates as
// signed 16-bit values; keys become WM_KEYDOWN/WM_KEYUP, or WM_SYSKEYDOWN/WM_SYSKEYUP
// while Alt is held, with virtual-key codes; window events become the size, paint and
// close notifications a Win32 window receives.
#include "input_translation.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "backend.h"
#include "window_model.h"
#include "winuser.h"

namespace win32impl {

namespace {

struct PointerState {
  std::mutex mutex;
  POINT position{0, 0};
  std::optional<RECT> clip;
};

PointerState& Pointer() {
  static PointerState state;
  return state;
}

struct Modifiers {
  bool shift = false;
  bool control = false;
  bool alt = false;
};
Modifiers g_modifiers;
WORD g_buttons = 0;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON as held now

WPARAM MouseKeyFlags() {
  return g_buttons | (g_modifiers.shift ? MK_SHIFT : 0) | (g_modifiers.control ? MK_CONTROL : 0);
}

// Moves the pointer to a point of the window's client area (clamped to the ClipCursor
// rectangle) and returns the point in client coordinates.
POINT MovePointer(const Window& window, int x, int y) {
  PointerState& pointer = Pointer();
  std::lock_guard lock(pointer.mutex);
  POINT screen{window.rect.left + x, window.rect.top + y};
  if (pointer.clip) {
    screen.x = std::clamp(screen.x, pointer.clip->left, std::max(pointer.clip->left, pointer.clip->right - 1));
    screen.y = std::clamp(screen.y, pointer.clip->top, std::max(pointer.clip->top, pointer.clip->bottom - 1));
  }
  pointer.position = screen;
  return {screen.x - window.rect.left, screen.y - window.rect.top};
}

void TranslateMouse(uint32_t windowId, int x, int y, UINT message) {
  Window* window = LookupWindowByNativeId(windowId);
  if (!window) return;
  HWND handle = window->handle;
  POINT client = MovePointer(*window, x, y);
  POINT screen = PointerScreenPosition();
  LRESULT hit = SendMessageA(handle, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  if (!LookupWindow(handle)) return;
  SendMessageA(handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(handle),
               MAKELPARAM(static_cast<WORD>(hit), message));
  if (!LookupWindow(handle)) return;
  PostMessageA(handle, message, MouseKeyFlags(), MAKELPARAM(client.x, client.y));
}

void TranslateButton(const NativeEvent& event) {
  struct ButtonInfo {
    WORD flag;
    UINT down, up, doubleClick;
  };
  ButtonInfo info{};
  switch (event.button) {
    case NativeEvent::MouseButton::Left: info = {MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}; break;
    case NativeEvent::MouseButton::Right: info = {MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK}; break;
    case NativeEvent::MouseButton::Middle: info = {MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}; break;
  }
  Window* window = LookupWindowByNativeId(event.windowId);
  if (!window) return;
  UINT message = info.up;
  if (event.pressed) {
    g_buttons |= info.flag;
    bool wantsDoubleClicks = window->windowClass->info.style & CS_DBLCLKS;
    message = (event.clicks >= 2 && event.clicks % 2 == 0 && wantsDoubleClicks) ? info.doubleClick
                                                                               : info.down;
  } else {
    g_buttons &= static_cast<WORD>(~info.flag);
  }
  TranslateMouse(event.windowId, event.x, event.y, message);
}

void TranslateWheel(const NativeEvent& event) {
  Window* window = LookupWindowByNativeId(event.windowId);
  if (!window || event.wheelSteps == 0) return;
  short delta = static_cast<short>(std::clamp(event.wheelSteps * WHEEL_DELTA, -32768, 32767));
  POINT screen = PointerScreenPosition();
  PostMessageA(window->handle, WM_MOUSEWHEEL,
               MAKEWPARAM(MouseKeyFlags(), static_cast<WORD>(delta)),
               MAKELPARAM(screen.x, screen.y));
}

void TranslateKey(const NativeEvent& event) {
  Window* window = LookupWindowByNativeId(event.windowId);
  if (!window) return;
  const int vk = event.virtualKey;
  const bool down = event.pressed;
  g_modifiers.shift = event.shift || (vk == VK_SHIFT && down);
  g_modifiers.control = event.control || (vk == VK_CONTROL && down);
  g_modifiers.alt = event.alt || (vk == VK_MENU && down);
  if (vk == VK_SHIFT && !down) g_modifiers.shift = false;
  if (vk == VK_CONTROL && !down) g_modifiers.control = false;
  if (vk == VK_MENU && !down) g_modifiers.alt = false;

  // Alt (without Ctrl, which makes AltGr), F10 and the release of Alt itself are
  // system keys.
  bool altHeld = g_modifiers.alt && !g_modifiers.control;
  bool sys = altHeld || vk == VK_F10 || (vk == VK_MENU && !down);
  UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  uint32_t lParam = 1u | (static_cast<uint32_t>(event.scanCode) << 16) |
                    (event.extendedKey ? 1u << 24 : 0u) | (altHeld ? 1u << 29 : 0u) |
                    ((!down || event.repeat) ? 1u << 30 : 0u) | (down ? 0u : 1u << 31);
  PostMessageA(window->handle, message, static_cast<WPARAM>(vk),
               static_cast<LPARAM>(static_cast<int32_t>(lParam)));
}

void TranslateWindowEvent(const NativeEvent& event) {
  Window* window = LookupWindowByNativeId(event.windowId);
  if (!window) return;
  switch (event.change) {
    case NativeEvent::WindowChange::Close:
      SendMessageA(window->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case NativeEvent::WindowChange::Exposed:
      window->needsPaint = true;
      break;
    case NativeEvent::WindowChange::Minimized:
      ApplyShowState(*window, SIZE_MINIMIZED, true);
      break;
    case NativeEvent::WindowChange::Maximized:
      ApplyShowState(*window, SIZE_MAXIMIZED, true);
      break;
    case NativeEvent::WindowChange::Restored:
      ApplyShowState(*window, SIZE_RESTORED, true);
      break;
    case NativeEvent::WindowChange::Resized: {
      RECT rect{window->rect.left, window->rect.top, window->rect.left + event.x,
                window->rect.top + event.y};
      ApplyUserResize(*window, rect);
      break;
    }
    case NativeEvent::WindowChange::Moved:
      ApplyUserMove(*window, event.x, event.y);
      break;
  }
}

}  // namespace

void PumpNativeEvents() {
  NativeEvent event;
  while (TheBackend().PollEvent(&event)) TranslateNativeEvent(event);
}

void TranslateNativeEvent(const NativeEvent& event) {
  switch (event.type) {
    case NativeEvent::Type::PointerMotion:
      TranslateMouse(event.windowId, event.x, event.y, WM_MOUSEMOVE);
      break;
    case NativeEvent::Type::Button:
      TranslateButton(event);
      break;
    case NativeEvent::Type::Wheel:
      TranslateWheel(event);
      break;
    case NativeEvent::Type::Key:
      TranslateKey(event);
      break;
    case NativeEvent::Type::Window:
      TranslateWindowEvent(event);
      break;
  }
}

POINT PointerScreenPosition() {
  PointerState& pointer = Pointer();
  std::lock_guard lock(pointer.mutex);
  return pointer.position;
}

const RECT* PointerClipRect() {
  PointerState& pointer = Pointer();
  std::lock_guard lock(pointer.mutex);
  return pointer.clip ? &*pointer.clip : nullptr;
}

void SetPointerClipRect(const RECT* rect) {
  PointerState& pointer = Pointer();
  std::lock_guard lock(pointer.mutex);
  if (rect) {
    pointer.clip = *rect;
  } else {
    pointer.clip.reset();
  }
}

}  // namespace win32impl
