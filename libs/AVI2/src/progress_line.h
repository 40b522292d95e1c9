// One updating line on standard error while a movie is written: frames, megabytes and
// frames per second. Shown only when standard error is a terminal.
#pragma once

#include <cstdint>

#include "terminal_progress.h"

namespace avi2 {

class ProgressLine {
 public:
  ProgressLine();
  void Update(uint32_t frames, uint64_t bytes);
  // Erases the line so that a message can take its place.
  void Clear();
  // Shows the final figures and ends the line.
  void Finish(uint32_t frames, uint64_t bytes);

 private:
  terminal::ProgressLine line_;
};

}  // namespace avi2
