// The recording driven through the window's input, as a user gives it between frames:
// closing keys, stop and resume, single step, the full-screen switch, minimising.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "frame_capture.h"
#include "frame_timer.h"
#include "shell_harness.h"
#include "window_test_support.h"

namespace apptest {
namespace {

using Lifecycle = std::vector<std::string>;

const Lifecycle kCreatedAndClosed = {"OneTimeSceneInit",        "InitDeviceObjects",   "RestoreDeviceObjects",
                                     "InvalidateDeviceObjects", "DeleteDeviceObjects", "FinalCleanup"};

std::vector<int> RendersWithFrameMove(const HookedShell& shell) {
  std::vector<int> renders;
  for (const FrameStep& step : shell.steps) renders.push_back(step.render);
  return renders;
}

using ClosingKeys = ShellRun;

TEST_F(ClosingKeys, EscapeClosesWithoutFinishingTheMovieOrStartingPrograms) {
  InstallProgramStandIns();
  shell.atRender[3] = [this] { Press(SDLK_ESCAPE); };
  EXPECT_EQ(CreateAndRun(40, kEditKeyword), 0);
  EXPECT_EQ(shell.renders, 3) << "no frame after the key";
  EXPECT_FALSE(frameCapture.finished);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.lifecycle, kCreatedAndClosed);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(StandInRan("RizudAvuv.exe")) << "the editor started after an interrupted recording";
}

TEST_F(ClosingKeys, AltXClosesWithoutFinishingTheMovie) {
  shell.atRender[2] = [this] { Press(SDLK_x, true); };
  EXPECT_EQ(CreateAndRun(40), 0);
  EXPECT_EQ(shell.renders, 2);
  EXPECT_FALSE(frameCapture.finished);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.lifecycle, kCreatedAndClosed);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ClosingKeys, XWithoutAltDoesNotClose) {
  shell.atRender[2] = [this] { Press(SDLK_x); };
  EXPECT_EQ(CreateAndRun(5), 0);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_EQ(shell.renders, 5);
}

// The control case of the test above it: a complete recording with the edit keyword
// starts the editor, and Run's result is the wParam of the last message it took.
TEST_F(ClosingKeys, ACompleteRecordingStartsTheEditorAndReturnsTheLastMessagesWParam) {
  InstallProgramStandIns();
  shell.atRender[2] = [this] { Press(SDLK_a); };  // ends with WM_KEYUP, wParam 'A'
  EXPECT_EQ(CreateAndRun(4, kEditKeyword), 'A');
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_TRUE(StandInRan("RizudAvuv.exe"));
}

using StopAndStep = ShellRun;

TEST_F(StopAndStep, EnterStopsTheAnimationWhileFramesAreStillRenderedAndGrabbed) {
  const int frames = 12;
  shell.atRender[3] = [this] { Press(SDLK_RETURN); };
  shell.atRender[6] = [this] {
    EXPECT_FALSE(shell.frameMoving);
    Press(SDLK_RETURN);
  };
  EXPECT_EQ(CreateAndRun(frames), 0);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_TRUE(shell.frameMoving);
  std::vector<int> moved = RendersWithFrameMove(shell);
  for (int stopped : {4, 5, 6}) {
    EXPECT_EQ(std::count(moved.begin(), moved.end(), stopped), 0) << "animated at frame " << stopped;
  }
  for (int moving : {1, 2, 3, 7, 8}) {
    EXPECT_EQ(std::count(moved.begin(), moved.end(), moving), 1) << "not animated at frame " << moving;
  }
  // One grab after every rendered frame, stopped or not.
  for (size_t i = 1; i < shell.frameNumberAtRender.size(); ++i)
    EXPECT_EQ(shell.frameNumberAtRender[i], shell.frameNumberAtRender[i - 1] + 1) << "render " << i + 1;
  for (const FrameStep& step : shell.steps) {
    if (step.render > 1) {
      EXPECT_EQ(step.elapsedTime, 6.4f / frames) << "frame " << step.render;
    }
  }
  for (size_t i = 1; i < shell.steps.size(); ++i) EXPECT_GE(shell.steps[i].time, shell.steps[i - 1].time);
}

