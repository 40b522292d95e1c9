// Terminal progress of a conversion.
#include "progress_line.h"

#include <stdio.h>
#include <time.h>

namespace convert {

std::string ProgressText(const Progress& progress) {
  char text[96];
  snprintf(text, sizeof text, "frame %lld of %lld, %.1f MB", static_cast<long long>(progress.done),
           static_cast<long long>(progress.total), static_cast<double>(progress.bytes) / 1e6);
  return text;
}

void ProgressLine::Update(const Progress& progress) {
  if (!enabled_) return;
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  // The last frame is always shown, so the line ends on the final figures.
  if (progress.done != progress.total && lastShown_ >= 0 && seconds - lastShown_ < 0.2) return;
  lastShown_ = seconds;
  fprintf(stderr, "\rVoridEdadide: %s\033[K", ProgressText(progress).c_str());
  fflush(stderr);
}

void ProgressLine::Clear() {
  if (enabled_ && lastShown_ >= 0) fputs("\r\033[K", stderr);
}

}  // namespace convert
