// The whole program, run headless in a directory of its own: a short recording checked
// with ffprobe, the help text, and command lines it refuses before anything happens.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_output.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
  }

  Outcome Run(const std::vector<std::string>& arguments) {
    std::string outFile = base_ / "stdout", errFile = base_ / "stderr";
    pid_t child = fork();
    if (child == 0) {
      if (chdir(work_.c_str()) != 0) _exit(126);
      if (!freopen(outFile.c_str(), "w", stdout) || !freopen(errFile.c_str(), "w", stderr)) _exit(126);
      setenv("VESK_HEADLESS", "1", 1);
      // After a complete recording the program leaves its window, device and scene to
      // the end of the process, as designed; in a sanitizer build that is not a fault
      // of the run under test.
      std::string asan = "detect_leaks=0";
      if (const char* given = std::getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
      setenv("ASAN_OPTIONS", asan.c_str(), 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(VESK_PROGRAM));
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(VESK_PROGRAM, argv.data());
      _exit(127);
    }
    Outcome outcome;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.out = ReadFile(outFile);
    outcome.err = ReadFile(errFile);
    return outcome;
  }

  // What ffprobe says of the first video stream, as key=value lines.
  std::string Probe(const fs::path& movie) {
    std::string command = std::string(VESK_FFPROBE) +
                          " -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=width,height,r_frame_rate,nb_read_frames -of default=noprint_wrappers=1 '" +
                          movie.string() + "'";
    return testsupport::CommandOutput(command);
  }

  bool WorkIsEmpty() const { return fs::is_empty(work_); }

  testsupport::ScratchDir base_{"vesk-program"};
  fs::path work_ = base_ / "work";
};

TEST_F(Program, RecordsAThreeFrameMovieOfTheDefaultSize) {
  Outcome outcome = Run({"-n", "3", "-o", "out.avi"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  ASSERT_TRUE(fs::exists(work_ / "out.avi")) << outcome.err;
  std::string probe = Probe(work_ / "out.avi");
  EXPECT_NE(probe.find("width=640\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=480\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("r_frame_rate=10/1\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=3\n"), std::string::npos) << probe;
  // Only the last frame's file stays behind.
  EXPECT_FALSE(fs::exists(work_ / "BMP" / "Vesk001.bmp"));
  EXPECT_FALSE(fs::exists(work_ / "BMP" / "Vesk002.bmp"));
  EXPECT_TRUE(fs::exists(work_ / "BMP" / "Vesk003.bmp"));
}

TEST_F(Program, DefaultRunRecordsSixtyFourFramesAtTenPerSecond) {
  Outcome outcome = Run({});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::string probe = Probe(work_ / "globe.avi");
  EXPECT_NE(probe.find("width=640\nheight=480\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("r_frame_rate=10/1\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=64\n"), std::string::npos) << probe;
}

TEST_F(Program, MissingOrCorruptMediaEndWithTheMediaMessageAndNoMovie) {
  const std::string message =
      "Quelmo: Direct3D Vesk: Could not load required media.\n\nThis program will now exit.\n";
  Outcome missing = Run({"-n", "2", "-t", "no-such-picture.png"});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.err, message);
  std::ofstream(work_ / "broken.png") << "\x89PNG\r\n\x1a\n this is not the rest of a picture";
  Outcome corrupt = Run({"-n", "2", "-t", "broken.png"});
  EXPECT_EQ(corrupt.status, 0);
  EXPECT_EQ(corrupt.err, message) << "one message, no fallback to another device";
  EXPECT_FALSE(fs::exists(work_ / "globe.avi"));
}

TEST_F(Program, HelpPrintsTheUsageAndEndsWithoutAWindowOrFiles) {
  Outcome outcome = Run({"--help"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.out.find("--frames"), std::string::npos) << outcome.out;
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(Program, AnUnknownOptionEndsWithStatusTwoAndOneLineNamingIt) {
  Outcome outcome = Run({"--sparkle", "-n", "3"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("--sparkle"), std::string::npos) << outcome.err;
  ASSERT_FALSE(outcome.err.empty());
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line: " << outcome.err;
  EXPECT_TRUE(outcome.out.empty());
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(Program, AFrameCountOutOfRangeEndsWithStatusTwoNamingWhatIsAllowed) {
  Outcome outcome = Run({"-n", "0"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("99999"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line: " << outcome.err;
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(Program, AMoviePathLongerThanTheCaptureHoldsIsRefusedNamingTheLimit) {
  std::string path(136, 'm');
  path += ".avi";  // 140 bytes: within the settings record, too long for the capture
  Outcome outcome = Run({"-n", "3", "-o", path});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("134"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line: " << outcome.err;
  EXPECT_TRUE(WorkIsEmpty()) << "nothing is recorded";
}

TEST_F(Program, TheLongestMoviePathTheCaptureHoldsIsRecorded) {
  std::string path(130, 'm');
  path += ".avi";  // 134 bytes
  Outcome outcome = Run({"-n", "1", "-s", "100x100", "-o", path});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(work_ / path));
}

}  // namespace
