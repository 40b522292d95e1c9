// Native input to window messages. Mouse input is hit-tested (WM_NCHITTEST), sets the
// cursor (WM_SETCURSOR) and is then queued with MK_ flags and client coordinates as
// signed 16-bit values; keys become WM_KEYDOWN/WM_KEYUP, or WM_SYSKEYDOWN/WM_SYSKEYUP
// while Alt is held, with virtual-key codes; window events become the size, paint and
// close notifications a Win32 window receives.
#include "input_translation.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>

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

struct KeyInfo {
  int vk;
  BYTE scan;  // set-1 scan code, as Win32 puts in lParam
  bool extended;
};

std::optional<KeyInfo> KeyFor(SDL_Keycode key) {
  static constexpr std::string_view rows[] = {"1234567890", "qwertyuiop", "asdfghjkl",
                                              "zxcvbnm"};
  static constexpr BYTE rowStarts[] = {0x02, 0x10, 0x1E, 0x2C};
  if ((key >= 'a' && key <= 'z') || (key >= '0' && key <= '9')) {
    for (size_t r = 0; r < std::size(rows); ++r) {
      size_t at = rows[r].find(static_cast<char>(key));
      if (at != std::string_view::npos) {
        int vk = key >= 'a' ? key - 'a' + 'A' : key;
        return KeyInfo{vk, static_cast<BYTE>(rowStarts[r] + at), false};
      }
    }
  }
  if (key >= SDLK_F1 && key <= SDLK_F10) {
    return KeyInfo{VK_F1 + (key - SDLK_F1), static_cast<BYTE>(0x3B + (key - SDLK_F1)), false};
  }
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
    return KeyInfo{VK_NUMPAD0 + 1 + (key - SDLK_KP_1), 0, false};
  }
  struct Entry {
    SDL_Keycode key;
    KeyInfo info;
  };
  static const Entry table[] = {
      {SDLK_ESCAPE, {VK_ESCAPE, 0x01, false}},     {SDLK_BACKSPACE, {VK_BACK, 0x0E, false}},
      {SDLK_TAB, {VK_TAB, 0x0F, false}},           {SDLK_RETURN, {VK_RETURN, 0x1C, false}},
      {SDLK_KP_ENTER, {VK_RETURN, 0x1C, true}},    {SDLK_LCTRL, {VK_CONTROL, 0x1D, false}},
      {SDLK_RCTRL, {VK_CONTROL, 0x1D, true}},      {SDLK_LSHIFT, {VK_SHIFT, 0x2A, false}},
      {SDLK_RSHIFT, {VK_SHIFT, 0x36, false}},      {SDLK_LALT, {VK_MENU, 0x38, false}},
      {SDLK_RALT, {VK_MENU, 0x38, true}},          {SDLK_SPACE, {VK_SPACE, 0x39, false}},
      {SDLK_CAPSLOCK, {VK_CAPITAL, 0x3A, false}},  {SDLK_F11, {VK_F11, 0x57, false}},
      {SDLK_F12, {VK_F12, 0x58, false}},           {SDLK_NUMLOCKCLEAR, {VK_NUMLOCK, 0x45, false}},
      {SDLK_SCROLLLOCK, {VK_SCROLL, 0x46, false}}, {SDLK_PAUSE, {VK_PAUSE, 0x45, false}},
      {SDLK_PRINTSCREEN, {VK_SNAPSHOT, 0x37, true}}, {SDLK_INSERT, {VK_INSERT, 0x52, true}},
      {SDLK_DELETE, {VK_DELETE, 0x53, true}},      {SDLK_HOME, {VK_HOME, 0x47, true}},
      {SDLK_END, {VK_END, 0x4F, true}},            {SDLK_PAGEUP, {VK_PRIOR, 0x49, true}},
      {SDLK_PAGEDOWN, {VK_NEXT, 0x51, true}},      {SDLK_LEFT, {VK_LEFT, 0x4B, true}},
      {SDLK_RIGHT, {VK_RIGHT, 0x4D, true}},        {SDLK_UP, {VK_UP, 0x48, true}},
      {SDLK_DOWN, {VK_DOWN, 0x50, true}},          {SDLK_LGUI, {VK_LWIN, 0x5B, true}},
      {SDLK_RGUI, {VK_RWIN, 0x5C, true}},          {SDLK_APPLICATION, {VK_APPS, 0x5D, true}},
      {SDLK_KP_0, {VK_NUMPAD0, 0x52, false}},      {SDLK_KP_MULTIPLY, {VK_MULTIPLY, 0x37, false}},
      {SDLK_KP_PLUS, {VK_ADD, 0x4E, false}},       {SDLK_KP_MINUS, {VK_SUBTRACT, 0x4A, false}},
      {SDLK_KP_PERIOD, {VK_DECIMAL, 0x53, false}}, {SDLK_KP_DIVIDE, {VK_DIVIDE, 0x35, true}},
      {SDLK_SEMICOLON, {VK_OEM_1, 0x27, false}},   {SDLK_EQUALS, {VK_OEM_PLUS, 0x0D, false}},
      {SDLK_COMMA, {VK_OEM_COMMA, 0x33, false}},   {SDLK_MINUS, {VK_OEM_MINUS, 0x0C, false}},
      {SDLK_PERIOD, {VK_OEM_PERIOD, 0x34, false}}, {SDLK_SLASH, {VK_OEM_2, 0x35, false}},
      {SDLK_BACKQUOTE, {VK_OEM_3, 0x29, false}},   {SDLK_LEFTBRACKET, {VK_OEM_4, 0x1A, false}},
      {SDLK_BACKSLASH, {VK_OEM_5, 0x2B, false}},   {SDLK_RIGHTBRACKET, {VK_OEM_6, 0x1B, false}},
      {SDLK_QUOTE, {VK_OEM_7, 0x28, false}},
  };
  for (const Entry& entry : table) {
    if (entry.key == key) return entry.info;
  }
  return std::nullopt;
}

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

