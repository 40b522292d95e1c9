// The whole program on a private X display: switched to full
// screen with Alt+Enter while it records, it still records every frame, each frame
// shows the whole globe at the recording's size, the device cursor it shows over the
// picture never reaches the movie, and the scene's objects (the texture font among
// them) come through the device reset with no message.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "command_output.h"
#include "file_text.h"
#include "scratch_dir.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CommandOutput;

constexpr int kFrames = 150;
constexpr int kWidth = 200, kHeight = 150;

// The program's visible window as xdotool describes it: X, Y, WIDTH and HEIGHT lines.
std::string WindowGeometry() {
  return CommandOutput("xdotool search --onlyvisible --classname vesk getwindowgeometry --shell %1 2>/dev/null");
}

int Field(const std::string& geometry, const std::string& name) {
  size_t at = geometry.find(name + "=");
  return at == std::string::npos ? -1 : std::atoi(geometry.c_str() + at + name.size() + 1);
}

bool Exited(pid_t child, int& status) { return waitpid(child, &status, WNOHANG) == child; }

// The grey mark of the device cursor: three glyphs, 12 x 5, leftmost pixel in bit 15.
constexpr uint16_t kMark[5] = {0xCCC0, 0xA2A0, 0xA4A0, 0xA2A0, 0xCCC0};

bool MarkAt(const uint8_t* frame, int left, int top) {
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 12; ++x) {
      if (!(kMark[y] >> (15 - x) & 1)) continue;
      const uint8_t* p = frame + ((top + y) * kWidth + left + x) * 3;
      if (p[0] != 0x80 || p[1] != 0x80 || p[2] != 0x80) return false;
    }
  }
  return true;
}

// The longest run of lit pixels (the globe, against a dark sky with single stars) on
// row y: its first and last x.
std::pair<int, int> LitRun(const uint8_t* frame, int y) {
  std::pair<int, int> best{0, -1};
  for (int x = 0, start = -1; x <= kWidth; ++x) {
    const uint8_t* p = frame + (y * kWidth + x) * 3;
    bool lit = x < kWidth && p[0] + p[1] + p[2] > 60;
    if (lit && start < 0) start = x;
    if (!lit && start >= 0) {
      if (x - 1 - start > best.second - best.first) best = {start, x - 1};
      start = -1;
    }
  }
  return best;
}

class FullscreenRecording : public ::testing::Test {
 protected:
  pid_t Start() {
    std::string errFile = work_ / "stderr";
    pid_t child = fork();
    if (child == 0) {
      if (chdir(work_.path().c_str()) != 0) _exit(126);
      if (!freopen(errFile.c_str(), "w", stderr)) _exit(126);
      setenv("VESK_HEADLESS", "0", 1);
      std::string asan = "detect_leaks=0";
      if (const char* given = std::getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
      setenv("ASAN_OPTIONS", asan.c_str(), 1);
      std::string frames = std::to_string(kFrames), size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
      // At the movie's own pace (15 s), so that the recording is still going when the
      // window has switched to full screen, however fast the frames are drawn.
      execl(VESK_PROGRAM, VESK_PROGRAM, "-n", frames.c_str(), "-s", size.c_str(), "--pace", "live", "-o", "out.avi",
            nullptr);
      _exit(127);
    }
    return child;
  }

  testsupport::ScratchDir work_{"vesk-fullscreen"};
};

TEST_F(FullscreenRecording, RecordsEveryFrameWithoutTheCursorAndWithoutAMessage) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "runs inside xvfb-run";
  pid_t child = Start();
  ASSERT_GT(child, 0);
  int status = 0;
  bool exited = false;
  auto waitFor = [&](auto condition, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
      if ((exited = exited || Exited(child, status))) return false;
      if (condition()) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  };

