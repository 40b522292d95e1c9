// The progress line's timing and terminal codes.
#include "terminal_progress.h"

#include <stdio.h>
#include <time.h>

#include <utility>

namespace terminal {
namespace {

double Seconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

ProgressLine::ProgressLine(std::string name, bool enabled, double interval, bool firstWaits)
    : name_(std::move(name)), enabled_(enabled), interval_(interval), start_(Seconds()),
      lastShown_(firstWaits ? start_ : -1) {}

bool ProgressLine::Due() const { return enabled_ && (lastShown_ < 0 || Seconds() - lastShown_ >= interval_); }

double ProgressLine::Elapsed() const { return Seconds() - start_; }

void ProgressLine::Show(const std::string& text, const char* end) {
  if (!enabled_) return;
  lastShown_ = Seconds();
  fprintf(stderr, "\r%s: %s\033[K%s", name_.c_str(), text.c_str(), end);
  fflush(stderr);
}

void ProgressLine::Clear() {
  if (enabled_ && lastShown_ >= 0) fputs("\r\033[K", stderr);
}

}  // namespace terminal
