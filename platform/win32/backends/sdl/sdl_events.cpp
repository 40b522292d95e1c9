// SDL's events as native events: keys become virtual keys with their scan codes, mouse
// buttons and window events the window layer's own kinds. InjectInput takes SDL's event
// type, so that input is written the way SDL reports it, whichever back end runs.
#include "sdl_events.h"

#include <iterator>
#include <string_view>

#include "winuser.h"

namespace win32impl {

namespace {

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

std::optional<NativeEvent> FromButton(const SDL_MouseButtonEvent& sdl) {
  NativeEvent event;
  event.type = NativeEvent::Type::Button;
  switch (sdl.button) {
    case SDL_BUTTON_LEFT: event.button = NativeEvent::MouseButton::Left; break;
    case SDL_BUTTON_RIGHT: event.button = NativeEvent::MouseButton::Right; break;
    case SDL_BUTTON_MIDDLE: event.button = NativeEvent::MouseButton::Middle; break;
    default: return std::nullopt;
  }
  event.windowId = sdl.windowID;
  event.pressed = sdl.state == SDL_PRESSED;
  event.clicks = sdl.clicks;
  event.x = sdl.x;
  event.y = sdl.y;
  return event;
}

std::optional<NativeEvent> FromWheel(const SDL_MouseWheelEvent& sdl) {
  if (sdl.y == 0) return std::nullopt;
  NativeEvent event;
  event.type = NativeEvent::Type::Wheel;
  event.windowId = sdl.windowID;
  event.wheelSteps = sdl.direction == SDL_MOUSEWHEEL_FLIPPED ? -sdl.y : sdl.y;
  return event;
}

std::optional<NativeEvent> FromKey(const SDL_KeyboardEvent& sdl) {
  std::optional<KeyInfo> key = KeyFor(sdl.keysym.sym);
  if (!key) return std::nullopt;
  NativeEvent event;
  event.type = NativeEvent::Type::Key;
  event.windowId = sdl.windowID;
  event.pressed = sdl.state == SDL_PRESSED;
  event.repeat = sdl.repeat != 0;
  event.virtualKey = key->vk;
  event.scanCode = key->scan;
  event.extendedKey = key->extended;
  event.shift = (sdl.keysym.mod & KMOD_SHIFT) != 0;
  event.control = (sdl.keysym.mod & KMOD_CTRL) != 0;
  event.alt = (sdl.keysym.mod & KMOD_ALT) != 0;
  return event;
}

std::optional<NativeEvent> FromWindowEvent(const SDL_WindowEvent& sdl) {
  NativeEvent event;
  event.type = NativeEvent::Type::Window;
  event.windowId = sdl.windowID;
  switch (sdl.event) {
    case SDL_WINDOWEVENT_CLOSE: event.change = NativeEvent::WindowChange::Close; break;
    case SDL_WINDOWEVENT_EXPOSED: event.change = NativeEvent::WindowChange::Exposed; break;
    case SDL_WINDOWEVENT_MINIMIZED: event.change = NativeEvent::WindowChange::Minimized; break;
    case SDL_WINDOWEVENT_MAXIMIZED: event.change = NativeEvent::WindowChange::Maximized; break;
    case SDL_WINDOWEVENT_RESTORED: event.change = NativeEvent::WindowChange::Restored; break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: event.change = NativeEvent::WindowChange::Resized; break;
    case SDL_WINDOWEVENT_MOVED: event.change = NativeEvent::WindowChange::Moved; break;
    default: return std::nullopt;
  }
  event.x = sdl.data1;
  event.y = sdl.data2;
  return event;
}

}  // namespace

std::optional<NativeEvent> FromSdl(const SDL_Event& sdl) {
  switch (sdl.type) {
    case SDL_MOUSEMOTION: {
      NativeEvent event;
      event.type = NativeEvent::Type::PointerMotion;
      event.windowId = sdl.motion.windowID;
      event.x = sdl.motion.x;
      event.y = sdl.motion.y;
      return event;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return FromButton(sdl.button);
    case SDL_MOUSEWHEEL: return FromWheel(sdl.wheel);
    case SDL_KEYDOWN:
    case SDL_KEYUP: return FromKey(sdl.key);
    case SDL_WINDOWEVENT: return FromWindowEvent(sdl.window);
    default: return std::nullopt;
  }
}

}  // namespace win32impl

void win32ext::InjectInput(const SDL_Event& event) {
  if (std::optional<win32impl::NativeEvent> native = win32impl::FromSdl(event)) win32impl::TheBackend().Inject(*native);
}
