// The shared progress line as standard error receives it: "\rNAME: text\033[K", redrawn
// only when due, erased only once shown, and nothing at all when not on a terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "terminal_progress.h"

namespace {

// Everything written to standard error while it lives.
class CapturedStderr {
 public:
  CapturedStderr() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) {
    fflush(stderr);
    dup2(fileno(file_), STDERR_FILENO);
  }
  ~CapturedStderr() {
    Restore();
    std::fclose(file_);
  }
  std::string Text() {
    Restore();
    std::string text;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) text += char(c);
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  FILE* file_;
  int saved_;
};

constexpr double kHour = 3600;  // an interval no test waits out

TEST(TerminalProgress, RedrawsInPlaceWhenDueAndErasesWhatItShowed) {
  CapturedStderr captured;
  terminal::ProgressLine line("job", true, kHour, false);
  EXPECT_TRUE(line.Due());  // the first redraw does not wait
  line.Show("1 of 3");
  EXPECT_FALSE(line.Due());
  line.Show("3 of 3", "\n");  // shown on request, due or not
  line.Clear();
  EXPECT_EQ(captured.Text(), "\rjob: 1 of 3\033[K\rjob: 3 of 3\033[K\n\r\033[K");
}

TEST(TerminalProgress, FirstRedrawCanWaitAnInterval) {
  CapturedStderr captured;
  terminal::ProgressLine waits("job", true, kHour, true);
  EXPECT_FALSE(waits.Due());
  EXPECT_GE(waits.Elapsed(), 0.0);
  terminal::ProgressLine everyTime("job", true, 0, true);
  EXPECT_TRUE(everyTime.Due());
  EXPECT_EQ(captured.Text(), "");

  // Not shown yet and not waiting: there is nothing to erase.
  CapturedStderr again;
  terminal::ProgressLine fresh("job", true, kHour, false);
  fresh.Clear();
  EXPECT_EQ(again.Text(), "");
}

TEST(TerminalProgress, OffTheTerminalItIsSilent) {
  CapturedStderr captured;
  terminal::ProgressLine line("job", false, 0, false);
  EXPECT_FALSE(line.Due());
  line.Show("1 of 3");
  line.Show("3 of 3", "\n");
  line.Clear();
  EXPECT_EQ(captured.Text(), "");
}

}  // namespace
