// The thread's message queue: posted and input messages in arrival order, then the
// quit message, then WM_PAINT for windows that need it, as Win32 orders them. Sent
// messages call the window procedure at once, re-entrantly. The keyboard and mouse
// button state that GetKeyState reports follows the messages as they are removed.
#include <array>
#include <deque>
#include <mutex>

#include "backend.h"
#include "dialog_model.h"
#include "input_translation.h"
#include "message_queue.h"
#include "window_model.h"
#include "winbase.h"

namespace win32impl {

namespace {

struct Queue {
  std::mutex mutex;
  std::deque<MSG> messages;
  bool quitPosted = false;
  int quitCode = 0;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

// Synchronous key state: bit 0x80 down, bit 0x01 toggled.
std::array<BYTE, 256>& KeyState() {
  static std::array<BYTE, 256> state{};
  return state;
}

bool MatchesWindow(const MSG& msg, HWND filter) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(intptr_t{-1})) return msg.hwnd == nullptr;
  return msg.hwnd == filter;
}

bool MatchesRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

void SetKey(int vk, bool down) {
  BYTE& state = KeyState()[static_cast<size_t>(vk) & 0xFF];
  if (down && !(state & 0x80)) state ^= 0x01;
  state = down ? (state | 0x80) : (state & ~0x80);
}

void UpdateKeyState(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      SetKey(static_cast<int>(msg.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      SetKey(static_cast<int>(msg.wParam), false);
      break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL: {
      WORD buttons = LOWORD(msg.wParam);
      SetKey(VK_LBUTTON, buttons & MK_LBUTTON);
      SetKey(VK_RBUTTON, buttons & MK_RBUTTON);
      SetKey(VK_MBUTTON, buttons & MK_MBUTTON);
      break;
    }
  }
}

bool TakeMessage(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
      if (!MatchesWindow(*it, filter) || !MatchesRange(it->message, low, high)) continue;
      *out = *it;
      if (remove) {
        queue.messages.erase(it);
        UpdateKeyState(*out);
      }
      return true;
    }
    if (queue.quitPosted && MatchesRange(WM_QUIT, low, high)) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, timeGetTime(),
                 PointerScreenPosition()};
      if (remove) queue.quitPosted = false;
      return true;
    }
  }
  // WM_PAINT is made on demand and stays until the window is validated.
  if (!MatchesRange(WM_PAINT, low, high)) return false;
  Window* window = FirstWindowNeedingPaint();
  if (!window || !MatchesWindow(MSG{window->handle, WM_PAINT, 0, 0, 0, {}}, filter)) {
    return false;
  }
  *out = MSG{window->handle, WM_PAINT, 0, 0, timeGetTime(), PointerScreenPosition()};
  return true;
}

bool BadWindowFilter(HWND filter) {
  return filter && filter != reinterpret_cast<HWND>(intptr_t{-1}) && !LookupWindow(filter);
}

// Character a key gives on a US layout, or 0.
char CharacterFor(WPARAM vk, bool shift, bool control) {
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return static_cast<char>(vk - 'A' + 1);
    return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  }
  if (control) return 0;
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return shift ? shifted[vk - '0'] : static_cast<char>(vk);
  }
  struct Pair {
    WPARAM vk;
    char plain, shifted;
  };
  static const Pair keys[] = {
      {VK_SPACE, ' ', ' '},      {VK_RETURN, '\r', '\r'},   {VK_ESCAPE, 0x1B, 0x1B},
      {VK_BACK, '\b', '\b'},     {VK_TAB, '\t', '\t'},      {VK_OEM_1, ';', ':'},
      {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},  {VK_OEM_MINUS, '-', '_'},
      {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},      {VK_OEM_3, '`', '~'},
      {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},     {VK_OEM_6, ']', '}'},
      {VK_OEM_7, '\'', '"'},     {VK_MULTIPLY, '*', '*'},   {VK_ADD, '+', '+'},
      {VK_SUBTRACT, '-', '-'},   {VK_DIVIDE, '/', '/'},     {VK_DECIMAL, '.', '.'},
  };
  for (const Pair& key : keys) {
    if (key.vk == vk) return shift ? key.shifted : key.plain;
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<char>('0' + vk - VK_NUMPAD0);
  return 0;
}

}  // namespace

void RemoveMessagesFor(HWND window) {
  Queue& queue = TheQueue();
  std::lock_guard lock(queue.mutex);
  std::erase_if(queue.messages, [window](const MSG& msg) { return msg.hwnd == window; });
}

}  // namespace win32impl

using namespace win32impl;

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg || BadWindowFilter(window)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PumpNativeEvents();
  return TakeMessage(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg || BadWindowFilter(window)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  for (;;) {
    PumpNativeEvents();
    if (TakeMessage(msg, window, filterMin, filterMax, true)) {
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    TheBackend().WaitForEvents(50);
  }
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A null window posts to the thread; any other handle must name a live window, an
  // open dialog or one of its controls.
  if (window && !LookupWindow(window) && !LookupDialog(window) && !LookupControl(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.messages.push_back(
        MSG{window, message, wParam, lParam, timeGetTime(), PointerScreenPosition()});
  }
  TheBackend().Wake();
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* target = LookupWindow(window);
  LRESULT result = 0;
  if (!target && SendToDialogWindow(window, message, wParam, lParam, &result)) return result;
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return target->procedure(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.quitPosted = true;
    queue.quitCode = exitCode;
  }
  TheBackend().Wake();
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  bool sys = msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSKEYUP;
  if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP && !sys) return FALSE;
  if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) return TRUE;
  char c = CharacterFor(msg->wParam, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0);
  if (c == 0) return TRUE;
  // The character message is the next one the window gets.
  Queue& queue = TheQueue();
  std::lock_guard lock(queue.mutex);
  queue.messages.push_front(MSG{msg->hwnd, static_cast<UINT>(sys ? WM_SYSCHAR : WM_CHAR),
                                static_cast<BYTE>(c), msg->lParam, msg->time, msg->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

short GetKeyState(int virtualKey) {
  BYTE state = KeyState()[static_cast<size_t>(virtualKey) & 0xFF];
  return static_cast<short>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}
