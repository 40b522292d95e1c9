// Pause: the process-wide counter, the active flag and the frame timer it stops and
// starts, including the messages that pause and an unbalanced resume.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app_shell.h"
#include "frame_timer.h"

namespace {

// Lets 3 ms of the clock pass.
void LetTimePass() {
  auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(3))
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

bool ClockStopped() {
  float before = FrameTimer(TIMER_GETAPPTIME);
  LetTimePass();
  return FrameTimer(TIMER_GETAPPTIME) == before;
}

TEST(PauseTest, ANewShellIsPausedAndTheFirstResumeActivatesItAndStartsTheClock) {
  AppShell shell;
  EXPECT_EQ(pauseCount, 1);
  EXPECT_FALSE(shell.active);
  EXPECT_EQ(theApp, &shell);
  shell.Pause(false);
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(shell.active);
  EXPECT_FALSE(ClockStopped());
}

TEST(PauseTest, NestedPausesStopTheClockOnceAndResumeOnlyWhenBalanced) {
  AppShell shell;
  shell.Pause(false);
  shell.Pause(true);
  EXPECT_FALSE(shell.active);
  EXPECT_TRUE(ClockStopped());
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  shell.Pause(true);
  EXPECT_EQ(pauseCount, 2);
  shell.Pause(false);
  EXPECT_EQ(pauseCount, 1);
  EXPECT_FALSE(shell.active);
  EXPECT_TRUE(ClockStopped());
  EXPECT_EQ(FrameTimer(TIMER_GETAPPTIME), stoppedAt) << "the inner pause moved the stop time";
  shell.Pause(false);
  EXPECT_TRUE(shell.active);
  EXPECT_FALSE(ClockStopped());
}

TEST(PauseTest, WithTheAnimationStoppedPausingLeavesTheClockAlone) {
  AppShell shell;
  shell.Pause(false);
  shell.frameMoving = false;
  FrameTimer(TIMER_STOP);
  shell.Pause(true);
  shell.Pause(false);
  EXPECT_TRUE(shell.active);
  EXPECT_TRUE(ClockStopped()) << "resuming started the clock of a stopped animation";
}

TEST(PauseTest, AnUnbalancedResumeLeavesTheShellInactiveUntilBalanced) {
  AppShell shell;
  shell.Pause(false);
  shell.Pause(false);
  EXPECT_EQ(pauseCount, -1);
  EXPECT_FALSE(shell.active);
  shell.Pause(true);
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(shell.active);
}

TEST(PauseTest, TheCounterIsSharedByEveryShell) {
  AppShell first;
  first.Pause(false);
  AppShell second;  // constructed paused: the shared count is 1 again
  EXPECT_EQ(pauseCount, 1);
  EXPECT_FALSE(second.active);
  EXPECT_EQ(theApp, &second);
  second.Pause(false);
  EXPECT_TRUE(second.active);
}

TEST(PauseTest, MenuAndSizeMoveLoopsPauseWhileTheyLast) {
  AppShell shell;
  shell.Pause(false);
  struct Step {
    UINT message;
    int32_t count;
  };
  const Step steps[] = {{WM_ENTERMENULOOP, 1}, {WM_ENTERSIZEMOVE, 2}, {WM_EXITSIZEMOVE, 1}, {WM_EXITMENULOOP, 0}};
  for (const Step& step : steps) {
    shell.MsgProc(nullptr, step.message, 0, 0);
    EXPECT_EQ(pauseCount, step.count) << std::hex << step.message;
    EXPECT_EQ(shell.active, step.count == 0);
  }
}

TEST(PauseTest, EnterAndSpaceCommandsDriveTheClock) {
  AppShell shell;
  shell.Pause(false);
  shell.MsgProc(nullptr, WM_COMMAND, 40004, 0);  // Enter: stop
  EXPECT_FALSE(shell.frameMoving);
  EXPECT_TRUE(ClockStopped());
  shell.MsgProc(nullptr, WM_COMMAND, 40004, 0);  // Enter: go
  EXPECT_TRUE(shell.frameMoving);
  EXPECT_FALSE(ClockStopped());
  shell.MsgProc(nullptr, WM_COMMAND, 40005, 0);  // Space while moving: stop, one step due
  EXPECT_FALSE(shell.frameMoving);
  EXPECT_TRUE(shell.singleStep);
  EXPECT_TRUE(ClockStopped());
  FrameTimer(TIMER_GETELAPSEDTIME);
  shell.singleStep = false;
  shell.MsgProc(nullptr, WM_COMMAND, 40005, 0);  // Space while stopped: a tenth more
  EXPECT_TRUE(shell.singleStep);
  EXPECT_FLOAT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.1f);
  EXPECT_TRUE(ClockStopped());
}

}  // namespace
