// The settings window on a real display (the private Xvfb this test is started in):
// xdotool plays the user of veskset_probe, which prints the record, and of vesk itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "command_output.h"
#include "file_text.h"
#include "probe_record.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // -1: did not exit normally, or had to be killed
  std::string out, err;
};

class SettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(work_); }

  // Starts program in the work folder with the private settings folder; no headless
  // back end, so the window may appear.
  pid_t Start(const std::string& program, const std::vector<std::string>& arguments) {
    pid_t child = fork();
    if (child == 0) {
      if (chdir(work_.c_str()) != 0) _exit(126);
      if (!freopen((base_ / "stdout").c_str(), "w", stdout) || !freopen((base_ / "stderr").c_str(), "w", stderr))
        _exit(126);
      setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
      unsetenv("VESK_HEADLESS");
      std::string asan = "detect_leaks=0";  // GTK keeps what it made until the process ends
      if (const char* given = std::getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
      setenv("ASAN_OPTIONS", asan.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    return child;
  }

  static int Xdotool(const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"/usr/bin/timeout", "20", "xdotool"};
    args.insert(args.end(), commands.begin(), commands.end());
    pid_t child = fork();
    if (child == 0) {
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  // Waits for the "Vesk" window, gives it the focus and presses keys (xdotool key
  // commands). The keys go in a call of their own: chained after the search they would
  // be sent to the window itself, which is gone before the last key is released.
  void Type(const std::vector<std::string>& keys) {
    // The pause lets the toolkit take in the focus before the first key arrives.
    ASSERT_EQ(Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Vesk$", "windowfocus", "--sync",
                       "sleep", "0.2"}),
              0)
        << "xdotool found no Vesk window";
    EXPECT_EQ(Xdotool(keys), 0);
  }

  // The X server drops a window some time after its program has gone; until then a
  // search could find it in place of the next program's.
  static void WaitUntilNoWindow() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (Xdotool({"search", "--name", "^Vesk$"}) == 1) return;  // none found
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "a Vesk window stayed after its program ended";
  }

  // The program's end, at most a minute away; one that hangs is killed and fails.
  Outcome Finish(pid_t child) {
    Outcome outcome;
    int status = 0;
    for (int waited = 0; waited < 600; ++waited) {
      pid_t done = waitpid(child, &status, WNOHANG);
      if (done == child) {
        if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (waited == 599) {
        ADD_FAILURE() << "the program did not end";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
      }
    }
    outcome.out = testsupport::FileText(base_ / "stdout");
    outcome.err = testsupport::FileText(base_ / "stderr");
    WaitUntilNoWindow();
    return outcome;
  }

  Outcome Answer(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& keys) {
    pid_t child = Start(program, arguments);
    Type(keys);
    return Finish(child);
  }

  std::string Probe(const fs::path& movie) {
    std::string command = std::string(VESK_FFPROBE) +
                          " -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames"
                          " -of default=noprint_wrappers=1 '" + movie.string() + "'";
    return testsupport::CommandOutput(command);
  }

  testsupport::ScratchDir base_{"veskset-window"};
  fs::path work_ = fs::path(base_.path()) / "work";
  fs::path config_ = fs::path(base_.path()) / "config";
};

// The record of the defaults with 3 frames spinning backward.
void ExpectTypedRecord(const Outcome& run) {
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.out.rfind("result=1\n", 0), 0u) << run.out;
  RecordingSettings settings;
  ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
  ExpectDefaultsWith(settings, 3, 0);
}

TEST_F(SettingsWindow, TypedValuesAreRecordedAndOfferedAgainNextTime) {
  // Alt+F is the frames field, Alt+B the backward spin.
  Outcome typed = Answer(VESKSET_PROBE_PATH, {}, {"key", "alt+f", "key", "ctrl+a", "key", "3", "key", "alt+b",
                                                  "key", "Return"});
  ExpectTypedRecord(typed);
  EXPECT_EQ(typed.err, "");
  std::string remembered = testsupport::FileText(config_ / "vesk/settings.ini");
  EXPECT_NE(remembered.find("\nframes=3\n"), std::string::npos) << remembered;

  // The next window starts from them: Enter alone gives the same record.
  ExpectTypedRecord(Answer(VESKSET_PROBE_PATH, {}, {"key", "Return"}));

  // And vesk records the movie they describe.
  Outcome recorded = Answer(VESK_PROGRAM, {}, {"key", "Return"});
  ASSERT_EQ(recorded.status, 0) << recorded.err;
  EXPECT_EQ(Probe(work_ / "globe.avi"), "nb_read_frames=3\n");
}

