// Window classes and windows on the headless back end: creation messages, geometry,
// styles, show states, class values and the refusal of unknown handles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

using testing::ElementsAre;
using testsupport::RecordingWindow;

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

TEST(Windows, CreationSendsItsMessagesInOrderAndTheClientAreaIsTheSizeAskedFor) {
  RecordingWindow window(640, 480);
  ASSERT_NE(window.handle(), nullptr);
  EXPECT_THAT(window.Messages(),
              ElementsAre(WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE));
  EXPECT_EQ(window.received()[3].lParam, MAKELPARAM(640, 480));
  RECT client, bounds;
  ASSERT_TRUE(GetClientRect(window.handle(), &client));
  ASSERT_TRUE(GetWindowRect(window.handle(), &bounds));
  EXPECT_EQ(client.left, 0);
  EXPECT_EQ(Width(client), 640);
  EXPECT_EQ(Height(client), 480);
  EXPECT_EQ(Width(bounds), 640);
  EXPECT_EQ(Height(bounds), 480);
  // CW_USEDEFAULT places the window on the desktop.
  EXPECT_GE(bounds.left, 0);
  EXPECT_GE(bounds.top, 0);
  EXPECT_LE(bounds.right, 1920);
}

TEST(Windows, AdjustWindowRectAddsNoDecorations) {
  RECT rect{0, 0, 640, 480};
  ASSERT_TRUE(AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW | WS_VISIBLE, TRUE));
  EXPECT_EQ(rect.right, 640);
  EXPECT_EQ(rect.bottom, 480);
  EXPECT_FALSE(AdjustWindowRect(nullptr, 0, FALSE));
}

TEST(Windows, ACreateHandlerThatFailsDestroysTheWindow) {
  RecordingWindow probe;  // registers the class
  WNDCLASSA cls{};
  cls.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    return m == WM_CREATE ? -1 : DefWindowProcA(w, m, wp, lp);
  };
  cls.lpszClassName = "RefusesCreation";
  ASSERT_NE(RegisterClassA(&cls), 0);
  EXPECT_EQ(RegisterClassA(&cls), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_EQ(CreateWindowExA(0, "refusescreation", "x", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                            nullptr, nullptr, nullptr, nullptr),
            nullptr);
}

