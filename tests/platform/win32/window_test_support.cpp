// Recording window and input helpers shared by the window and message tests.
#include "window_test_support.h"

#include <algorithm>
#include <map>
#include <string>

namespace testsupport {

namespace {

std::map<HWND, RecordingWindow*>& Live() {
  static std::map<HWND, RecordingWindow*> live;
  return live;
}

RecordingWindow* g_creating = nullptr;

const char* ClassFor(UINT classStyle, WNDPROC procedure) {
  static std::map<UINT, std::string> names;
  auto found = names.find(classStyle);
  if (found != names.end()) return found->second.c_str();
  std::string name = "RecordingWindow" + std::to_string(classStyle);
  WNDCLASSA cls{};
  cls.style = classStyle;
  cls.lpfnWndProc = procedure;
  cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls.lpszClassName = name.c_str();
  RegisterClassA(&cls);
  return (names[classStyle] = name).c_str();
}

}  // namespace

RecordingWindow::RecordingWindow(int width, int height, DWORD style, UINT classStyle) {
  g_creating = this;
  handle_ = CreateWindowExA(0, ClassFor(classStyle, &Procedure), "Recording", style,
                            CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  g_creating = nullptr;
}

RecordingWindow::~RecordingWindow() {
  if (IsWindow(handle_)) DestroyWindow(handle_);
  Live().erase(handle_);
  DrainQueue();
}

std::vector<UINT> RecordingWindow::Messages() const {
  std::vector<UINT> messages;
  for (const Received& r : received_) messages.push_back(r.message);
  return messages;
}

std::vector<Received> RecordingWindow::Only(UINT message) const {
  std::vector<Received> only;
  std::copy_if(received_.begin(), received_.end(), std::back_inserter(only),
               [message](const Received& r) { return r.message == message; });
  return only;
}

LRESULT CALLBACK RecordingWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  auto found = Live().find(window);
  RecordingWindow* self = found != Live().end() ? found->second : g_creating;
  if (self && found == Live().end()) Live()[window] = self;
  if (self) {
    self->received_.push_back({message, wParam, lParam});
    LRESULT result = 0;
    if (self->intercept && self->intercept(message, wParam, lParam, &result)) return result;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void DrainQueue(HACCEL accelerators, HWND window) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    if (accelerators && window && TranslateAcceleratorA(window, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

SDL_Event KeyEvent(HWND window, SDL_Keycode key, bool down, Uint16 mod) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = win32ext::NativeWindowId(window);
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = key;
  event.key.keysym.mod = mod;
  return event;
}

SDL_Event ButtonEvent(HWND window, Uint8 button, bool down, int x, int y, Uint8 clicks) {
  SDL_Event event{};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.windowID = win32ext::NativeWindowId(window);
  event.button.button = button;
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = clicks;
  event.button.x = x;
  event.button.y = y;
  return event;
}

SDL_Event MotionEvent(HWND window, int x, int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = win32ext::NativeWindowId(window);
  event.motion.x = x;
  event.motion.y = y;
  return event;
}

SDL_Event WindowEvent(HWND window, Uint8 kind, int data1, int data2) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = win32ext::NativeWindowId(window);
  event.window.event = kind;
  event.window.data1 = data1;
  event.window.data2 = data2;
  return event;
}

}  // namespace testsupport
