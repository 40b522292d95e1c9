// The frame timer: the high-resolution counter when the platform has one, else the
// millisecond clock. A stopped clock reads as its stop time.
#include "frame_timer.h"

#include <cstdint>

#include "windows.h"

namespace {

struct TimerState {
  bool initialized = false;
  bool useCounter = false;
  int64_t ticksPerSecond = 0;
  // Counter mode keeps ticks in the integers, clock mode seconds in the doubles.
  int64_t baseTicks = 0, lastElapsedTicks = 0, stopTicks = 0;
  double baseSeconds = 0, lastElapsedSeconds = 0, stopSeconds = 0;
  bool timerStopped = true;
};

TimerState timer;

void Initialize() {
  timer.initialized = true;
  LARGE_INTEGER frequency{};
  timer.useCounter = QueryPerformanceFrequency(&frequency) != 0;
  if (timer.useCounter) timer.ticksPerSecond = frequency.QuadPart;
}

// Runs one command on a clock whose time values have type T, in units of `perSecond`.
template <class T>
float Command(int command, T& base, T& lastElapsed, T& stop, T now, double perSecond, T tenth) {
  if (stop != 0 && command != TIMER_START && command != TIMER_GETABSOLUTETIME) now = stop;
  switch (command) {
    case TIMER_GETELAPSEDTIME: {
      double elapsed = double(now - lastElapsed) / perSecond;
      lastElapsed = now;
      return float(elapsed);
    }
    case TIMER_GETAPPTIME: return float(double(now - base) / perSecond);
    case TIMER_RESET:
      base = lastElapsed = now;
      stop = 0;
      timer.timerStopped = false;
      return 0.0f;
    case TIMER_START:
      if (timer.timerStopped) base += now - stop;
      stop = 0;
      lastElapsed = now;
      timer.timerStopped = false;
      return 0.0f;
    case TIMER_STOP:
      if (!timer.timerStopped) {
        stop = lastElapsed = now;
        timer.timerStopped = true;
      }
      return 0.0f;
    case TIMER_ADVANCE:
      stop += tenth;
      return 0.0f;
    case TIMER_GETABSOLUTETIME: return float(double(now) / perSecond);
    default: return -1.0f;
  }
}

}  // namespace

float FrameTimer(int command) {
  if (!timer.initialized) Initialize();
  if (timer.useCounter) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return Command<int64_t>(command, timer.baseTicks, timer.lastElapsedTicks, timer.stopTicks, now.QuadPart,
                            double(timer.ticksPerSecond), timer.ticksPerSecond / 10);
  }
  double now = double(timeGetTime()) * 0.001;
  return Command<double>(command, timer.baseSeconds, timer.lastElapsedSeconds, timer.stopSeconds, now, 1.0,
                         double(0.1f));
}
