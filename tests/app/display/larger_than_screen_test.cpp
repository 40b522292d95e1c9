// The whole program on a private X display of 1280x1024 asked for a 1600x1200 window:
// the screen image grows to contain the window, so every frame is recorded whole (the
// part beyond the screen included) and the program ends with status 0 and no message.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "command_output.h"
#include "file_text.h"
#include "scratch_dir.h"

namespace {

using testsupport::CommandOutput;

constexpr int kWidth = 1600, kHeight = 1200, kFrames = 3;
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

int RunVesk(const testsupport::ScratchDir& work) {
  pid_t child = fork();
  if (child == 0) {
    if (chdir(work.path().c_str()) != 0) _exit(126);
    if (!freopen((work / "stderr").c_str(), "w", stderr)) _exit(126);
    setenv("VESK_HEADLESS", "0", 1);
    execl(VESK_PROGRAM, VESK_PROGRAM, "--no-dialog", "-s", "1600x1200", "-n", "3", "-o", "big.avi", nullptr);
    _exit(127);
  }
  // A message box would wait for an answer: after a minute the program is stopped.
  int status = -1;
  for (int tenths = 0; tenths < 600; ++tenths) {
    if (waitpid(child, &status, WNOHANG) == child) return status;
    usleep(100000);
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return status;
}

// How many pixels of the rectangle are not (nearly) black in an RGB24 frame.
size_t LitPixels(const std::string& frame, int left, int top, int right, int bottom) {
  size_t lit = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(frame.data()) + (size_t(y) * kWidth + x) * 3;
      if (p[0] + p[1] + p[2] > 96) ++lit;
    }
  }
  return lit;
}

TEST(LargerThanTheScreen, IsRecordedWholeAndEndsWithStatusZero) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "runs inside xvfb-run";
  ASSERT_EQ(CommandOutput("xdotool getdisplaygeometry"),
            std::to_string(kScreenWidth) + " " + std::to_string(kScreenHeight) + "\n");
  testsupport::ScratchDir work("vesk-larger");
  int status = RunVesk(work);
  ASSERT_TRUE(WIFEXITED(status)) << "the program did not end: " << testsupport::FileText(work / "stderr");
  EXPECT_EQ(WEXITSTATUS(status), 0) << testsupport::FileText(work / "stderr");
  EXPECT_EQ(testsupport::FileText(work / "stderr"), "");

  std::string movie = work / "big.avi";
  EXPECT_EQ(CommandOutput(std::string(VESK_FFPROBE) +
                          " -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=width,height,nb_read_frames -of default=noprint_wrappers=1 '" + movie + "'"),
            "width=1600\nheight=1200\nnb_read_frames=3\n");
  std::string raw = work / "frames.rgb";
  CommandOutput(std::string(VESK_FFMPEG) + " -v error -i '" + movie + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'");
  std::string pixels = testsupport::FileText(raw);
  const size_t frameBytes = size_t(kWidth) * kHeight * 3;
  ASSERT_EQ(pixels.size(), frameBytes * kFrames);
  // The globe, centred in the window, reaches below the screen's bottom edge: those rows
  // hold the picture, not the black of a screen that was never drawn there.
  std::string last = pixels.substr(frameBytes * (kFrames - 1));
  size_t belowScreen = LitPixels(last, 0, kScreenHeight, kWidth, kHeight);
  EXPECT_GT(belowScreen, size_t(kWidth) * (kHeight - kScreenHeight) / 10);
}

}  // namespace