  auto ended = [&] {
    return exited ? "; the program ended with status " + std::to_string(status) + ": " + testsupport::FileText(work_ / "stderr")
                  : std::string();
  };
  std::string geometry;
  ASSERT_TRUE(waitFor([&] { return !(geometry = WindowGeometry()).empty(); }, 30s))
      << "no window appeared" << ended();
  // The recording keeps to the window's first place on the screen.
  int recordedX = Field(geometry, "X"), recordedY = Field(geometry, "Y");
  std::string screen = CommandOutput("xdotool getdisplaygeometry");  // "WIDTH HEIGHT"
  std::string fullSize = "WIDTH=" + screen.substr(0, screen.find(' ')) + "\nHEIGHT=" +
                         std::to_string(std::atoi(screen.c_str() + screen.find(' ') + 1)) + "\n";
  // Alt+Enter goes to the focused window; focus may take a moment to arrive. Each try
  // waits long enough for a busy machine to finish the switch, since a second Alt+Enter
  // that comes before it would switch back.
  bool fullscreen = false;
  for (int attempt = 0; attempt < 8 && !fullscreen && !exited; ++attempt) {
    CommandOutput("xdotool search --onlyvisible --classname vesk windowfocus --sync %1 key alt+Return 2>/dev/null");
    fullscreen = waitFor([&] { return WindowGeometry().find(fullSize) != std::string::npos; }, 3s);
  }
  ASSERT_TRUE(fullscreen) << "the window did not go full screen: " << WindowGeometry() << ended();
  // The pointer, and with it the device cursor, over the recorded area.
  for (int step = 0; step < 10; ++step) {
    CommandOutput("xdotool mousemove " + std::to_string(recordedX + 60 + step * 3) + " " +
                  std::to_string(recordedY + 40 + step * 2));
    std::this_thread::sleep_for(30ms);
  }
  if (!waitFor([] { return false; }, 60s) && !exited) {
    std::string windows = CommandOutput("xdotool search --name . getwindowname %@ 2>/dev/null");
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the program did not end; windows: " << windows;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Nothing on standard error but the live pace's progress lines.
  std::string messages = testsupport::FileText(work_ / "stderr");
  for (int frame = kFrames; frame >= 1; --frame) {
    std::string line = "vesk: frame " + std::to_string(frame) + " of " + std::to_string(kFrames) + "\n";
    if (size_t at = messages.find(line); at != std::string::npos) messages.erase(at, line.size());
  }
  EXPECT_EQ(messages, "");

  std::string movie = work_ / "out.avi";
  std::string probe = CommandOutput(std::string(VESK_FFPROBE) +
                             " -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=width,height,nb_read_frames -of default=noprint_wrappers=1 '" +
                             movie + "'");
  EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(kFrames) + "\n"), std::string::npos) << probe;

  std::string raw = work_ / "frames.rgb";
  CommandOutput(std::string(VESK_FFMPEG) + " -v error -i '" + movie + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'");
  std::string pixels = testsupport::FileText(raw);
  size_t frameBytes = size_t(kWidth) * kHeight * 3;
  ASSERT_EQ(pixels.size(), frameBytes * kFrames);
  for (int frame = 0; frame < kFrames; ++frame) {
    const auto* data = reinterpret_cast<const uint8_t*>(pixels.data()) + frame * frameBytes;
    for (int top = 0; top + 5 <= kHeight; ++top)
      for (int left = 0; left + 12 <= kWidth; ++left)
        ASSERT_FALSE(MarkAt(data, left, top)) << "the device cursor is in frame " << frame;
    // The whole globe, centred with sky on both sides, not a corner of the full-screen
    // picture.
    auto [first, last] = LitRun(data, kHeight / 2);
    ASSERT_GE(last - first, kWidth / 2) << "no globe across the middle of frame " << frame;
    ASSERT_TRUE(first > 4 && last < kWidth - 5) << "the globe fills the row of frame " << frame;
    ASSERT_LE(std::abs(first + last - kWidth), 20) << "the globe is off centre in frame " << frame;
  }
}

}  // namespace
