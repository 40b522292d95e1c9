// Terminal progress of the movie writer, redrawn at most a few times a second.
#include "progress_line.h"

#include <stdio.h>
#include <time.h>
#include <unistd.h>

namespace avi2 {
namespace {

constexpr double kRedrawSeconds = 0.25;

double Seconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

// The first redraw waits a moment, so that the rate has a time to be measured over.
ProgressLine::ProgressLine()
    : enabled_(isatty(STDERR_FILENO) == 1), start_(Seconds()), lastShown_(start_) {}

void ProgressLine::Update(uint32_t frames, uint64_t bytes) {
  if (!enabled_) return;
  const double now = Seconds();
  if (now - lastShown_ < kRedrawSeconds) return;
  Show(frames, bytes, now, "");
}

void ProgressLine::Clear() {
  if (!enabled_) return;
  fputs("\r\033[K", stderr);
}

void ProgressLine::Finish(uint32_t frames, uint64_t bytes) {
  if (enabled_) Show(frames, bytes, Seconds(), "\n");
}

void ProgressLine::Show(uint32_t frames, uint64_t bytes, double now, const char* end) {
  lastShown_ = now;
  const double elapsed = now - start_;
  const double fps = elapsed > 0 ? frames / elapsed : 0.0;
  fprintf(stderr, "\rAVI2: %u frames, %.1f MB, %.1f fps\033[K%s", frames,
          static_cast<double>(bytes) / 1e6, fps, end);
  fflush(stderr);
}

}  // namespace avi2
