// The SDL back end's side of the table, through SDL's dummy video driver: input given
// to SDL and input injected arrive in the order given, a presented image reaches the
// window's surface, the display lists its modes, and moving the pointer reaches the
// window as the motion SDL reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "window_test_support.h"

using testsupport::DrainQueue;
using testsupport::KeyEvent;
using testsupport::RecordingWindow;

namespace {

void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

TEST(SdlBackend, PushedAndInjectedInputArriveInTheOrderGiven) {
  RecordingWindow window;
  DrainQueue();
  window.received().clear();
  Push(KeyEvent(window.handle(), SDLK_a, true));
  win32ext::InjectInput(KeyEvent(window.handle(), SDLK_b, true));
  Push(KeyEvent(window.handle(), SDLK_c, true));
  win32ext::InjectInput(KeyEvent(window.handle(), SDLK_d, true));
  // Keys the window layer does not know, and events it takes no message from, are
  // dropped on the way without disturbing the rest.
  win32ext::InjectInput(KeyEvent(window.handle(), SDLK_AUDIOPLAY, true));
  SDL_Event focus = testsupport::WindowEvent(window.handle(), SDL_WINDOWEVENT_FOCUS_GAINED);
  win32ext::InjectInput(focus);
  Push(KeyEvent(window.handle(), SDLK_e, true));
  DrainQueue();
  std::vector<WPARAM> keys;
  for (const auto& received : window.Only(WM_KEYDOWN)) keys.push_back(received.wParam);
  EXPECT_THAT(keys, testing::ElementsAre('A', 'B', 'C', 'D', 'E'));
}

// The window surface's pixel as 0xRRGGBB.
uint32_t SurfacePixel(SDL_Surface* surface, int x, int y) {
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
  if (!argb) return 0xDEADBEEF;
  uint32_t pixel = static_cast<const uint32_t*>(argb->pixels)[size_t(y) * (argb->pitch / 4) + size_t(x)];
  SDL_FreeSurface(argb);
  return pixel & 0xFFFFFF;
}

TEST(SdlBackend, APresentedImagePartFillsTheWindow) {
  RecordingWindow window(40, 30, WS_POPUP | WS_VISIBLE);
  SDL_Window* native = SDL_GetWindowFromID(win32ext::NativeWindowId(window.handle()));
  ASSERT_NE(native, nullptr);
  // A 100x80 image whose pixel tells its place: red = x, green = y.
  std::vector<uint32_t> pixels(100 * 80);
  for (uint32_t y = 0; y < 80; ++y)
    for (uint32_t x = 0; x < 100; ++x) pixels[y * 100 + x] = (x << 16) | (y << 8) | 0x5A;
  win32ext::ShowInWindow(window.handle(), {pixels.data(), 100, 80}, RECT{20, 10, 60, 40});
  SDL_Surface* surface = SDL_GetWindowSurface(native);
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->w, 40);
  EXPECT_EQ(SurfacePixel(surface, 0, 0), (20u << 16) | (10u << 8) | 0x5A);
  EXPECT_EQ(SurfacePixel(surface, 39, 29), (59u << 16) | (39u << 8) | 0x5A);
  EXPECT_EQ(SurfacePixel(surface, 7, 3), (27u << 16) | (13u << 8) | 0x5A);
}

TEST(SdlBackend, TheDisplayListsItsModesAndWindowsAreShown) {
  EXPECT_TRUE(win32ext::WindowsShown());
  SDL_DisplayMode current;
  ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &current), 0) << SDL_GetError();
  std::vector<win32ext::DisplayMode> modes = win32ext::DisplayModes(0);
  auto isCurrent = [&](const win32ext::DisplayMode& mode) {
    return mode.width == current.w && mode.height == current.h;
  };
  EXPECT_TRUE(std::any_of(modes.begin(), modes.end(), isCurrent));
  EXPECT_TRUE(win32ext::DisplayModes(SDL_GetNumVideoDisplays()).empty());
}

TEST(SdlBackend, WarpingThePointerMovesItInTheWindow) {
  RecordingWindow window(200, 150, WS_POPUP | WS_VISIBLE);
  DrainQueue();
  window.received().clear();
  win32ext::WarpPointer(window.handle(), 30, 40);
  DrainQueue();
  auto moves = window.Only(WM_MOUSEMOVE);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().lParam, MAKELPARAM(30, 40));
}

}  // namespace