TEST_F(SettingsWindow, EscapeEndsTheProgramWithStatusZeroAndNoMovie) {
  Outcome escaped = Answer(VESK_PROGRAM, {}, {"key", "Escape"});
  EXPECT_EQ(escaped.status, 0) << escaped.err;
  EXPECT_TRUE(fs::is_empty(work_));  // no movie, no frame folders
  EXPECT_FALSE(fs::exists(config_ / "vesk/settings.ini"));
}

TEST_F(SettingsWindow, ReturnDoesNotRecordWhileAFieldIsOutOfRange) {
  pid_t child = Start(VESKSET_PROBE_PATH, {});
  Type({"key", "alt+f", "key", "ctrl+a", "key", "0", "key", "Return"});
  // Still asking: the window is there for the next keys, which cancel.
  Type({"key", "Escape"});
  Outcome outcome = Finish(child);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "result=0\n");
}

TEST_F(SettingsWindow, OptionsWithDialogPresetTheFields) {
  Outcome run = Answer(VESKSET_PROBE_PATH, {"--dialog", "-n", "3", "--spin", "backward"}, {"key", "Return"});
  ExpectTypedRecord(run);
}

// The "Look" group from the keyboard: Alt+U the sun, Alt+W the clouds, Alt+G the glow,
// each on with its default; the choices reach the extras and are offered again.
TEST_F(SettingsWindow, TheLookGroupsPartsAreRecordedAndRemembered) {
  if (!fs::exists("/usr/share/xplanet/images/night.jpg")) GTEST_SKIP() << "xplanet-images is not installed";
  std::vector<std::string> keys = {"key", "alt+u", "key", "alt+w", "key", "alt+g", "key", "alt+f", "key", "Return"};
  for (int run = 0; run < 2; ++run) {
    Outcome outcome = Answer(VESKSET_PROBE_PATH, {}, keys);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    RecordingExtras extras;
    ASSERT_TRUE(DecodeExtras(outcome.out, extras)) << outcome.out;
    EXPECT_EQ(extras.sunOn, 1) << "run " << run;
    EXPECT_EQ(extras.sunDegrees, 60);
    EXPECT_EQ(std::string(extras.nightFile), "");  // the default, night.jpg
    EXPECT_EQ(std::string(extras.cloudsFile), "clouds.png");
    EXPECT_EQ(extras.atmosphere, 1);
    std::string remembered = testsupport::FileText(config_ / "vesk/settings.ini");
    EXPECT_NE(remembered.find("\nsun=60\nclouds=clouds.png\natmosphere=yes\n"), std::string::npos) << remembered;
    keys = {"key", "Return"};  // the next window starts from them
  }
}

// The format list holds the formats people post: each, preset by an option, comes back
// from the window as its keyword after 変換.
TEST_F(SettingsWindow, FormatListOffersThePostedFormats) {
  for (const auto& [option, keyword] : {std::pair{"mp4", "MP4"}, std::pair{"webm", "WEBM"},
                                        std::pair{"apng", "APNG"}, std::pair{"webp", "WEBP"}}) {
    Outcome run = Answer(VESKSET_PROBE_PATH, {"--dialog", "--format", option}, {"key", "Return"});
    ASSERT_EQ(run.status, 0) << run.err;
    RecordingSettings settings;
    ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
    EXPECT_EQ(std::string(settings.outputKinds), std::string("\x95\xCF\x8A\xB7") + keyword) << option;
  }
}

}  // namespace

namespace {

TEST_F(SettingsWindow, SmoothEdgesAreChosenWithTheKeyboardAndRemembered) {
  // Alt+T is the smooth-edges list; two steps down from "Off" is 4 samples.
  Outcome run = Answer(VESKSET_PROBE_PATH, {}, {"key", "alt+t", "key", "Down", "key", "Down", "key", "Return"});
  ASSERT_EQ(run.status, 0) << run.err;
  RecordingExtras extras;
  ASSERT_TRUE(DecodeExtras(run.out, extras)) << run.out;
  EXPECT_EQ(extras.antialias, 4u);
  std::string remembered = testsupport::FileText(config_ / "vesk/settings.ini");
  EXPECT_NE(remembered.find("\nantialias=4\n"), std::string::npos) << remembered;
}

}  // namespace
