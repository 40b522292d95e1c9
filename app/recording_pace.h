// The pace of a recording beyond the loop that runs as fast as it can: the live pace
// draws a frame no sooner than its time at the movie's 10 frames a second, so that the
// window shows the movie at its speed and the mouse can steer it; either chosen pace
// counts the frames on standard error. Unchosen, it does nothing at all.
#pragma once

#include <cstdint>

#include "windows.h"

class RecordingPace {
 public:
  enum Kind : uint32_t { Unchosen = 0, Fast = 1, Live = 2 };

  // A kind the program does not know counts as unchosen.
  void Choose(uint32_t kind) { kind_ = kind <= Live ? Kind(kind) : Unchosen; }
  Kind kind() const { return kind_; }

  // Milliseconds until frame `number` (from 1) is due; 0 when it is, or without the live
  // pace. Frame 1 is due at once and starts the clock.
  DWORD WaitBefore(int32_t number);
  // Writes "frame N of M" on standard error.
  void Count(int32_t number, int32_t count) const;

 private:
  Kind kind_ = Unchosen;
  int64_t startTicks_ = 0;
  int64_t ticksPerSecond_ = 0;
};
