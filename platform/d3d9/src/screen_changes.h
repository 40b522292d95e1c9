// The changes of a screen image, numbered, with the rectangles of the last few: a
// reader that copied the image at a known number copies only what changed since.
#pragma once

#include <array>
#include <cstdint>

#include "windows.h"

namespace d3d9impl {

class ScreenChanges {
 public:
  ScreenChanges() { Reset(); }
  // The image was replaced as a whole: no earlier copy of it is of use.
  void Reset();
  void Add(const RECT& changed);
  // The number of the image as it is now. Numbers are unique over all screens and
  // never 0, so a copy of one screen never passes for a copy of another.
  uint64_t Serial() const { return serial_; }

  // Calls copy(rect) for every rectangle changed after the image numbered `since`, and
  // returns true; returns false, calling nothing, when those changes are not all known
  // (an older image, or one of another screen).
  template <class Copy>
  bool ForEachSince(uint64_t since, Copy copy) const {
    size_t first = 0;
    if (since != firstKnown_) {
      while (first < count_ && Entry(first).serial != since) ++first;
      if (first == count_) return false;
      ++first;
    }
    for (size_t i = first; i < count_; ++i) copy(Entry(i).rect);
    return true;
  }

 private:
  static constexpr size_t kKept = 16;
  struct Change {
    uint64_t serial;  // the image's number after the change
    RECT rect;
  };
  const Change& Entry(size_t i) const { return kept_[(oldest_ + i) % kKept]; }

  std::array<Change, kKept> kept_{};
  size_t oldest_ = 0;
  size_t count_ = 0;
  uint64_t firstKnown_ = 0;  // the image before the oldest kept change
  uint64_t serial_ = 0;
};

}  // namespace d3d9impl