TEST(Windows, UnknownClassesMenusAndHandlesAreRefused) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  WNDCLASSA withMenu{};
  withMenu.lpfnWndProc = DefWindowProcA;
  withMenu.lpszClassName = "WithMenu";
  withMenu.lpszMenuName = MAKEINTRESOURCE(1);
  EXPECT_EQ(RegisterClassA(&withMenu), 0);
  EXPECT_EQ(RegisterClassA(nullptr), 0);

  HWND bogus = reinterpret_cast<HWND>(uintptr_t{0x1234});
  RECT rect;
  POINT point{1, 2};
  EXPECT_FALSE(GetWindowRect(bogus, &rect));
  EXPECT_FALSE(GetClientRect(bogus, &rect));
  EXPECT_FALSE(DestroyWindow(bogus));
  EXPECT_FALSE(DestroyWindow(nullptr));
  EXPECT_FALSE(SetWindowPos(bogus, nullptr, 0, 0, 1, 1, 0));
  EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
  EXPECT_FALSE(ScreenToClient(bogus, &point));
  EXPECT_EQ(GetWindowLongA(bogus, GWL_STYLE), 0);
  EXPECT_EQ(GetClassLongA(bogus, GCL_HCURSOR), 0u);
  EXPECT_EQ(SendMessageA(bogus, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(bogus, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Windows, StylesChangeAndReportThePreviousValue) {
  RecordingWindow window;
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window.handle(), GWL_STYLE)),
            static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
  LONG previous = SetWindowLongA(window.handle(), GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE));
  EXPECT_EQ(static_cast<DWORD>(previous), static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window.handle(), GWL_STYLE)),
            static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
  EXPECT_EQ(GetWindowLongA(window.handle(), 12345), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

TEST(Windows, SetWindowPosMovesAndSizesWithTheirMessages) {
  RecordingWindow window;
  window.received().clear();
  ASSERT_TRUE(SetWindowPos(window.handle(), HWND_NOTOPMOST, 10, 20, 200, 100, SWP_SHOWWINDOW));
  EXPECT_THAT(window.Messages(), ElementsAre(WM_SIZE, WM_MOVE));
  EXPECT_EQ(window.received()[0].lParam, MAKELPARAM(200, 100));
  EXPECT_EQ(window.received()[1].lParam, MAKELPARAM(10, 20));
  RECT rect;
  GetWindowRect(window.handle(), &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 210);
  EXPECT_EQ(rect.bottom, 120);

  window.received().clear();
  ASSERT_TRUE(SetWindowPos(window.handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(window.received().empty());
}

TEST(Windows, ShowWindowMinimisesMaximisesAndRestoresWithSizeMessages) {
  RecordingWindow window(300, 200);
  RECT before;
  GetWindowRect(window.handle(), &before);
  window.received().clear();

  ShowWindow(window.handle(), SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(window.handle()));
  ShowWindow(window.handle(), SW_RESTORE);
  ShowWindow(window.handle(), SW_MAXIMIZE);
  EXPECT_TRUE(IsZoomed(window.handle()));
  ShowWindow(window.handle(), SW_RESTORE);

  auto sizes = window.Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 4u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
  EXPECT_EQ(sizes[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[2].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  EXPECT_EQ(sizes[2].lParam, MAKELPARAM(1920, 1080));
  EXPECT_EQ(sizes[3].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[3].lParam, MAKELPARAM(300, 200));
  RECT after;
  GetWindowRect(window.handle(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.right, before.right);
}

TEST(Windows, MinimisedWindowsHaveAnEmptyClientArea) {
  RecordingWindow window;
  ShowWindow(window.handle(), SW_MINIMIZE);
  RECT client;
  GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, 0);
  EXPECT_EQ(client.bottom, 0);
}

TEST(Windows, WindowsHaveNoMenu) {
  RecordingWindow window;
  EXPECT_EQ(GetMenu(window.handle()), nullptr);
  EXPECT_TRUE(SetMenu(window.handle(), nullptr));
  EXPECT_FALSE(SetMenu(window.handle(), reinterpret_cast<HMENU>(uintptr_t{0x5000})));
  EXPECT_FALSE(DestroyMenu(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
}

TEST(Windows, TheClassCursorCanBeReadAndReplaced) {
  RecordingWindow window;
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR sizeAll = LoadCursorA(nullptr, IDC_SIZEALL);
  EXPECT_EQ(GetClassLongA(window.handle(), GCL_HCURSOR), static_cast<DWORD>(reinterpret_cast<uintptr_t>(arrow)));
  DWORD previous = SetClassLongA(window.handle(), GCL_HCURSOR,
                                 static_cast<LONG>(reinterpret_cast<uintptr_t>(sizeAll)));
  EXPECT_EQ(previous, static_cast<DWORD>(reinterpret_cast<uintptr_t>(arrow)));
  HCURSOR stored = reinterpret_cast<HCURSOR>(uintptr_t{GetClassLongA(window.handle(), GCL_HCURSOR)});
  EXPECT_EQ(stored, sizeAll);
  EXPECT_NE(win32ext::IconImage(stored), nullptr);
  SetClassLongA(window.handle(), GCL_HCURSOR, static_cast<LONG>(reinterpret_cast<uintptr_t>(arrow)));
}

TEST(Windows, DestroyingSendsDestroyMessagesAndInvalidatesTheHandle) {
  RecordingWindow window;
  HWND handle = window.handle();
  PostMessageA(handle, WM_USER, 0, 0);
  window.received().clear();
  ASSERT_TRUE(DestroyWindow(handle));
  EXPECT_THAT(window.Messages(), ElementsAre(WM_DESTROY, WM_NCDESTROY));
  EXPECT_FALSE(IsWindow(handle));
  // Its posted messages went with it.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
}

TEST(Windows, DefaultHandlingOfCloseDestroysTheWindow) {
  RecordingWindow window;
  HWND handle = window.handle();
  SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(handle));
  auto messages = window.Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), WM_CLOSE), messages.end());
}

TEST(Windows, TheHeadlessDesktopGrowsToHoldALargeWindow) {
  RecordingWindow window(2500, 1500, WS_POPUP | WS_VISIBLE);
  SetWindowPos(window.handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE);
  auto displays = win32ext::Displays();
  ASSERT_EQ(displays.size(), 1u);
  EXPECT_GE(Width(displays[0].bounds), 2500);
  EXPECT_GE(Height(displays[0].bounds), 1500);
  EXPECT_EQ(displays[0].refreshRate, 60);
}

TEST(Windows, StockBrushesExistAndUnknownObjectsDoNot) {
  EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
  EXPECT_NE(GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetStockObject(99), nullptr);
}

}  // namespace
