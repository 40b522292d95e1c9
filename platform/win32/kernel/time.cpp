// Time: the performance counter is CLOCK_MONOTONIC in nanoseconds, timeGetTime its
// millisecond count truncated to 32 bits (so it wraps after about 49.7 days), and Sleep
// suspends the calling thread.
#include <errno.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

#include "windows.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

int64_t MonotonicNanoseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

}  // namespace

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (frequency == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  frequency->QuadPart = kNanosecondsPerSecond;
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (count == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  count->QuadPart = MonotonicNanoseconds();
  return TRUE;
}

DWORD timeGetTime() { return static_cast<DWORD>(MonotonicNanoseconds() / 1000000); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();  // give up the rest of the time slice, as Sleep(0) does
    return;
  }
  if (milliseconds == 0xFFFFFFFFu) {
    for (;;) pause();  // INFINITE: never returns, as on Win32
  }
  // An absolute deadline on the monotonic clock makes a restart after a signal sleep
  // only the remainder.
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
  if (deadline.tv_nsec >= kNanosecondsPerSecond) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= kNanosecondsPerSecond;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}
