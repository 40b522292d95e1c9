// The whole program, run headless in a directory of its own: a short recording checked
// with ffprobe, the help text, and command lines it refuses before anything happens.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_processes.h"
#include "command_output.h"
#include "file_text.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    testsupport::AdoptOrphanedGrandchildren();
  }

  // Runs vesk in `folder` (the work folder when empty), with `pathFirst` ahead of PATH
  // when given, and a user configuration of its own so that no registry.ini of the
  // user's changes what it finds.
  Outcome Run(const std::vector<std::string>& arguments, const fs::path& folder = {},
              const fs::path& pathFirst = {}) {
    std::string outFile = base_ / "stdout", errFile = base_ / "stderr";
    pid_t child = fork();
    if (child == 0) {
      if (chdir((folder.empty() ? work_ : folder).c_str()) != 0) _exit(126);
      if (!freopen(outFile.c_str(), "w", stdout) || !freopen(errFile.c_str(), "w", stderr)) _exit(126);
      setenv("VESK_HEADLESS", "1", 1);
      setenv("XDG_CONFIG_HOME", (base_ / "config").c_str(), 1);
      if (!pathFirst.empty()) setenv("PATH", (pathFirst.string() + ":" + std::getenv("PATH")).c_str(), 1);
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
    outcome.out = testsupport::FileText(outFile);
    outcome.err = testsupport::FileText(errFile);
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

// The fixed message box, and before it one line naming the file and the reason; the run
// made no movie, so it ends with status 1.
TEST_F(Program, MissingOrCorruptMediaEndWithTheMediaMessageANamingLineAndStatusOne) {
  const std::string message =
      "Quelmo: Direct3D Vesk: Could not load required media.\n\nThis program will now exit.\n";
  Outcome missing = Run({"-n", "2", "-t", "no-such-picture.png"});
  EXPECT_EQ(missing.status, 1);
  const std::string notFound =
      "vesk: cannot load the globe picture 'no-such-picture.png': not found in the current folder or in ";
  EXPECT_EQ(missing.err.rfind(notFound, 0), 0u) << missing.err;
  EXPECT_NE(missing.err.find("/data/Media\n" + message), std::string::npos) << missing.err;
  std::ofstream(work_ / "broken.png") << "\x89PNG\r\n\x1a\n this is not the rest of a picture";
  Outcome corrupt = Run({"-n", "2", "-t", "broken.png"});
  EXPECT_EQ(corrupt.status, 1);
  EXPECT_EQ(corrupt.err, "vesk: cannot load the globe picture 'broken.png': not a picture this program reads "
                         "(JPEG, PNG, BMP, TGA, DDS, PPM/PGM/PBM or DIB), or damaged\n" + message)
      << "one message, no fallback to another device";
  std::ofstream(work_ / "vesk.x") << "xof 0303txt 0032\nMesh { 3; broken";
  Outcome badMesh = Run({"-n", "2"});
  EXPECT_EQ(badMesh.status, 1);
  EXPECT_EQ(badMesh.err.rfind("vesk: cannot load the backdrop mesh 'vesk.x': not a valid .x file", 0), 0u)
      << badMesh.err;
  EXPECT_FALSE(fs::exists(work_ / "globe.avi"));
}

TEST_F(Program, AMovieThatCannotBeCreatedEndsWithStatusOneAndSaysWhy) {
  Outcome outcome = Run({"-n", "2", "-o", "no-such-folder/x.avi"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err.rfind("AVI2: no-such-folder/x.avi: ", 0), 0u) << outcome.err;
  EXPECT_NE(outcome.err.find("vesk: cannot create the movie 'no-such-folder/x.avi': No such file or directory\n"),
            std::string::npos)
      << outcome.err;
  EXPECT_FALSE(fs::exists(work_ / "no-such-folder"));
}

// A FIFO where the movie should go ends the run at once instead of waiting for a reader.
TEST_F(Program, AFifoAsTheMovieEndsTheRunWithStatusOne) {
  ASSERT_EQ(mkfifo((work_ / "fifo.avi").c_str(), 0644), 0);
  Outcome outcome = Run({"-n", "2", "-s", "100x100", "-o", "fifo.avi"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("vesk: cannot create the movie 'fifo.avi': not a regular file\n"), std::string::npos)
      << outcome.err;
}

// Folder names with characters CP932 has (日本語), lacks (é, 𠮷) and an emoji: the media
// search, the frame files and the movie all work from there.
TEST_F(Program, RecordsFromFoldersWhoseNamesCp932CannotHold) {
  for (const char* name : {"jos\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xF0\x9F\x8C\x8D",
                           "\xF0\xA0\xAE\xB7 folder"}) {
    fs::path folder = work_ / name;
    fs::create_directories(folder);
    Outcome outcome = Run({"-n", "3", "-o", std::string(name) + ".avi"}, folder);
    ASSERT_EQ(outcome.status, 0) << name << ": " << outcome.err;
    EXPECT_NE(Probe(folder / (std::string(name) + ".avi")).find("nb_read_frames=3\n"), std::string::npos) << name;
    EXPECT_TRUE(fs::exists(folder / "BMP" / "Vesk003.bmp")) << name;
  }
}

// "play" opens the movie with the desktop's opener even when a program on PATH has the
// movie's name.
TEST_F(Program, PlayingAMovieNamedLikeAProgramOpensTheMovie) {
  fs::path standIns = base_ / "stand-ins";
  fs::create_directories(standIns);
  for (const char* name : {"test", "xdg-open"}) {
    std::ofstream(standIns / name) << "#!/bin/sh\necho \"$@\" > \"" << (base_ / name) << ".ran\"\n";
    fs::permissions(standIns / name, fs::perms::owner_all);
  }
  Outcome outcome = Run({"-n", "2", "-s", "100x100", "-o", "test", "--then", "play"}, {}, standIns);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  ASSERT_TRUE(testsupport::WaitForChildProcesses()) << "the programs vesk started have ended";
  EXPECT_EQ(testsupport::FileText(base_ / "xdg-open.ran"), (work_ / "test").string() + "\n");
  EXPECT_FALSE(fs::exists(base_ / "test.ran")) << "the program named like the movie ran";
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

// The Earth's pictures are links into the media folder to Debian's xplanet-images; where
// the package is installed, the usual search finds them from any folder.
TEST_F(Program, RecordsTheEarthFromTheMediaFolderWhereThePackageIsInstalled) {
  if (!fs::exists("/usr/share/xplanet/images/earth.jpg")) GTEST_SKIP() << "xplanet-images is not installed";
  Outcome outcome = Run({"-t", "earth.jpg", "-n", "2", "-s", "160x120"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(Probe(work_ / "globe.avi").find("nb_read_frames=2\n"), std::string::npos);
}

// A media folder without the Earth's pictures, as a machine without the package has:
// one line names the file and the package, then the media message.
TEST_F(Program, WithoutTheEarthsPicturesTheMessageNamesTheFileAndThePackage) {
  fs::path base = base_.path(), media = base / "samples" / "Media";
  fs::path built = fs::path(VESK_PROGRAM).parent_path().parent_path() / "data" / "Media";
  fs::create_directories(media);
  for (const char* file : {"vesk.x", "vesk_stars.jpg"}) fs::create_symlink(built / file, media / file);
  fs::create_directories(base / "config" / "vesk");
  std::ofstream(base / "config" / "vesk" / "registry.ini")
      << "[HKEY_LOCAL_MACHINE\\Software\\Graphics SDK]\nSamples Path=" << (base / "samples").string() << "\n";
  Outcome outcome = Run({"-t", "earth.jpg", "-n", "2"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err.rfind("vesk: cannot load the globe picture 'earth.jpg': not found in the current folder or in " +
                                  media.string() + " (it comes with Debian's xplanet-images package",
                              0),
            0u)
      << outcome.err;
  EXPECT_FALSE(fs::exists(work_ / "globe.avi"));
}

// The night and cloud pictures are read as hostile as the globe's: a damaged or missing
// one ends the run before any frame, naming the file.
TEST_F(Program, ADamagedOrMissingNightOrCloudPictureIsRefusedByName) {
  std::ofstream(work_ / "broken.png") << "\x89PNG\r\n\x1a\n cut short";
  Outcome night = Run({"-n", "2", "--sun", "90", "--night", "broken.png"});
  EXPECT_EQ(night.status, 1);
  EXPECT_EQ(night.err.rfind("vesk: cannot load the night picture 'broken.png': not a picture this program reads", 0),
            0u)
      << night.err;
  Outcome defaultNight = Run({"-n", "2", "--sun", "90"}, base_.path());  // no media folder of its own there either
  EXPECT_EQ(defaultNight.status, fs::exists("/usr/share/xplanet/images/night.jpg") ? 0 : 1) << defaultNight.err;
  Outcome clouds = Run({"-n", "2", "--clouds", "no-such-clouds.png"});
  EXPECT_EQ(clouds.status, 1);
  EXPECT_EQ(clouds.err.rfind("vesk: cannot load the cloud picture 'no-such-clouds.png': not found", 0), 0u)
      << clouds.err;
  EXPECT_FALSE(fs::exists(work_ / "globe.avi"));
}

}  // namespace
