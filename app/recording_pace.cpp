// The live pace's clock and the frame count of a chosen pace.
#include "recording_pace.h"

#include <cstdio>

namespace {

// The movie's rate: the writer's 1000000 / 100000.
constexpr int64_t kFramesPerSecond = 10;

int64_t Ticks() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

DWORD RecordingPace::WaitBefore(int32_t number) {
  if (kind_ != Live || number < 1) return 0;
  if (number == 1 || ticksPerSecond_ == 0) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    startTicks_ = Ticks();
    return 0;
  }
  int64_t due = startTicks_ + (int64_t(number) - 1) * ticksPerSecond_ / kFramesPerSecond;
  int64_t left = due - Ticks();
  if (left <= 0) return 0;
  // Rounded up, so that a wait never ends just before the frame is due.
  return DWORD((left * 1000 + ticksPerSecond_ - 1) / ticksPerSecond_);
}

void RecordingPace::Count(int32_t number, int32_t count) const {
  if (kind_ != Unchosen) std::fprintf(stderr, "vesk: frame %d of %d\n", number, count);
}
