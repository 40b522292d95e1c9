// One line of progress on standard error that a long job redraws in place,
// "NAME: text", for the movie writer and the converter. It keeps the timing and the
// terminal codes; each caller says what the line says.
#pragma once

#include <string>

namespace terminal {

class ProgressLine {
 public:
  // Shown only when `enabled` (standard error is a terminal); redrawn at most every
  // `interval` seconds. With `firstWaits` the first redraw waits an interval too, so that
  // a rate has a time to be measured over.
  ProgressLine(std::string name, bool enabled, double interval, bool firstWaits);

  // Whether a redraw is due: shown, and the interval has passed since the last one.
  bool Due() const;
  // Seconds since the line was made.
  double Elapsed() const;
  // Redraws the line with `text` now; `end` follows it ("\n" ends the line).
  void Show(const std::string& text, const char* end = "");
  // Erases a shown line so that a message can take its place.
  void Clear();

 private:
  std::string name_;
  bool enabled_;
  double interval_;
  double start_;
  double lastShown_;  // negative before the first redraw when that need not wait
};

}  // namespace terminal