void TranslateButton(const SDL_MouseButtonEvent& event) {
  struct ButtonInfo {
    WORD flag;
    UINT down, up, doubleClick;
  };
  ButtonInfo info;
  switch (event.button) {
    case SDL_BUTTON_LEFT: info = {MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}; break;
    case SDL_BUTTON_RIGHT: info = {MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK}; break;
    case SDL_BUTTON_MIDDLE: info = {MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}; break;
    default: return;
  }
  Window* window = LookupWindowByNativeId(event.windowID);
  if (!window) return;
  UINT message = info.up;
  if (event.state == SDL_PRESSED) {
    g_buttons |= info.flag;
    bool wantsDoubleClicks = window->windowClass->info.style & CS_DBLCLKS;
    message = (event.clicks >= 2 && event.clicks % 2 == 0 && wantsDoubleClicks) ? info.doubleClick
                                                                               : info.down;
  } else {
    g_buttons &= static_cast<WORD>(~info.flag);
  }
  TranslateMouse(event.windowID, event.x, event.y, message);
}

void TranslateWheel(const SDL_MouseWheelEvent& event) {
  Window* window = LookupWindowByNativeId(event.windowID);
  if (!window || event.y == 0) return;
  int steps = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
  short delta = static_cast<short>(std::clamp(steps * WHEEL_DELTA, -32768, 32767));
  POINT screen = PointerScreenPosition();
  PostMessageA(window->handle, WM_MOUSEWHEEL,
               MAKEWPARAM(MouseKeyFlags(), static_cast<WORD>(delta)),
               MAKELPARAM(screen.x, screen.y));
}

void TranslateKey(const SDL_KeyboardEvent& event) {
  std::optional<KeyInfo> key = KeyFor(event.keysym.sym);
  Window* window = LookupWindowByNativeId(event.windowID);
  if (!key || !window) return;
  bool down = event.state == SDL_PRESSED;
  Uint16 mod = event.keysym.mod;
  g_modifiers.shift = (mod & KMOD_SHIFT) || (key->vk == VK_SHIFT && down);
  g_modifiers.control = (mod & KMOD_CTRL) || (key->vk == VK_CONTROL && down);
  g_modifiers.alt = (mod & KMOD_ALT) || (key->vk == VK_MENU && down);
  if (key->vk == VK_SHIFT && !down) g_modifiers.shift = false;
  if (key->vk == VK_CONTROL && !down) g_modifiers.control = false;
  if (key->vk == VK_MENU && !down) g_modifiers.alt = false;

  // Alt (without Ctrl, which makes AltGr), F10 and the release of Alt itself are
  // system keys.
  bool altHeld = g_modifiers.alt && !g_modifiers.control;
  bool sys = altHeld || key->vk == VK_F10 || (key->vk == VK_MENU && !down);
  UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  uint32_t lParam = 1u | (static_cast<uint32_t>(key->scan) << 16) |
                    (key->extended ? 1u << 24 : 0u) | (altHeld ? 1u << 29 : 0u) |
                    ((!down || event.repeat) ? 1u << 30 : 0u) | (down ? 0u : 1u << 31);
  PostMessageA(window->handle, message, static_cast<WPARAM>(key->vk),
               static_cast<LPARAM>(static_cast<int32_t>(lParam)));
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  Window* window = LookupWindowByNativeId(event.windowID);
  if (!window) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      SendMessageA(window->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      window->needsPaint = true;
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      ApplyShowState(*window, SIZE_MINIMIZED, true);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      ApplyShowState(*window, SIZE_MAXIMIZED, true);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      ApplyShowState(*window, SIZE_RESTORED, true);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      RECT rect{window->rect.left, window->rect.top, window->rect.left + event.data1,
                window->rect.top + event.data2};
      ApplyUserResize(*window, rect);
      break;
    }
    case SDL_WINDOWEVENT_MOVED:
      ApplyUserMove(*window, event.data1, event.data2);
      break;
  }
}

}  // namespace

void PumpNativeEvents() {
  SDL_Event event;
  while (TheBackend().PollEvent(&event)) TranslateNativeEvent(event);
}

void TranslateNativeEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      TranslateMouse(event.motion.windowID, event.motion.x, event.motion.y, WM_MOUSEMOVE);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateButton(event.button);
      break;
    case SDL_MOUSEWHEEL:
      TranslateWheel(event.wheel);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event.key);
      break;
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(event.window);
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
