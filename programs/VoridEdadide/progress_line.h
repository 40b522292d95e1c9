// The converter's progress on a terminal: one line on standard error, redrawn a few
// times a second, "frame 12 of 64, 1.3 MB".
#pragma once

#include <string>

#include "conversion.h"
#include "terminal_progress.h"

namespace convert {

// "frame 12 of 64, 1.3 MB": what both progress displays say.
std::string ProgressText(const Progress& progress);

class ProgressLine {
 public:
  explicit ProgressLine(bool enabled);
  // Redraws the line when due, and always for the last frame, so that the line ends on
  // the final figures.
  void Update(const Progress& progress);
  // Erases the line so that a message can take its place.
  void Clear();

 private:
  terminal::ProgressLine line_;
};

}  // namespace convert
