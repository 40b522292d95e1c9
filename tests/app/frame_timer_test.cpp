// FrameTimer, the process's one clock: stopping and starting, the single step, reset,
// and unknown commands. Wall time is never asserted: expectations come from the
// clock the timer reads, taken around the step under test.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "frame_timer.h"

namespace {

// Seconds of float rounding allowed when two readings are compared.
constexpr float kRounding = 1e-5f;

// The clock the timer reads (the high-resolution counter is the monotonic clock), in
// double precision: bounds taken from it are not coarsened by a float's rounding.
double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Lets the clock move on by at least `seconds` without sleeping much longer.
void LetTimePass(double seconds) {
  double start = Now();
  while (Now() - start < seconds) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

TEST(FrameTimerTest, AStoppedClockReadsAsItsStopTime) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  LetTimePass(0.01);
  EXPECT_EQ(FrameTimer(TIMER_GETAPPTIME), stoppedAt);
  EXPECT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.0f) << "the stop itself was the last elapsed-time mark";
  EXPECT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.0f);
}

TEST(FrameTimerTest, StartContinuesApplicationTimeWithoutTheStoppedInterval) {
  FrameTimer(TIMER_START);
  LetTimePass(0.002);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  LetTimePass(0.05);
  double beforeStart = Now();
  FrameTimer(TIMER_START);
  float elapsed = FrameTimer(TIMER_GETELAPSEDTIME);
  float appTime = FrameTimer(TIMER_GETAPPTIME);
  float runningFor = float(Now() - beforeStart);
  EXPECT_GE(appTime, stoppedAt - kRounding);
  EXPECT_LE(appTime - stoppedAt, runningFor + kRounding) << "the stopped interval was counted";
  EXPECT_GE(elapsed, 0.0f);
  EXPECT_LE(elapsed, runningFor + kRounding) << "the first step after the start covers only the time since it";
}

TEST(FrameTimerTest, StopAdvanceGivesOneTenthOnceThenNothing) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  EXPECT_EQ(FrameTimer(TIMER_ADVANCE), 0.0f);
  EXPECT_FLOAT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.1f);
  EXPECT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.0f);
  EXPECT_NEAR(FrameTimer(TIMER_GETAPPTIME) - stoppedAt, 0.1f, kRounding);
  FrameTimer(TIMER_ADVANCE);
  FrameTimer(TIMER_ADVANCE);
  EXPECT_FLOAT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.2f);
  EXPECT_NEAR(FrameTimer(TIMER_GETAPPTIME) - stoppedAt, 0.3f, kRounding);
}

TEST(FrameTimerTest, TheAdvancedTimeIsKeptWhenTheClockStartsAgain) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  FrameTimer(TIMER_ADVANCE);
  double beforeStart = Now();
  FrameTimer(TIMER_START);
  float appTime = FrameTimer(TIMER_GETAPPTIME);
  float runningFor = float(Now() - beforeStart);
  // Starting from the advanced stop time shifts the base by less than the real stop,
  // so application time is ahead by the tenth.
  EXPECT_GE(appTime - stoppedAt, 0.1f - kRounding);
  EXPECT_LE(appTime - stoppedAt, 0.1f + runningFor + kRounding);
}

TEST(FrameTimerTest, ASecondStopKeepsTheFirstStopTime) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  LetTimePass(0.01);
  EXPECT_EQ(FrameTimer(TIMER_STOP), 0.0f);
  EXPECT_EQ(FrameTimer(TIMER_GETAPPTIME), stoppedAt);
}

TEST(FrameTimerTest, UnknownCommandsReturnMinusOneAndChangeNothing) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  float stoppedAt = FrameTimer(TIMER_GETAPPTIME);
  LetTimePass(0.005);
  for (int command : {-1, 7, 8, 100, 0x7FFFFFFF}) {
    SCOPED_TRACE(command);
    EXPECT_EQ(FrameTimer(command), -1.0f);
  }
  EXPECT_EQ(FrameTimer(TIMER_GETAPPTIME), stoppedAt) << "an unknown command moved or started the clock";
  EXPECT_EQ(FrameTimer(TIMER_GETELAPSEDTIME), 0.0f);
}

TEST(FrameTimerTest, ResetStartsApplicationTimeAtZeroAndRunsTheClock) {
  FrameTimer(TIMER_START);
  LetTimePass(0.002);
  FrameTimer(TIMER_STOP);
  double beforeReset = Now();
  EXPECT_EQ(FrameTimer(TIMER_RESET), 0.0f);
  float appTime = FrameTimer(TIMER_GETAPPTIME);
  float since = float(Now() - beforeReset);
  EXPECT_GE(appTime, 0.0f);
  EXPECT_LE(appTime, since + kRounding);
  // Running again: a later read is later.
  LetTimePass(0.002);
  EXPECT_GT(FrameTimer(TIMER_GETAPPTIME), appTime);
}

TEST(FrameTimerTest, TheFirstStartBeginsApplicationTimeAtZeroEvenAfterAnEarlyStop) {
  EXPECT_EQ(FrameTimer(TIMER_STOP), 0.0f);  // before any start: nothing happens
  double beforeStart = Now();
  EXPECT_EQ(FrameTimer(TIMER_START), 0.0f);
  float appTime = FrameTimer(TIMER_GETAPPTIME);
  float since = float(Now() - beforeStart);
  EXPECT_GE(appTime, 0.0f);
  EXPECT_LE(appTime, since + kRounding);
}

TEST(FrameTimerTest, AbsoluteTimeIsTheMonotonicClockInSeconds) {
  double low = Now();
  float absolute = FrameTimer(TIMER_GETABSOLUTETIME);
  double high = Now();
  // Two units in the last place of a float this size.
  double slack = high * 2.4e-7;
  EXPECT_GE(absolute, low - slack);
  EXPECT_LE(absolute, high + slack);
}

TEST(FrameTimerTest, TheAbsoluteTimeIgnoresAStoppedClock) {
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
  LetTimePass(0.05);
  double before = Now();
  float absolute = FrameTimer(TIMER_GETABSOLUTETIME);
  EXPECT_GE(double(absolute), before - before * 2.4e-7) << "read as the stop time";
}

}  // namespace
