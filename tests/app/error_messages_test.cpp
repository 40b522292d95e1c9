// ShowError: the exact text of every code, the three kinds, the must-exit ending with
// its close request, and the silence after the first must-exit message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_shell.h"
#include "frame_timer.h"
#include "window_test_support.h"

namespace {

const std::string kMustExit = "\n\nThis program will now exit.";
const std::string kSwitchedToRef =
    "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
    "Direct3D feature set, but runs very slowly.";
const std::string kGeneric = "Generic application error. Enable\ndebug output for detailed information.";

struct CodeText {
  HRESULT code;
  std::string text;
};

const std::vector<CodeText>& Texts() {
  static const std::vector<CodeText> texts = {
      {HRESULT(0x82000001),
       "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
       "installed on your\nsystem.  Also make sure that this program\nwas compiled with header files that "
       "match\nthe installed DirectX DLLs."},
      {HRESULT(0x82000003), "Could not find any compatible Direct3D\ndevices."},
      {HRESULT(0x82000004),
       "This program cannot run in a desktop\nwindow with the current display settings.\nPlease change your "
       "desktop settings to a\n16- or 32-bit display mode and re-run this\nprogram."},
      {HRESULT(0x82000005), "No hardware-accelerated Direct3D devices\nwere found."},
      {HRESULT(0x82000006),
       "This program requires functionality that is\nnot available on your Direct3D hardware\naccelerator."},
      {HRESULT(0x82000007),
       "Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while the app is running to "
       "see a\nlist of available devices and modes."},
      {HRESULT(0x82000008),
       "Your Direct3D hardware accelerator cannot\nrender into a window with the current\ndesktop display "
       "settings.\nPress F2 while the app is running to see a\nlist of available devices and modes."},
      {HRESULT(0x82000009),
       "This program requires functionality that is\nnot available on your Direct3D hardware\naccelerator with "
       "the current desktop display\nsettings.\nPress F2 while the app is running to see a\nlist of available "
       "devices and modes."},
      {HRESULT(0x8200000A),
       "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up)."},
      {HRESULT(0x8200000B), "Could not load required media."},
      {HRESULT(0x80070002), "Could not load required media."},
      {HRESULT(0x8200000C), "Could not reset the Direct3D device."},
      {HRESULT(0x8200000D),
       "Warning: Nothing will be rendered.\nThe reference rendering device was selected, but your\ncomputer only "
       "has a reduced-functionality reference device\ninstalled.  Install the graphics SDK to get the "
       "full\nreference device.\n"},
      {HRESULT(0x8007000E), "Not enough memory."},
      {HRESULT(0x8876017C), "Not enough video memory."},
      // Codes the table does not name, next to named ones.
      {HRESULT(0x82000002), kGeneric},
      {HRESULT(0x8200000E), kGeneric},
      {E_FAIL, kGeneric},
      {HRESULT(0x88760868), kGeneric},  // D3DERR_DEVICELOST
      {S_OK, kGeneric},
  };
  return texts;
}

class ShowErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32ext::SetMessageBoxHook([this](const win32ext::MessageBoxRecord& box) {
      boxes_.push_back(box);
      return IDOK;
    });
  }
  void TearDown() override { win32ext::SetMessageBoxHook({}); }

  std::vector<win32ext::MessageBoxRecord> boxes_;
  AppShell shell_;
};

TEST_F(ShowErrorTest, EveryCodeShowsItsTextAsAWarningWithTheWindowTitle) {
  shell_.windowTitle = "Caption of the test";
  for (const CodeText& entry : Texts()) {
    SCOPED_TRACE(testing::Message() << std::hex << uint32_t(entry.code));
    boxes_.clear();
    EXPECT_EQ(shell_.ShowError(entry.code, MSG_NONE), entry.code);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, entry.text);
    EXPECT_EQ(boxes_[0].caption, "Caption of the test");
    EXPECT_EQ(boxes_[0].type, UINT(MB_ICONWARNING | MB_OK));
    EXPECT_EQ(boxes_[0].owner, nullptr);
  }
  EXPECT_FALSE(fatalErrorShown) << "warnings never count as must-exit messages";
}

TEST_F(ShowErrorTest, TheSwitchedToReferenceKindAppendsTheReferenceParagraph) {
  for (const CodeText& entry : Texts()) {
    SCOPED_TRACE(testing::Message() << std::hex << uint32_t(entry.code));
    boxes_.clear();
    EXPECT_EQ(shell_.ShowError(entry.code, MSGWARN_SWITCHEDTOREF), entry.code);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, entry.text + kSwitchedToRef);
    EXPECT_EQ(boxes_[0].type, UINT(MB_ICONWARNING | MB_OK));
  }
  EXPECT_FALSE(fatalErrorShown);
}

TEST_F(ShowErrorTest, AKindTheTableDoesNotNameIsAPlainWarning) {
  EXPECT_EQ(shell_.ShowError(HRESULT(0x8200000C), 7), HRESULT(0x8200000C));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Could not reset the Direct3D device.");
  EXPECT_EQ(boxes_[0].type, UINT(MB_ICONWARNING | MB_OK));
  EXPECT_FALSE(fatalErrorShown);
}

