// Events pushed through SDL's dummy video driver arrive as the right window messages:
// the SDL back end takes the same translation path as the headless one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

using testsupport::ButtonEvent;
using testsupport::DrainQueue;
using testsupport::KeyEvent;
using testsupport::RecordingWindow;

namespace {

void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

TEST(SdlInput, TheSdlBackEndIsInUseWithTheDummyDriver) {
  EXPECT_EQ(win32ext::ActiveBackend(), win32ext::BackendKind::Sdl);
  EXPECT_FALSE(win32ext::Displays().empty());
}

TEST(SdlInput, MouseAndKeyEventsBecomeMessages) {
  RecordingWindow window(200, 150);
  ASSERT_NE(window.handle(), nullptr);
  ASSERT_NE(win32ext::NativeWindowId(window.handle()), 0u);
  DrainQueue();
  window.received().clear();

  Push(ButtonEvent(window.handle(), SDL_BUTTON_LEFT, true, 12, -3));
  Push(ButtonEvent(window.handle(), SDL_BUTTON_LEFT, false, 12, -3));
  Push(KeyEvent(window.handle(), SDLK_SPACE, true));
  Push(KeyEvent(window.handle(), SDLK_x, true, KMOD_LALT));
  DrainQueue();

  auto down = window.Only(WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(GET_X_LPARAM(down[0].lParam), 12);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), -3);
  auto up = window.Only(WM_LBUTTONUP);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].wParam, 0u);
  auto keys = window.Only(WM_KEYDOWN);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_SPACE));
  auto sys = window.Only(WM_SYSKEYDOWN);
  ASSERT_EQ(sys.size(), 1u);
  EXPECT_EQ(sys[0].wParam, static_cast<WPARAM>('X'));
}

TEST(SdlInput, TheCloseEventClosesTheWindow) {
  RecordingWindow window;
  HWND handle = window.handle();
  Push(testsupport::WindowEvent(handle, SDL_WINDOWEVENT_CLOSE));
  DrainQueue();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(window.Only(WM_CLOSE).empty());
}

TEST(SdlInput, InjectedInputTakesTheSamePath) {
  RecordingWindow window;
  DrainQueue();
  window.received().clear();
  win32ext::InjectInput(testsupport::MotionEvent(window.handle(), 5, 6));
  DrainQueue();
  auto moves = window.Only(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].lParam, MAKELPARAM(5, 6));
}

}  // namespace
