// The headless back end's side of the table: nothing is shown, so there is no refresh
// to wait for, no mode to switch to and no pointer to draw or move, and showing an
// image or moving the pointer leaves the windows' messages alone.
#include <gtest/gtest.h>

#include <vector>

#include "window_test_support.h"

using testsupport::DrainQueue;
using testsupport::RecordingWindow;

namespace {

TEST(HeadlessBackend, ShowsNothingAndListsNoModes) {
  EXPECT_EQ(win32ext::ActiveBackend(), win32ext::BackendKind::Headless);
  EXPECT_FALSE(win32ext::WindowsShown());
  EXPECT_TRUE(win32ext::DisplayModes(0).empty());
  std::vector<uint32_t> arrow(16 * 16, 0xFF000000u);
  EXPECT_EQ(win32ext::ShowColorPointer({arrow.data(), 16, 16, 0, 0}), 0u);
}

TEST(HeadlessBackend, ShowingAnImageAndWarpingThePointerSendNoMessages) {
  RecordingWindow window(40, 30);
  DrainQueue();
  window.received().clear();
  std::vector<uint32_t> pixels(40 * 30, 0x123456u);
  win32ext::ShowInWindow(window.handle(), {pixels.data(), 40, 30}, RECT{0, 0, 40, 30});
  win32ext::WarpPointer(window.handle(), 5, 6);
  win32ext::HidePointer();
  DrainQueue();
  EXPECT_TRUE(window.received().empty());
}

}  // namespace
