// The whole program on a private X display: `vesk --choose-device` shows the
// "Direct3D Settings" dialog before recording; xdotool plays the user. Escape after a
// choice changes nothing, OK with the reference device rebuilds on it (which the
// device-stats box of the reference device shows), and both runs record their movie.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "command_output.h"
#include "scratch_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testsupport::CommandOutput;

// The first visible window with exactly this title, waiting up to 20 seconds.
std::string WaitForWindow(const std::string& title) {
  std::string id = CommandOutput("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1");
  while (!id.empty() && (id.back() == '\n')) id.pop_back();
  return id;
}

// Gives the window the keyboard and types the keys, one xdotool call each; the focus
// may take a moment after the window appears.
void Keys(const std::string& window, const std::vector<std::string>& keys) {
  CommandOutput("xdotool windowfocus --sync " + window);
  std::this_thread::sleep_for(300ms);
  for (const std::string& key : keys) {
    CommandOutput("xdotool key --clearmodifiers " + key);
    std::this_thread::sleep_for(200ms);
  }
}

// X, Y, WIDTH and HEIGHT of a window as xdotool reports them.
std::map<std::string, int> Geometry(const std::string& window) {
  std::map<std::string, int> values;
  std::istringstream lines(CommandOutput("xdotool getwindowgeometry --shell " + window));
  for (std::string line; std::getline(lines, line);) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
  }
  return values;
}

class ChooseDeviceOnDisplay : public testing::Test {
 protected:
  // Starts vesk in the scratch folder with a three-frame recording.
  void Start() {
    std::string movie = (fs::path(scratch_.path()) / "out.avi").string();
    std::vector<std::string> arguments = {VESK_PROGRAM, "--choose-device", "-n", "3", "-s", "200x150", "-o", movie};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv("VESK_HEADLESS", "0", 1);
    setenv("XDG_CONFIG_HOME", scratch_.path().c_str(), 1);
    // The recording leaves its window and device to the end of the process by design;
    // in a sanitizer build that is no fault of the run under test.
    std::string asan = "detect_leaks=0";
    if (const char* given = std::getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = (fs::path(scratch_.path()) / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
    ASSERT_EQ(posix_spawn(&child_, VESK_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }

  // The exit status, or -1 when the program did not end within 60 seconds.
  int Finish() {
    for (int i = 0; i < 600; ++i) {
      int status = 0;
      if (waitpid(child_, &status, WNOHANG) == child_) {
        child_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(100ms);
    }
    return -1;
  }

  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    chdir("/");
  }

  std::string Probe() {
    return CommandOutput(std::string(VESK_FFPROBE) +
                  " -v error -count_frames -select_streams v:0 -show_entries stream=width,height,nb_read_frames"
                  " -of default=noprint_wrappers=1 '" + (fs::path(scratch_.path()) / "out.avi").string() + "'");
  }

  testsupport::ScratchDir scratch_{"vesk-display"};
  pid_t child_ = 0;
};

TEST_F(ChooseDeviceOnDisplay, EscapeAfterAChoiceRecordsOnTheFirstDevice) {
  Start();
  std::string dialog = WaitForWindow("Direct3D Settings");
  ASSERT_FALSE(dialog.empty()) << "no dialog titled Direct3D Settings";
  // 289 by 302 dialog units of an 8-point face (5 to 7 by 12 to 15 pixels a unit pair),
  // centred over the 200 by 150 program window in the middle of the 1280 by 1024 screen.
  std::map<std::string, int> geometry = Geometry(dialog);
  EXPECT_GE(geometry["WIDTH"], 289 * 5 / 4);
  EXPECT_LE(geometry["WIDTH"], 289 * 7 / 4 + 20);
  EXPECT_GE(geometry["HEIGHT"], 302 * 12 / 8);
  EXPECT_LE(geometry["HEIGHT"], 302 * 15 / 8 + 20);
  EXPECT_NEAR(geometry["X"] + geometry["WIDTH"] / 2, 640, 4);
  EXPECT_NEAR(geometry["Y"] + geometry["HEIGHT"] / 2, 512, 4);
  // The window manager is told that the dialog belongs to the program's window.
  std::string owner = CommandOutput("xprop -id " + dialog + " WM_TRANSIENT_FOR");
  size_t hash = owner.find("# ");
  ASSERT_NE(hash, std::string::npos) << owner;
  std::map<std::string, int> ownerGeometry = Geometry(std::to_string(std::stoul(owner.substr(hash + 2), nullptr, 16)));
  EXPECT_EQ(ownerGeometry["WIDTH"], 200);
  EXPECT_EQ(ownerGeometry["HEIGHT"], 150);
  // Render Device (Alt+D), the next device, then Escape.
  Keys(dialog, {"alt+d", "Down", "Escape"});
  // Had the choice been taken, the reference device's box would wait for an answer
  // and the program would not end.
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(Probe(), "width=200\nheight=150\nnb_read_frames=3\n");
}

TEST_F(ChooseDeviceOnDisplay, OkWithTheReferenceDeviceRebuildsOnItAndRecords) {
  Start();
  std::string dialog = WaitForWindow("Direct3D Settings");
  ASSERT_FALSE(dialog.empty()) << "no dialog titled Direct3D Settings";
  Keys(dialog, {"alt+d", "Down", "Return"});
  // Only a device on the reference rasterizer announces itself with this box.
  std::string box = WaitForWindow("Initialize3DEnvironment");
  ASSERT_FALSE(box.empty()) << "the reference device was not built";
  Keys(box, {"Return"});
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(Probe(), "width=200\nheight=150\nnb_read_frames=3\n");
}

TEST_F(ChooseDeviceOnDisplay, FourSamplesChosenWithTheKeyboardRecord) {
  Start();
  std::string dialog = WaitForWindow("Direct3D Settings");
  ASSERT_FALSE(dialog.empty()) << "no dialog titled Direct3D Settings";
  // Multisample Type (Alt+M): NONE, NONMASKABLE, 2, 4 samples; then OK.
  Keys(dialog, {"alt+m", "Down", "Down", "Down", "Return"});
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(Probe(), "width=200\nheight=150\nnb_read_frames=3\n");
}

}  // namespace
