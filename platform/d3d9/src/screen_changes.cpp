// Numbering of screen images and the rectangles of their latest changes.
#include "screen_changes.h"

#include <atomic>

namespace d3d9impl {
namespace {

uint64_t NextSerial() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace

void ScreenChanges::Reset() {
  serial_ = firstKnown_ = NextSerial();
  oldest_ = count_ = 0;
}

void ScreenChanges::Add(const RECT& changed) {
  if (count_ == kKept) {
    firstKnown_ = kept_[oldest_].serial;
    oldest_ = (oldest_ + 1) % kKept;
    --count_;
  }
  serial_ = NextSerial();
  kept_[(oldest_ + count_) % kKept] = {serial_, changed};
  ++count_;
}

}  // namespace d3d9impl
