// The whole program, run headless in a directory of its own: a short recording checked
// with ffprobe, the help text, and command lines it refuses before anything happens.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
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
      if (fileSizeLimit_ != 0) {
        // A disk that fills up, for the files of this run alone: writes past the limit
        // fail with EFBIG as they would with ENOSPC.
        rlimit limit{fileSizeLimit_, fileSizeLimit_};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        signal(SIGXFSZ, SIG_IGN);
      }
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

  // A folder of stand-ins for the after-recording programs, each leaving NAME.ran when run.
  fs::path StandIns(std::initializer_list<const char*> names) {
    fs::path folder = base_ / "stand-ins";
    fs::create_directories(folder);
    for (const char* name : names) {
      std::ofstream(folder / name) << "#!/bin/sh\necho \"$@\" > \"" << (base_ / name) << ".ran\"\n";
      fs::permissions(folder / name, fs::perms::owner_all);
    }
    return folder;
  }

  rlim_t fileSizeLimit_ = 0;  // bytes a file of the run may reach; 0: no limit

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
  fs::path standIns = StandIns({"test", "xdg-open"});
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

// The disk fills while the frames still fit: the recording ends there, with a box, a
// line naming the movie and the reason, the movie finished and playable to its last
// good frame, nothing started after it, and status 1.
TEST_F(Program, AMovieThatCannotGrowEndsTheRecordingFinishedWithStatusOne) {
  fileSizeLimit_ = 200 * 1024;  // the movie takes 30 KB a frame, a frame's BMP 40 KB
  Outcome outcome = Run({"-n", "20", "-s", "100x100", "-o", "m.avi", "--then", "play"}, {},
                        StandIns({"xdg-open"}));
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  const std::string line = "vesk: cannot add frame ";
  size_t at = outcome.err.find(line);
  ASSERT_NE(at, std::string::npos) << outcome.err;
  int failed = std::atoi(outcome.err.c_str() + at + line.size());
  EXPECT_NE(outcome.err.find(" to the movie 'm.avi': File too large; the movie ends at frame " +
                             std::to_string(failed - 1) + "\n"),
            std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("Error: 書込失敗\n"), std::string::npos) << "the box: " << outcome.err;
  EXPECT_GT(failed, 2);
  EXPECT_LT(failed, 20);
  EXPECT_NE(Probe(work_ / "m.avi").find("nb_read_frames=" + std::to_string(failed - 1) + "\n"), std::string::npos);
  EXPECT_EQ(testsupport::CommandOutput("ffmpeg -v error -i '" + (work_ / "m.avi").string() + "' -f null - 2>&1"), "");
  ASSERT_TRUE(testsupport::WaitForChildProcesses());
  EXPECT_FALSE(fs::exists(base_ / "xdg-open.ran")) << "nothing is started after a failed recording";
}

// Links planted where the program writes: neither the file a movie link leads to nor
// the files in a folder that a BMP link leads to are touched, a dangling movie link
// creates nothing, and each run says why it stopped.
TEST_F(Program, PlantedLinksAreNeverWrittenThrough) {
  fs::path elsewhere = base_ / "elsewhere";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "victim.txt") << "keep me";
  fs::create_symlink(elsewhere / "victim.txt", work_ / "globe.avi");
  Outcome movieLink = Run({"-n", "2", "-s", "100x100"});
  EXPECT_EQ(movieLink.status, 1);
  EXPECT_NE(movieLink.err.find("vesk: cannot create the movie 'globe.avi': it is a symbolic link, which is not "
                               "followed\n"),
            std::string::npos)
      << movieLink.err;
  EXPECT_EQ(testsupport::FileText(elsewhere / "victim.txt"), "keep me");

  fs::remove(work_ / "globe.avi");
  fs::create_symlink(elsewhere / "new.avi", work_ / "globe.avi");
  EXPECT_EQ(Run({"-n", "2", "-s", "100x100"}).status, 1);
  EXPECT_FALSE(fs::exists(elsewhere / "new.avi"));

  fs::remove(work_ / "globe.avi");
  fs::remove_all(work_ / "BMP");
  for (const char* name : {"Vesk001.bmp", "Vesk002.bmp"}) std::ofstream(elsewhere / name) << name;
  fs::create_directory_symlink(elsewhere, work_ / "BMP");
  Outcome folderLink = Run({"-n", "2", "-s", "100x100"});
  EXPECT_EQ(folderLink.status, 1);
  EXPECT_NE(folderLink.err.find("vesk: cannot save the frames in 'BMP': it is a symbolic link, which is not "
                                "followed\n"),
            std::string::npos)
      << folderLink.err;
  for (const char* name : {"Vesk001.bmp", "Vesk002.bmp"}) EXPECT_EQ(testsupport::FileText(elsewhere / name), name);
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 3);
}

// The converter acts on the movie just recorded, whatever its name looks like, and
// writes only its output beside it.
TEST_F(Program, TheConverterConvertsTheRecordedMovieWhateverItsNameLooksLike) {
  std::ofstream(work_ / "keep.txt") << "keep me";
  std::ofstream(work_ / "a.avi") << "another movie";
  for (const char* movie : {"-take.avi", "a -o keep.txt.avi"}) {
    Outcome outcome = Run({"-n", "2", "-s", "100x100", "-o", movie, "--format", "gif"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
  }
  ASSERT_TRUE(testsupport::WaitForChildProcesses());
  EXPECT_TRUE(fs::is_regular_file(work_ / "-take.gif"));
  EXPECT_TRUE(fs::is_regular_file(work_ / "a -o keep.txt.gif"));
  EXPECT_EQ(testsupport::FileText(work_ / "keep.txt"), "keep me");
  EXPECT_EQ(testsupport::FileText(work_ / "a.avi"), "another movie");
  EXPECT_FALSE(fs::exists(work_ / "a.gif"));
}

// A folder higher up the path may be a link (a ~/Videos on another disk).
TEST_F(Program, ALinkedFolderHigherUpThePathIsUsed) {
  fs::create_directories(base_ / "videos");
  fs::create_directory_symlink(base_ / "videos", work_ / "Videos");
  Outcome outcome = Run({"-n", "2", "-s", "100x100", "-o", "Videos/m.avi"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::is_regular_file(base_ / "videos/m.avi"));
}

// With the current folder read-only the frame folder cannot be made, and the line says
// why rather than that the frame file is missing. (Root writes into any folder of a
// writable disk, so it records from /sys, where even root makes no folder.)
TEST_F(Program, AFolderWhereNoFrameFolderCanBeMadeIsNamedAsTheReason) {
  const bool root = geteuid() == 0;
  if (!root) fs::permissions(work_, fs::perms::owner_read | fs::perms::owner_exec);
  Outcome outcome = Run({"-n", "2", "-s", "100x100", "-o", base_ / "m.avi"}, root ? fs::path("/sys") : work_);
  fs::permissions(work_, fs::perms::owner_all);
  EXPECT_EQ(outcome.status, 1);
  const std::string line =
      "vesk: cannot save the frame 'BMP/Vesk001.bmp': the folder 'BMP' does not exist and cannot be made in '.': ";
  EXPECT_NE(outcome.err.find(line + (root ? "Operation not permitted\n" : "Permission denied\n")),
            std::string::npos)
      << outcome.err;
}

}  // namespace
