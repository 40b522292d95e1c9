// The device change through the "Direct3D Settings" dialog, played by the automation
// hook: F2 while recording and the choice at start. OK rebuilds the device with the
// chosen settings; Cancel, Escape and the close box leave everything as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device_settings_dialog.h"
#include "frame_capture.h"
#include "resources.h"
#include "shell_harness.h"

namespace apptest {
namespace {

using Lifecycle = std::vector<std::string>;
using Step = std::function<void(const win32ext::DialogUser&)>;

class ChangeDevice : public ShellRun {
 protected:
  void TearDown() override {
    win32ext::SetDialogHook({});
    ShellRun::TearDown();
  }

  // The hook takes the steps one per idle turn, then closes the dialog.
  void Answer(std::vector<Step> steps) {
    steps_ = std::move(steps);
    win32ext::SetDialogHook([this](const win32ext::DialogUser& user) {
      ++dialogsShown_;
      if (next_ == steps_.size()) return false;
      steps_[next_++](user);
      return true;
    });
  }

  // Chooses the last present interval that is not the selected one; its value is kept.
  Step ChooseAnotherPresentInterval() {
    return [this](const win32ext::DialogUser& user) {
      HWND list = GetDlgItem(user.dialog(), IDC_PRESENTINTERVAL_COMBO);
      LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
      LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
      ASSERT_GE(count, 2) << "the headless device offers more than one interval";
      LRESULT other = selected == count - 1 ? count - 2 : count - 1;
      std::string text(size_t(SendMessageA(list, CB_GETLBTEXTLEN, WPARAM(other), 0)), '\0');
      SendMessageA(list, CB_GETLBTEXT, WPARAM(other), LPARAM(text.data()));
      chosenInterval_ = UINT(SendMessageA(list, CB_GETITEMDATA, WPARAM(other), 0));
      EXPECT_TRUE(user.Choose(IDC_PRESENTINTERVAL_COMBO, text));
    };
  }
  static Step Click(int id) {
    return [id](const win32ext::DialogUser& user) { EXPECT_TRUE(user.Click(id)); };
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  int dialogsShown_ = 0;
  UINT chosenInterval_ = 0xDEADu;
};

TEST_F(ChangeDevice, F2ThenOkRebuildsTheDeviceWithTheChosenPresentInterval) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  UINT before = shell.settings.windowedPresentInterval;
  shell.lifecycle.clear();
  Answer({ChooseAnotherPresentInterval(), Click(IDOK)});
  EXPECT_EQ(SendMessageA(shell.window, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
  EXPECT_GT(dialogsShown_, 0);
  EXPECT_NE(chosenInterval_, before);
  EXPECT_EQ(shell.settings.windowedPresentInterval, chosenInterval_);
  EXPECT_EQ(shell.presentParameters.PresentationInterval, chosenInterval_);
  EXPECT_EQ(shell.lifecycle,
            (Lifecycle{"InvalidateDeviceObjects", "DeleteDeviceObjects", "InitDeviceObjects", "RestoreDeviceObjects"}));
  EXPECT_NE(shell.device, nullptr);
  EXPECT_TRUE(shell.windowed);
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(boxes.empty());
}

class ChangeDeviceDeclined : public ChangeDevice, public testing::WithParamInterface<int> {};

TEST_P(ChangeDeviceDeclined, CancelEscapeOrTheCloseBoxLeaveDeviceAndSettingsAsTheyWere) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  DeviceSettings before = shell.settings;
  IDirect3DDevice9* device = shell.device;
  shell.lifecycle.clear();
  Step decline;
  switch (GetParam()) {
    case 0: decline = Click(IDCANCEL); break;
    case 1: decline = [](const win32ext::DialogUser& user) { EXPECT_TRUE(user.PressKey(VK_ESCAPE)); }; break;
    default: decline = [](const win32ext::DialogUser& user) { user.Close(); }; break;
  }
  Answer({ChooseAnotherPresentInterval(), Click(IDC_FULLSCREEN), decline});
  SendMessageA(shell.window, WM_COMMAND, IDM_CHANGEDEVICE, 0);
  EXPECT_EQ(next_, 3u) << "every step ran";
  EXPECT_EQ(shell.device, device);
  EXPECT_TRUE(shell.lifecycle.empty());
  EXPECT_EQ(shell.settings.isWindowed, before.isWindowed);
  EXPECT_EQ(shell.settings.windowedCombination, before.windowedCombination);
  EXPECT_EQ(shell.settings.windowedPresentInterval, before.windowedPresentInterval);
  EXPECT_EQ(shell.settings.fullscreenCombination, before.fullscreenCombination);
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(shell.active);
}

INSTANTIATE_TEST_SUITE_P(CancelEscapeClose, ChangeDeviceDeclined, testing::Values(0, 1, 2));

TEST_F(ChangeDevice, ChoosingAtStartThenOkBuildsOneDeviceWithTheChoice) {
  Configure(5);
  shell.chooseDeviceAtStart = true;
  Answer({ChooseAnotherPresentInterval(), Click(IDOK)});
  ASSERT_EQ(Create(), S_OK);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 1);
  EXPECT_EQ(shell.settings.windowedPresentInterval, chosenInterval_);
  EXPECT_EQ(shell.presentParameters.PresentationInterval, chosenInterval_);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ChangeDevice, ChoosingAtStartThenCancelStillRecords) {
  shell.chooseDeviceAtStart = true;
  Answer({Click(IDCANCEL)});
  EXPECT_EQ(CreateAndRun(3), 0);
  EXPECT_GT(dialogsShown_, 0);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 1);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_EQ(frameCapture.frameNumber, 3);
}

TEST_F(ChangeDevice, RecordingGoesOnToItsLastFrameAcrossADeviceChange) {
  shell.atRender[2] = [this] { Press(SDLK_F2); };
  Answer({ChooseAnotherPresentInterval(), Click(IDOK)});
  EXPECT_EQ(CreateAndRun(6), 0);
  EXPECT_GT(dialogsShown_, 0);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 2) << "the device was rebuilt";
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_EQ(frameCapture.frameNumber, 6);
  EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
}

}  // namespace
}  // namespace apptest
