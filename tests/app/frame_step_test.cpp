// The frame loop while recording: the fixed recording step, a lost device, scene hooks
// that fail in the middle of a recording, and a close that is asked for again while it
// runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "d3d9ext.h"
#include "frame_capture.h"
#include "frame_timer.h"
#include "shell_harness.h"

namespace apptest {
namespace {

namespace fs = std::filesystem;

const char kMustExit[] = "\n\nThis program will now exit.";

// Spins until the absolute clock has moved on by `seconds`, so that a frame takes long.
void TakeAtLeast(double seconds) {
  auto start = std::chrono::steady_clock::now();
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
  }
}

class FixedStep : public ShellRun, public ::testing::WithParamInterface<int> {};

TEST_P(FixedStep, EveryFrameAfterTheFirstAdvancesByTheRecordingStepHoweverLongItTook) {
  const int frames = GetParam();
  shell.atRender[2] = [] { TakeAtLeast(0.03); };
  EXPECT_EQ(CreateAndRun(frames), 0);
  EXPECT_TRUE(frameCapture.finished);
  ASSERT_EQ(shell.steps.size(), size_t(frames));
  EXPECT_EQ(shell.steps[0].render, 1);
  for (size_t i = 1; i < shell.steps.size(); ++i) {
    EXPECT_EQ(shell.steps[i].elapsedTime, 6.4f / float(frames)) << "frame " << i + 1;
    EXPECT_GT(shell.steps[i].time, shell.steps[i - 1].time) << "frame " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(FrameCounts, FixedStep, ::testing::Values(2, 3, 7));

// A seamless loop starts from no step at all, whatever the clock says, then turns by its
// turns over the frame count after every grab.
TEST_F(FixedStep, ALoopStartsWithoutAStepAndThenTurnsByItsTurnsOverTheFrames) {
  const int frames = 24;
  shell.loopTurns = 3;
  shell.atRender[1] = [] { TakeAtLeast(0.03); };
  EXPECT_EQ(CreateAndRun(frames), 0);
  ASSERT_EQ(shell.steps.size(), size_t(frames));
  EXPECT_EQ(shell.steps[0].elapsedTime, 0.0f);
  for (size_t i = 1; i < shell.steps.size(); ++i)
    EXPECT_EQ(shell.steps[i].elapsedTime, float(2 * M_PI * 3 / frames)) << "frame " << i + 1;
}

using Recording = ShellRun;

TEST_F(Recording, AOneFrameRecordingHandsOverTwoFramesAndKeepsTheLastFile) {
  EXPECT_EQ(CreateAndRun(1), 0);
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_EQ(shell.renders, 2);
  EXPECT_GT(fs::file_size("movie.avi"), 0u);
  EXPECT_FALSE(fs::exists("BMP/Vesk001.bmp"));
  EXPECT_TRUE(fs::exists("BMP/Vesk002.bmp"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Recording, ALostDeviceIsResetAndTheRecordingResumes) {
  const int frames = 8;
  shell.atRender[3] = [this] {
    shell.lifecycle.push_back("-- lost");
    d3d9ext::ForceDeviceLoss(shell.device);
  };
  EXPECT_EQ(CreateAndRun(frames), 0);
  for (const auto& box : boxes) ADD_FAILURE() << "message box: " << box.text;
  EXPECT_TRUE(frameCapture.finished);
  EXPECT_FALSE(shell.deviceLost);
  EXPECT_GT(shell.renders, 3);
  const std::vector<std::string> expected = {"OneTimeSceneInit", "InitDeviceObjects", "RestoreDeviceObjects",
                                             "-- lost", "InvalidateDeviceObjects", "RestoreDeviceObjects"};
  EXPECT_EQ(shell.lifecycle, expected);
}

using FailingHook = ShellRun;

TEST_F(FailingHook, AFailingRenderClosesTheWindowAndEndsTheRun) {
  shell.failOnCall["Render"] = 3;
  EXPECT_EQ(CreateAndRun(20), kExitNoMovie);
  EXPECT_EQ(shell.renders, 3);
  EXPECT_FALSE(frameCapture.finished);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FailingHook, AFailingFrameMoveClosesBeforeRendering) {
  shell.failOnCall["FrameMove"] = 2;
  EXPECT_EQ(CreateAndRun(20), kExitNoMovie);
  EXPECT_EQ(shell.renders, 1);
  EXPECT_FALSE(frameCapture.finished);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
}

TEST_F(FailingHook, ARestoreThatFailsAfterTheFullscreenResetShowsTheMustExitMessageAndCloses) {
  shell.failOnCall["RestoreDeviceObjects"] = 2;  // the first call is the device's creation
  shell.atRender[2] = [this] { Press(SDLK_RETURN, true); };
  EXPECT_EQ(CreateAndRun(20), kExitNoMovie);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("Could not reset the Direct3D device.") + kMustExit);
  EXPECT_EQ(boxes[0].caption, "D3D9 Application");
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_TRUE(fatalErrorShown);
  EXPECT_EQ(shell.renders, 2);
  EXPECT_FALSE(frameCapture.finished);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
  // The failed restore is undone once, and the device's objects are deleted once.
  EXPECT_EQ(shell.Count("InvalidateDeviceObjects"), 2);
  EXPECT_EQ(shell.Count("DeleteDeviceObjects"), 1);
}

using CloseSequence = ShellRun;

// A reference the scene forgot makes the device's release report a remaining count;
// its must-exit message asks for the close again while the close runs. That second
// request must release nothing: the device, the Direct3D object and the scene are let
// go exactly once, which the references this test keeps show.
TEST_F(CloseSequence, AMustExitMessageDuringTheCloseReleasesNothingTwice) {
  IDirect3DDevice9* device = nullptr;
  IDirect3D9* direct3D = nullptr;
  shell.atRender[2] = [&] {
    device = shell.device;
    direct3D = shell.direct3D;
    device->AddRef();
    direct3D->AddRef();
    Press(SDLK_ESCAPE);
  };
  EXPECT_EQ(CreateAndRun(20), kExitNoMovie);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            std::string("A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).") +
                kMustExit);
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_TRUE(fatalErrorShown);
  EXPECT_EQ(shell.Count("InvalidateDeviceObjects"), 1);
  EXPECT_EQ(shell.Count("DeleteDeviceObjects"), 1);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.direct3D, nullptr);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Release(), 0u) << "the shell let go of the device other than once";
  EXPECT_EQ(direct3D->Release(), 0u) << "the shell let go of the Direct3D object other than once";
}

TEST_F(CloseSequence, ASecondCloseAfterTheWindowIsGoneChangesNothing) {
  shell.atRender[2] = [this] { Press(SDLK_ESCAPE); };
  EXPECT_EQ(CreateAndRun(20), 0);
  ASSERT_EQ(shell.Count("FinalCleanup"), 1);
  shell.MsgProc(nullptr, WM_CLOSE, 0, 0);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
  EXPECT_EQ(shell.Count("DeleteDeviceObjects"), 1);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace apptest
