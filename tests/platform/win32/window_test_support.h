// A window whose procedure records every message it receives, for tests that check
// which messages arrive and in what order, plus helpers to inject input and run the
// queue the way the program's loop does.
#pragma once

#include <SDL.h>

#include <functional>
#include <vector>

#include "win32ext.h"

namespace testsupport {

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class RecordingWindow {
 public:
  explicit RecordingWindow(int width = 320, int height = 240, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           UINT classStyle = 0);
  ~RecordingWindow();
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  HWND handle() const { return handle_; }
  std::vector<Received>& received() { return received_; }
  std::vector<UINT> Messages() const;
  // The received messages of one kind.
  std::vector<Received> Only(UINT message) const;
  // Runs before the default handling of each message; return true to skip it.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> intercept;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
  std::vector<Received> received_;
};

// Takes every queued message, translating accelerators when a table is given, and
// dispatching the rest, as the program's loop does.
void DrainQueue(HACCEL accelerators = nullptr, HWND window = nullptr);

SDL_Event KeyEvent(HWND window, SDL_Keycode key, bool down, Uint16 mod = KMOD_NONE);
SDL_Event ButtonEvent(HWND window, Uint8 button, bool down, int x, int y, Uint8 clicks = 1);
SDL_Event MotionEvent(HWND window, int x, int y);
SDL_Event WindowEvent(HWND window, Uint8 kind, int data1 = 0, int data2 = 0);

}  // namespace testsupport
