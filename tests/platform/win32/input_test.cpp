// Injected input on the headless back end arrives as the messages a Win32 window
// receives, through the same translation as SDL's events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

using testing::ElementsAre;
using testsupport::ButtonEvent;
using testsupport::DrainQueue;
using testsupport::KeyEvent;
using testsupport::MotionEvent;
using testsupport::RecordingWindow;
using testsupport::WindowEvent;

namespace {

void Inject(const SDL_Event& event) { win32ext::InjectInput(event); }

class Input : public testing::Test {
 protected:
  void SetUp() override {
    DrainQueue();
    window_.received().clear();
  }
  RecordingWindow window_{320, 240};
};

TEST_F(Input, MouseButtonsCarryKeyFlagsAndSignedClientCoordinates) {
  HWND w = window_.handle();
  Inject(ButtonEvent(w, SDL_BUTTON_LEFT, true, 10, 20));
  Inject(MotionEvent(w, -5, 300));  // dragged out past the top-left and bottom edges
  Inject(ButtonEvent(w, SDL_BUTTON_RIGHT, true, -5, 300));
  Inject(ButtonEvent(w, SDL_BUTTON_LEFT, false, -5, 300));
  Inject(ButtonEvent(w, SDL_BUTTON_RIGHT, false, -5, 300));
  Inject(ButtonEvent(w, SDL_BUTTON_MIDDLE, true, 1, 2));
  DrainQueue();

  auto mouse = window_.received();
  std::erase_if(mouse, [](const auto& r) { return r.message < WM_MOUSEMOVE || r.message > WM_MOUSEWHEEL; });
  ASSERT_THAT(mouse, testing::SizeIs(6));
  EXPECT_EQ(mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(mouse[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(mouse[0].lParam, MAKELPARAM(10, 20));
  EXPECT_EQ(mouse[1].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(GET_X_LPARAM(mouse[1].lParam), -5);
  EXPECT_EQ(GET_Y_LPARAM(mouse[1].lParam), 300);
  EXPECT_EQ(mouse[2].message, static_cast<UINT>(WM_RBUTTONDOWN));
  EXPECT_EQ(mouse[2].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON));
  EXPECT_EQ(mouse[3].message, static_cast<UINT>(WM_LBUTTONUP));
  EXPECT_EQ(mouse[3].wParam, static_cast<WPARAM>(MK_RBUTTON));
  EXPECT_EQ(mouse[4].message, static_cast<UINT>(WM_RBUTTONUP));
  EXPECT_EQ(mouse[4].wParam, 0u);
  EXPECT_EQ(mouse[5].message, static_cast<UINT>(WM_MBUTTONDOWN));
  EXPECT_EQ(mouse[5].wParam, static_cast<WPARAM>(MK_MBUTTON));
  Inject(ButtonEvent(w, SDL_BUTTON_MIDDLE, false, 1, 2));
  DrainQueue();
}

TEST_F(Input, ShiftAndControlShowInTheMouseFlags) {
  HWND w = window_.handle();
  Inject(KeyEvent(w, SDLK_LSHIFT, true, KMOD_LSHIFT));
  Inject(KeyEvent(w, SDLK_LCTRL, true, KMOD_LSHIFT | KMOD_LCTRL));
  Inject(MotionEvent(w, 3, 4));
  Inject(KeyEvent(w, SDLK_LCTRL, false, KMOD_LSHIFT));
  Inject(KeyEvent(w, SDLK_LSHIFT, false));
  Inject(MotionEvent(w, 5, 6));
  DrainQueue();
  auto moves = window_.Only(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].wParam, static_cast<WPARAM>(MK_SHIFT | MK_CONTROL));
  EXPECT_EQ(moves[1].wParam, 0u);
}

TEST_F(Input, MouseInputIsHitTestedAndSetsTheCursorFirst) {
  Inject(MotionEvent(window_.handle(), 7, 8));
  DrainQueue();
  auto messages = window_.Messages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_THAT(std::vector<UINT>(messages.begin(), messages.begin() + 3),
              ElementsAre(WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE));
  auto setCursor = window_.Only(WM_SETCURSOR);
  EXPECT_EQ(LOWORD(setCursor[0].lParam), HTCLIENT);
  EXPECT_EQ(HIWORD(setCursor[0].lParam), WM_MOUSEMOVE);

  POINT cursor;
  ASSERT_TRUE(GetCursorPos(&cursor));
  RECT rect;
  GetWindowRect(window_.handle(), &rect);
  EXPECT_EQ(cursor.x, rect.left + 7);
  EXPECT_EQ(cursor.y, rect.top + 8);
  ASSERT_TRUE(ScreenToClient(window_.handle(), &cursor));
  EXPECT_EQ(cursor.x, 7);
  EXPECT_EQ(cursor.y, 8);
}

TEST_F(Input, DoubleClicksNeedAClassThatAsksForThem) {
  RecordingWindow wants(100, 100, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CS_DBLCLKS);
  for (HWND w : {window_.handle(), wants.handle()}) {
    Inject(ButtonEvent(w, SDL_BUTTON_LEFT, true, 1, 1, 1));
    Inject(ButtonEvent(w, SDL_BUTTON_LEFT, false, 1, 1, 1));
    Inject(ButtonEvent(w, SDL_BUTTON_LEFT, true, 1, 1, 2));
    Inject(ButtonEvent(w, SDL_BUTTON_LEFT, false, 1, 1, 2));
  }
  DrainQueue();
  EXPECT_EQ(window_.Only(WM_LBUTTONDOWN).size(), 2u);
  EXPECT_TRUE(window_.Only(WM_LBUTTONDBLCLK).empty());
  EXPECT_EQ(wants.Only(WM_LBUTTONDOWN).size(), 1u);
  EXPECT_EQ(wants.Only(WM_LBUTTONDBLCLK).size(), 1u);
}

TEST_F(Input, TheWheelGivesMultiplesOfWheelDeltaAtScreenCoordinates) {
  Inject(MotionEvent(window_.handle(), 4, 5));
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = win32ext::NativeWindowId(window_.handle());
  wheel.wheel.y = -2;
  Inject(wheel);
  DrainQueue();
  auto wheels = window_.Only(WM_MOUSEWHEEL);
  ASSERT_EQ(wheels.size(), 1u);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -2 * WHEEL_DELTA);
  RECT rect;
  GetWindowRect(window_.handle(), &rect);
  EXPECT_EQ(GET_X_LPARAM(wheels[0].lParam), rect.left + 4);
}

TEST_F(Input, KeysBecomeVirtualKeysAndAltMakesThemSystemKeys) {
  HWND w = window_.handle();
  Inject(KeyEvent(w, SDLK_ESCAPE, true));
  Inject(KeyEvent(w, SDLK_ESCAPE, false));
  Inject(KeyEvent(w, SDLK_LALT, true, KMOD_LALT));
  Inject(KeyEvent(w, SDLK_RETURN, true, KMOD_LALT));
  Inject(KeyEvent(w, SDLK_LALT, false));
  Inject(KeyEvent(w, SDLK_F2, true));
  DrainQueue();
  std::vector<std::pair<UINT, WPARAM>> keys;
  for (const auto& r : window_.received()) {
    if (r.message >= WM_KEYDOWN && r.message <= WM_SYSKEYUP && r.message != WM_CHAR &&
        r.message != WM_SYSCHAR) {
      keys.emplace_back(r.message, r.wParam);
    }
  }
  EXPECT_THAT(keys, ElementsAre(std::pair<UINT, WPARAM>{WM_KEYDOWN, VK_ESCAPE},
                                std::pair<UINT, WPARAM>{WM_KEYUP, VK_ESCAPE},
                                std::pair<UINT, WPARAM>{WM_SYSKEYDOWN, VK_MENU},
                                std::pair<UINT, WPARAM>{WM_SYSKEYDOWN, VK_RETURN},
                                std::pair<UINT, WPARAM>{WM_SYSKEYUP, VK_MENU},
                                std::pair<UINT, WPARAM>{WM_KEYDOWN, VK_F2}));
  auto down = window_.Only(WM_KEYDOWN);
  EXPECT_EQ(down[0].lParam & 0xFFFF, 1);                     // repeat count
  EXPECT_EQ((down[0].lParam >> 16) & 0xFF, 0x01);            // Esc's scan code
  auto sys = window_.Only(WM_SYSKEYDOWN);
  EXPECT_NE(sys[1].lParam & (1 << 29), 0);                   // Alt held
  auto up = window_.Only(WM_KEYUP);
  EXPECT_EQ(static_cast<uint32_t>(up[0].lParam) >> 30, 3u);  // was down, now released
}

TEST_F(Input, MinimiseMaximiseAndRestoreArriveAsSizeMessages) {
  HWND w = window_.handle();
  Inject(WindowEvent(w, SDL_WINDOWEVENT_MINIMIZED));
  Inject(WindowEvent(w, SDL_WINDOWEVENT_RESTORED));
  Inject(WindowEvent(w, SDL_WINDOWEVENT_MAXIMIZED));
  Inject(WindowEvent(w, SDL_WINDOWEVENT_RESTORED));
  DrainQueue();
  auto sizes = window_.Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 4u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
  EXPECT_EQ(sizes[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[2].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  EXPECT_EQ(sizes[3].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[3].lParam, MAKELPARAM(320, 240));
}

TEST_F(Input, InteractiveResizingIsBracketedBySizeMoveMessages) {
  Inject(WindowEvent(window_.handle(), SDL_WINDOWEVENT_SIZE_CHANGED, 400, 300));
  // The same size again is no change at all.
  Inject(WindowEvent(window_.handle(), SDL_WINDOWEVENT_SIZE_CHANGED, 400, 300));
  DrainQueue();
  auto messages = window_.Messages();
  std::erase_if(messages, [](UINT m) { return m == WM_PAINT; });
  EXPECT_THAT(messages, ElementsAre(WM_ENTERSIZEMOVE, WM_SIZE, WM_EXITSIZEMOVE));
  EXPECT_EQ(window_.Only(WM_SIZE)[0].lParam, MAKELPARAM(400, 300));
  RECT client;
  GetClientRect(window_.handle(), &client);
  EXPECT_EQ(client.right, 400);
}

TEST_F(Input, TheCloseButtonClosesThroughTheSystemCommand) {
  HWND w = window_.handle();
  Inject(WindowEvent(w, SDL_WINDOWEVENT_CLOSE));
  DrainQueue();
  EXPECT_THAT(window_.Messages(), testing::IsSupersetOf({WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(Input, ExposureAsksForPaint) {
  Inject(WindowEvent(window_.handle(), SDL_WINDOWEVENT_EXPOSED));
  DrainQueue();
  EXPECT_EQ(window_.Only(WM_PAINT).size(), 1u);
}

TEST_F(Input, ARightClickIsFollowedByAContextMenuMessageAtScreenCoordinates) {
  Inject(ButtonEvent(window_.handle(), SDL_BUTTON_RIGHT, true, 30, 40));
  Inject(ButtonEvent(window_.handle(), SDL_BUTTON_RIGHT, false, 30, 40));
  DrainQueue();
  auto menus = window_.Only(WM_CONTEXTMENU);
  ASSERT_EQ(menus.size(), 1u);
  RECT rect;
  GetWindowRect(window_.handle(), &rect);
  EXPECT_EQ(menus[0].wParam, reinterpret_cast<WPARAM>(window_.handle()));
  EXPECT_EQ(GET_X_LPARAM(menus[0].lParam), rect.left + 30);
  EXPECT_EQ(GET_Y_LPARAM(menus[0].lParam), rect.top + 40);
}

TEST_F(Input, ClipCursorConfinesThePointer) {
  RECT rect;
  GetWindowRect(window_.handle(), &rect);
  RECT clip{rect.left, rect.top, rect.left + 50, rect.top + 50};
  ASSERT_TRUE(ClipCursor(&clip));
  Inject(MotionEvent(window_.handle(), 200, 100));
  DrainQueue();
  ASSERT_TRUE(ClipCursor(nullptr));
  auto moves = window_.Only(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].lParam, MAKELPARAM(49, 49));
  RECT inverted{10, 10, 0, 0};
  EXPECT_FALSE(ClipCursor(&inverted));
}

TEST_F(Input, EventsForUnknownWindowsAreDropped) {
  SDL_Event event = MotionEvent(window_.handle(), 1, 1);
  event.motion.windowID = 999999;
  Inject(event);
  DrainQueue();
  EXPECT_TRUE(window_.Only(WM_MOUSEMOVE).empty());
}

}  // namespace
