// The performance counter and timeGetTime: frequency, monotonic counting, agreement of
// the two clocks, and that Sleep waits at least as asked. No upper bound is asserted.
#include <gtest/gtest.h>

#include "windows.h"

namespace {

TEST(Time, CounterIsMonotonicNanoseconds) {
  LARGE_INTEGER frequency{}, before{}, after{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000000);
  EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
  EXPECT_FALSE(QueryPerformanceCounter(nullptr));

  ASSERT_TRUE(QueryPerformanceCounter(&before));
  DWORD milliseconds = timeGetTime();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    ASSERT_GE(after.QuadPart, before.QuadPart);
  }
  // timeGetTime read between the two counter readings, counted modulo 2^32.
  DWORD low = static_cast<DWORD>(before.QuadPart / 1000000);
  DWORD high = static_cast<DWORD>(after.QuadPart / 1000000);
  EXPECT_LE(static_cast<DWORD>(milliseconds - low), static_cast<DWORD>(high - low));
}

TEST(Time, SleepWaitsAtLeastTheTimeAsked) {
  LARGE_INTEGER before{}, after{};
  QueryPerformanceCounter(&before);
  Sleep(20);
  QueryPerformanceCounter(&after);
  EXPECT_GE(after.QuadPart - before.QuadPart, 20 * 1000000);
  Sleep(0);  // yields and returns
}

}  // namespace
