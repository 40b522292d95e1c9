// The message queue: order of posted, quit and paint messages, filters, blocking,
// re-entrant sending and character translation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "window_test_support.h"

using testing::ElementsAre;
using testsupport::DrainQueue;
using testsupport::RecordingWindow;

namespace {

TEST(MessageQueue, PostedMessagesComeInOrderAndQuitEndsGetMessage) {
  RecordingWindow window;
  DrainQueue();
  window.received().clear();
  PostMessageA(window.handle(), WM_USER + 1, 1, 0);
  PostQuitMessage(7);
  PostMessageA(window.handle(), WM_USER + 2, 2, 0);
  PostMessageA(nullptr, WM_USER + 3, 3, 0);

  MSG msg;
  std::vector<UINT> seen;
  BOOL result;
  while ((result = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
    ASSERT_NE(result, -1);
    seen.push_back(msg.message);
    DispatchMessageA(&msg);
  }
  // The quit message waits until the posted messages are taken.
  EXPECT_THAT(seen, ElementsAre(WM_USER + 1, WM_USER + 2, WM_USER + 3));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_THAT(window.Messages(), ElementsAre(WM_USER + 1, WM_USER + 2));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(MessageQueue, PeekWithoutRemovingLeavesTheMessageAndFiltersApply) {
  RecordingWindow first;
  RecordingWindow second;
  DrainQueue();
  PostMessageA(first.handle(), WM_USER, 1, 0);
  PostMessageA(second.handle(), WM_USER + 5, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, second.handle(), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 9, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, GetMessageBlocksUntilAMessageIsPosted) {
  DrainQueue();
  std::thread poster([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageA(nullptr, WM_USER + 42, 0, 0);
  });
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 42));
  poster.join();
}

TEST(MessageQueue, SendMessageReentersTheWindowProcedure) {
  RecordingWindow window;
  int depth = 0, deepest = 0;
  window.intercept = [&](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != WM_USER) return false;
    ++depth;
    deepest = std::max(deepest, depth);
    if (wParam < 3) SendMessageA(window.handle(), WM_USER, wParam + 1, 0);
    --depth;
    *result = static_cast<LRESULT>(wParam) * 10;
    return true;
  };
  EXPECT_EQ(SendMessageA(window.handle(), WM_USER, 0, 0), 0);
  EXPECT_EQ(deepest, 4);
  EXPECT_EQ(window.Only(WM_USER).size(), 4u);
  EXPECT_EQ(SendMessageA(window.handle(), WM_USER, 3, 0), 30);
}

TEST(MessageQueue, PaintComesAfterPostedMessagesAndStopsOnceValidated) {
  RecordingWindow window;
  PostMessageA(window.handle(), WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  // Not validated yet: it comes again.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageA(&msg);  // the default procedure validates
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, TranslateMessagePostsTheCharacterNext) {
  RecordingWindow window;
  DrainQueue();
  win32ext::InjectInput(testsupport::KeyEvent(window.handle(), SDLK_a, true));
  win32ext::InjectInput(testsupport::KeyEvent(window.handle(), SDLK_a, false));
  DrainQueue();
  auto chars = window.Only(WM_CHAR);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>('a'));
  EXPECT_THAT(window.Messages(), testing::IsSupersetOf({WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
}

TEST(MessageQueue, BadArgumentsFail) {
  MSG msg;
  HWND bogus = reinterpret_cast<HWND>(uintptr_t{0x4321});
  EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, bogus, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetMessageA(&msg, bogus, 0, 0), -1);
  EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(DispatchMessageA(nullptr), 0);
  EXPECT_FALSE(TranslateMessage(nullptr));
}

}  // namespace