TEST_F(StopAndStep, SpaceStopsAndThenAdvancesOneFrameByTheRecordingStep) {
  const int frames = 12;
  shell.atRender[3] = [this] { Press(SDLK_SPACE); };
  shell.atRender[6] = [this] {
    EXPECT_FALSE(shell.frameMoving);
    EXPECT_FALSE(shell.singleStep);
    Press(SDLK_SPACE);
  };
  shell.atRender[7] = [this] {
    // The stopped clock reads as its stop time, which the step moved on by 0.1 s.
    EXPECT_EQ(shell.time, FrameTimer(TIMER_GETAPPTIME));
  };
  EXPECT_EQ(CreateAndRun(frames), 0);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_FALSE(shell.frameMoving);
  // The first Space stops the animation and still animates the next frame; the second
  // animates exactly one more.
  EXPECT_EQ(RendersWithFrameMove(shell), (std::vector<int>{1, 2, 3, 4, 7}));
  ASSERT_EQ(shell.steps.size(), 5u);
  EXPECT_EQ(shell.steps[3].elapsedTime, 6.4f / frames);
  EXPECT_EQ(shell.steps[4].elapsedTime, 6.4f / frames) << "the recording step, not the timer's 0.1 s";
  EXPECT_NEAR(shell.steps[4].time - shell.steps[3].time, 0.1f, 1e-5f);
  EXPECT_EQ(shell.renders, frames);
}

using FullscreenSwitch = ShellRun;

TEST_F(FullscreenSwitch, AltEnterResetsIntoFullscreenAndBackWhileRecording) {
  const int frames = 8;
  RECT boundsAtStart{};
  DWORD styleAtStart = 0;
  shell.atRender[1] = [&] {
    boundsAtStart = shell.windowBounds;
    styleAtStart = shell.windowStyle;
  };
  shell.atRender[3] = [this] {
    shell.lifecycle.push_back("-- switch");
    Press(SDLK_RETURN, true);
  };
  shell.atRender[4] = [this] {
    EXPECT_FALSE(shell.windowed);
    EXPECT_FALSE(shell.settings.isWindowed);
    EXPECT_FALSE(shell.presentParameters.Windowed);
    EXPECT_EQ(shell.backBufferDesc.Width, shell.settings.fullscreenDisplayMode.Width);
    EXPECT_EQ(shell.backBufferDesc.Height, shell.settings.fullscreenDisplayMode.Height);
    EXPECT_EQ(DWORD(GetWindowLongA(shell.window, GWL_STYLE)), 0x90080000u);
    EXPECT_TRUE(shell.active);
    shell.lifecycle.push_back("-- switch back");
    Press(SDLK_RETURN, true);
  };
  shell.atRender[5] = [&] {
    EXPECT_TRUE(shell.windowed);
    EXPECT_TRUE(shell.presentParameters.Windowed);
    EXPECT_EQ(shell.backBufferDesc.Width, 64u);
    EXPECT_EQ(shell.backBufferDesc.Height, 48u);
    EXPECT_EQ(DWORD(GetWindowLongA(shell.window, GWL_STYLE)), styleAtStart);
    RECT now{};
    GetWindowRect(shell.window, &now);
    EXPECT_EQ(now.left, boundsAtStart.left);
    EXPECT_EQ(now.top, boundsAtStart.top);
    EXPECT_EQ(now.right, boundsAtStart.right);
    EXPECT_EQ(now.bottom, boundsAtStart.bottom);
  };
  EXPECT_EQ(CreateAndRun(frames), 0);
  EXPECT_TRUE(frameCapture.finished) << "the recording goes on across both switches";
  EXPECT_EQ(shell.renders, frames);
  const Lifecycle expected = {"OneTimeSceneInit",        "InitDeviceObjects",    "RestoreDeviceObjects",
                              "-- switch",               "InvalidateDeviceObjects", "RestoreDeviceObjects",
                              "-- switch back",          "InvalidateDeviceObjects", "RestoreDeviceObjects"};
  EXPECT_EQ(shell.lifecycle, expected);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(pauseCount, 0);
  SendMessageA(shell.window, WM_CLOSE, 0, 0);
}