TEST_F(ShowErrorTest, AMustExitMessageEndsWithTheExitLineAndClosesTheWindow) {
  testsupport::RecordingWindow window;
  shell_.window = window.handle();
  EXPECT_EQ(shell_.ShowError(HRESULT(0x8200000B), MSGERR_APPMUSTEXIT), HRESULT(0x8200000B));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Could not load required media." + kMustExit);
  EXPECT_EQ(boxes_[0].caption, "D3D9 Application");
  EXPECT_EQ(boxes_[0].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(boxes_[0].owner, nullptr);
  EXPECT_TRUE(fatalErrorShown);
  EXPECT_EQ(window.Only(WM_CLOSE).size(), 1u);
  shell_.window = nullptr;
}

TEST_F(ShowErrorTest, AMustExitMessageWithoutAWindowOnlyShowsTheBox) {
  EXPECT_EQ(shell_.ShowError(HRESULT(0x82000003), MSGERR_APPMUSTEXIT), HRESULT(0x82000003));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Could not find any compatible Direct3D\ndevices." + kMustExit);
  EXPECT_TRUE(fatalErrorShown);
}

TEST_F(ShowErrorTest, TheDriverInternalErrorIsAlwaysAMustExitMessage) {
  for (int kind : {MSG_NONE, MSGWARN_SWITCHEDTOREF}) {
    SCOPED_TRACE(kind);
    fatalErrorShown = false;
    boxes_.clear();
    testsupport::RecordingWindow window;
    shell_.window = window.handle();
    EXPECT_EQ(shell_.ShowError(HRESULT(0x88760827), kind), HRESULT(0x88760827));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "A serious problem occured inside the display driver." + kMustExit);
    EXPECT_EQ(boxes_[0].type, UINT(MB_ICONERROR | MB_OK));
    EXPECT_TRUE(fatalErrorShown);
    EXPECT_EQ(window.Only(WM_CLOSE).size(), 1u);
    shell_.window = nullptr;
  }
}

TEST_F(ShowErrorTest, AfterTheFirstMustExitMessageNothingMoreIsShownOrClosed) {
  testsupport::RecordingWindow window;
  window.intercept = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = 0;
    return message == WM_CLOSE;  // keep the window, to see any further close request
  };
  shell_.window = window.handle();
  EXPECT_EQ(shell_.ShowError(HRESULT(0x8200000C), MSGERR_APPMUSTEXIT), HRESULT(0x8200000C));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(shell_.ShowError(HRESULT(0x8007000E), MSGERR_APPMUSTEXIT), HRESULT(0x8007000E));
  EXPECT_EQ(shell_.ShowError(HRESULT(0x8876017C), MSG_NONE), HRESULT(0x8876017C));
  EXPECT_EQ(shell_.ShowError(HRESULT(0x80070002), MSGWARN_SWITCHEDTOREF), HRESULT(0x80070002));
  EXPECT_EQ(shell_.ShowError(HRESULT(0x88760827), MSG_NONE), HRESULT(0x88760827));
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(window.Only(WM_CLOSE).size(), 1u);
  shell_.window = nullptr;
}

TEST_F(ShowErrorTest, TheSceneCaptionIsUsedForEveryKind) {
  shell_.windowTitle = "Quelmo: Direct3D Vesk";
  shell_.ShowError(E_FAIL, MSG_NONE);
  shell_.ShowError(E_FAIL, MSGWARN_SWITCHEDTOREF);
  shell_.ShowError(E_FAIL, MSGERR_APPMUSTEXIT);
  ASSERT_EQ(boxes_.size(), 3u);
  for (const auto& box : boxes_) EXPECT_EQ(box.caption, "Quelmo: Direct3D Vesk");
}

}  // namespace

namespace {

// The frame rate is the frames counted over the last stretch of more than a second.
TEST(UpdateStats, TheFrameRateIsTheFramesCountedOverMoreThanASecond) {
  AppShell shell;
  shell.UpdateStats();  // the first call closes the stretch that began at time 0
  float firstRate = shell.framesPerSecond;
  EXPECT_GT(firstRate, 0.0f);
  float start = FrameTimer(TIMER_GETABSOLUTETIME);
  int frames = 0;
  while (FrameTimer(TIMER_GETABSOLUTETIME) - start < 0.5f) {
    shell.UpdateStats();
    ++frames;
    if (frames == 10) {
      EXPECT_EQ(shell.framesPerSecond, firstRate) << "no new rate within the second";
    }
  }
  while (shell.framesPerSecond == firstRate) {
    shell.UpdateStats();
    ++frames;
  }
  float elapsed = FrameTimer(TIMER_GETABSOLUTETIME) - start;
  EXPECT_GT(elapsed, 1.0f);
  EXPECT_LE(shell.framesPerSecond, float(frames) / 1.0f);
  EXPECT_GE(shell.framesPerSecond, float(frames) / elapsed * 0.99f);
}

}  // namespace