// Windowed on the reference device after a failed HAL hook, full screen on the HAL: each
// Alt+Enter builds a new device, and the recording reads the screen through the new one
// (in the sanitizer build a grab through the released device is a use after free).
TEST_F(FullscreenSwitch, AltEnterAcrossDeviceTypesRebuildsTheDeviceAndTheCaptureFollowsIt) {
  const int frames = 8;
  shell.failOnCall["RestoreDeviceObjects"] = 1;
  std::vector<bool> captureOnShellDevice;
  for (int render : {3, 5}) shell.atRender[render] = [this] { Press(SDLK_RETURN, true); };
  for (int render : {4, 6}) {
    shell.atRender[render] = [&, render] {
      EXPECT_EQ(shell.windowed, render == 6);
      EXPECT_EQ(shell.settings.CurrentDevice()->deviceType, render == 6 ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL);
      captureOnShellDevice.push_back(frameCapture.device == shell.device);
    };
  }
  EXPECT_EQ(CreateAndRun(frames), 0);
  EXPECT_EQ(captureOnShellDevice, (std::vector<bool>{true, true}));
  EXPECT_TRUE(frameCapture.finished) << "every frame was grabbed across both rebuilds";
  EXPECT_EQ(shell.renders, frames);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 4);
  SendMessageA(shell.window, WM_CLOSE, 0, 0);
}

// With no full-screen settings (none was found) Alt+Enter changes nothing.
TEST_F(FullscreenSwitch, AltEnterWithoutFullscreenSettingsIsRefusedAndTheRecordingGoesOn) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  shell.settings.fullscreenCombination = nullptr;
  shell.lifecycle.clear();
  shell.atRender[2] = [this] { Press(SDLK_RETURN, true); };
  EXPECT_EQ(shell.Run(), 0);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_TRUE(shell.windowed);
  EXPECT_TRUE(shell.lifecycle.empty()) << "no reset, no new device";
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(pauseCount, 0);
  SendMessageA(shell.window, WM_CLOSE, 0, 0);
}

using Minimise = ShellRun;

// Minimising pauses the shell, and the loop then waits for messages: while minimised,
// each message is handled without a frame being rendered or grabbed in between.
// Restoring resumes the recording. A helper thread acts as the user while the loop
// waits; its waits are bounded, they are not timed.
TEST_F(Minimise, MinimisingPausesAndBlocksTheLoopAndRestoringResumes) {
  struct Seen {
    int renders;
    int frameNumber;
    bool active;
  };
  std::mutex mutex;
  std::condition_variable changed;
  bool minimisedSeen = false;
  int keyUps = 0;
  std::vector<Seen> whileMinimised;

  shell.onMessage = [&](UINT message, WPARAM wParam, LPARAM) {
    std::lock_guard lock(mutex);
    if (message == WM_SIZE && wParam == SIZE_MINIMIZED) minimisedSeen = true;
    if (message == WM_KEYUP && shell.minimized) {
      whileMinimised.push_back({shell.renders, frameCapture.frameNumber, shell.active});
      ++keyUps;
    }
    changed.notify_all();
  };
  Configure(10);
  ASSERT_EQ(Create(), S_OK);
  const SDL_Event keyDown = testsupport::KeyEvent(shell.window, SDLK_a, true);
  const SDL_Event keyUp = testsupport::KeyEvent(shell.window, SDLK_a, false);
  const SDL_Event restore = testsupport::WindowEvent(shell.window, SDL_WINDOWEVENT_RESTORED);
  shell.atRender[3] = [this] { WindowEvent(SDL_WINDOWEVENT_MINIMIZED); };

  std::thread user([&] {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return minimisedSeen; });
    for (int i = 1; i <= 3; ++i) {
      lock.unlock();
      win32ext::InjectInput(keyDown);
      win32ext::InjectInput(keyUp);
      lock.lock();
      changed.wait_for(lock, std::chrono::seconds(10), [&] { return keyUps >= i; });
    }
    lock.unlock();
    win32ext::InjectInput(restore);
  });
  int result = shell.Run();
  user.join();

  EXPECT_EQ(result, 0);
  ASSERT_TRUE(minimisedSeen);
  ASSERT_EQ(whileMinimised.size(), 3u);
  for (const Seen& seen : whileMinimised) {
    EXPECT_FALSE(seen.active);
    EXPECT_EQ(seen.renders, 3) << "rendered while minimised";
    EXPECT_EQ(seen.frameNumber, whileMinimised[0].frameNumber) << "grabbed between messages while minimised";
  }
  EXPECT_FALSE(shell.minimized);
  EXPECT_TRUE(frameCapture.finished) << "the recording resumed after the restore";
  EXPECT_GT(shell.renders, 3);
  EXPECT_EQ(shell.Count("InvalidateDeviceObjects"), 0) << "a windowed device is not reset by minimising";
  EXPECT_EQ(pauseCount, 0);
  SendMessageA(shell.window, WM_CLOSE, 0, 0);
}

}  // namespace
}  // namespace apptest
