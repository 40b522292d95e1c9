// The whole program, run headless in a directory of its own: a short recording checked
// with ffprobe, the help text, and command lines it refuses before anything happens;
// seamless loops measured from their frames, the live pace, and camera paths saved from
// a recording steered through the window's input and replayed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "VeskSet.h"
#include "child_processes.h"
#include "commctrl.h"
#include "command_output.h"
#include "file_text.h"
#include "globe_app.h"
#include "movie_reader.h"
#include "png_image.h"
#include "scratch_dir.h"
#include "settings_distribution.h"
#include "win32ext.h"
#include "window_test_support.h"

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
      if (!preload_.empty()) {
        setenv("LD_PRELOAD", preload_.c_str(), 1);
        asan += ":verify_asan_link_order=0";  // the preloaded library comes before the sanitizer's
      }
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

  std::string preload_;  // a library the runs preload, when set
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

// A frame BMP the recording leaves (uncompressed, 24 or 32 bits, bottom-up) as
// 0x00RRGGBB rows top to bottom; empty when the file is not such a BMP.
testsupport::Image ReadFrameBmp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
  };
  testsupport::Image image;
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return image;
  uint32_t offset = u32(10), width = u32(18), height = u32(22), bits = uint8_t(bytes[28]);
  if ((bits != 24 && bits != 32) || width == 0 || width > 16384 || height == 0 || height > 16384) return image;
  size_t pitch = (size_t(width) * bits / 8 + 3) & ~size_t{3};
  if (offset > bytes.size() || bytes.size() - offset < pitch * height) return image;
  image.width = width;
  image.height = height;
  for (uint32_t y = 0; y < height; ++y) {
    const char* row = bytes.data() + offset + (height - 1 - y) * pitch;
    for (uint32_t x = 0; x < width; ++x) {
      const char* p = row + size_t(x) * bits / 8;
      image.argb.push_back(uint32_t(uint8_t(p[2])) << 16 | uint32_t(uint8_t(p[1])) << 8 | uint8_t(p[0]));
    }
  }
  return image;
}

// The globe's outline with smooth edges. Frame 8 of a 640x480 recording with 4 samples
// per pixel, and without, is measured against the same frame (same spin angle) recorded
// four times as large and box-filtered down by 4. Pixel centres lie on whole
// coordinates, so small pixel i covers large pixels 4i - 2 to 4i + 2 with the outer two
// cut in half: the box is weighted 1/2, 1, 1, 1, 1/2 on each axis. The globe wears a
// plain green picture, so the large frame tells which of its pixels are globe: the
// edge is the set of pixels whose box is partly globe. The runs' clock is slowed down,
// so that the first frame (which turns the globe by the time start-up took) adds next
// to no spin and frame 8 has the same spin angle at every size.
// The mean error there with smooth edges comes out at about 42% of the one without
// (35% is what 4 standard samples give against exact coverage): the large frame
// locates the outline only to 1/8 pixel, as the 4 samples do, on a grid half a step
// away from theirs, which adds to the measured error: the same frames against a frame
// eight times as large (outline to 1/16 pixel) give 36%. Nothing but the outline is in
// it: a plain backdrop in place of the stars gives the same ratios, and away from the
// outline both frames match the reference to within 0.1 of a level. The bound is 45%;
// 2 samples give about 62%, 8 samples about 27%.
TEST_F(Program, SmoothEdgesComeCloseToAFrameRenderedFourTimesAsLargeAndScaledDown) {
  preload_ = VESK_SLOW_CLOCK;
  testsupport::Image green{64, 32, std::vector<uint32_t>(64 * 32, 0xFF00FF00u)};
  ASSERT_TRUE(testsupport::WritePng((work_ / "green.png").string(), green));
  auto frame = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"-n", "8", "-t", "green.png", "-o", "movie.avi"});
    Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    testsupport::Image image = ReadFrameBmp(work_ / "BMP" / "Vesk008.bmp");
    fs::remove(work_ / "movie.avi");
    return image;
  };
  testsupport::Image smooth = frame({"--antialias", "4"});
  testsupport::Image plain = frame({});
  testsupport::Image large = frame({"-s", "2560x1920"});
  ASSERT_EQ(smooth.width, 640u);
  ASSERT_EQ(plain.width, 640u);
  ASSERT_EQ(large.width, 2560u);
  ASSERT_EQ(large.height, 1920u);
  auto channel = [](uint32_t rgb, int shift) { return int(rgb >> shift & 0xFF); };
  auto isGlobe = [&](uint32_t rgb) { return channel(rgb, 8) > channel(rgb, 16) + 100 && channel(rgb, 8) > channel(rgb, 0) + 100; };
  double smoothError = 0, plainError = 0;
  int edgePixels = 0;
  for (int y = 1; y < 479; ++y) {
    for (int x = 1; x < 639; ++x) {
      int globe = 0, outside = 0;
      double sum[3] = {};
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
          uint32_t rgb = large.argb[size_t(4 * y + dy) * 2560 + size_t(4 * x + dx)];
          (isGlobe(rgb) ? globe : outside) += 1;
          double weight = (dx == -2 || dx == 2 ? 0.5 : 1.0) * (dy == -2 || dy == 2 ? 0.5 : 1.0);
          for (int c = 0; c < 3; ++c) sum[c] += weight * channel(rgb, 8 * c);
        }
      }
      if (globe == 0 || outside == 0) continue;
      ++edgePixels;
      for (int c = 0; c < 3; ++c) {
        double reference = sum[c] / 16.0;
        smoothError += std::abs(channel(smooth.argb[size_t(y) * 640 + x], 8 * c) - reference) / 3;
        plainError += std::abs(channel(plain.argb[size_t(y) * 640 + x], 8 * c) - reference) / 3;
      }
    }
  }
  ASSERT_GT(edgePixels, 500) << "the globe's outline runs through the frame";
  smoothError /= edgePixels;
  plainError /= edgePixels;
  std::printf("edge pixels %d: mean error %.2f with 4 samples, %.2f without\n", edgePixels, smoothError, plainError);
  EXPECT_LE(smoothError, 0.45 * plainError);
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

// ---- Seamless loops, live pace and camera paths ------------------------------------

// A globe picture whose red and green say the longitude: 128 + 127 cos and sin of it, so
// that the longitude at the globe's centre can be read back from any frame.
void WriteLongitudePicture(const fs::path& path) {
  testsupport::Image picture{256, 128, {}};
  for (uint32_t y = 0; y < picture.height; ++y) {
    for (uint32_t x = 0; x < picture.width; ++x) {
      double longitude = 2 * M_PI * (x + 0.5) / picture.width;
      auto red = uint32_t(std::lround(128 + 127 * std::cos(longitude)));
      auto green = uint32_t(std::lround(128 + 127 * std::sin(longitude)));
      picture.argb.push_back(0xFF000000u | red << 16 | green << 8);
    }
  }
  ASSERT_TRUE(testsupport::WritePng(path.string(), picture));
}

std::vector<movie::Frame> ReadFrames(const fs::path& path) {
  std::string error;
  std::unique_ptr<movie::MovieReader> reader = movie::MovieReader::Open(path.string(), &error);
  std::vector<movie::Frame> frames;
  if (!reader) {
    ADD_FAILURE() << path << ": " << error;
    return frames;
  }
  for (int64_t i = 0; i < reader->Info().frameCount; ++i) {
    frames.emplace_back();
    if (!reader->ReadFrame(i, &frames.back(), &error)) ADD_FAILURE() << path << " frame " << i << ": " << error;
  }
  return frames;
}

// Degrees of longitude at the centre of the frame: the mean colour of a patch there, whose
// columns lie symmetrically about the centre, so that the mean keeps the centre's angle.
double CentreLongitude(const movie::Frame& frame) {
  double red = 0, green = 0;
  for (int y = frame.height / 2 - 3; y <= frame.height / 2 + 3; ++y) {
    for (int x = frame.width / 2 - 12; x <= frame.width / 2 + 12; ++x) {
      const uint8_t* pixel = &frame.rgb[(size_t(y) * frame.width + x) * 3];
      red += pixel[0] - 128.0;
      green += pixel[1] - 128.0;
    }
  }
  return std::atan2(green, red) * 180 / M_PI;
}

// b - a in degrees, in (-180, 180].
double Turn(double a, double b) {
  double d = std::fmod(b - a, 360.0);
  if (d > 180) d -= 360;
  if (d <= -180) d += 360;
  return d;
}

// Every step from one frame to the next, and from the last back to the first, is the
// same turn: 360 x turns / frames degrees one way (spin forward and backward turn
// opposite ways), measured within half a degree (the picture's colours are quantised
// to 5 and 6 bits on the globe). Two runs give the same movie, byte for byte.
TEST_F(Program, ASeamlessLoopTurnsEvenlyFromTheLastFrameBackToTheFirstAndRepeatsExactly) {
  WriteLongitudePicture(work_ / "longitude.png");
  struct Case {
    std::vector<std::string> options;
    double step;  // degrees of spin a frame
    bool backward;
  };
  double forwardSign = 0;
  for (const Case& loop : {Case{{"--turns", "1"}, 15, false}, Case{{"--turns", "1", "--spin", "backward"}, 15, true},
                           Case{{"--turns", "3"}, 45, false}}) {
    std::vector<std::string> arguments = {"-n", "24", "-s", "240x180", "-t", "longitude.png", "-o", "loop.avi"};
    arguments.insert(arguments.end(), loop.options.begin(), loop.options.end());
    Outcome first = Run(arguments);
    ASSERT_EQ(first.status, 0) << first.err;
    std::vector<movie::Frame> frames = ReadFrames(work_ / "loop.avi");
    ASSERT_EQ(frames.size(), 24u);
    double sign = Turn(CentreLongitude(frames[0]), CentreLongitude(frames[1])) > 0 ? 1 : -1;
    if (loop.backward) {
      EXPECT_EQ(sign, -forwardSign) << "backward turns the other way";
    } else {
      forwardSign = sign;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
      double step = Turn(CentreLongitude(frames[i]), CentreLongitude(frames[(i + 1) % frames.size()]));
      EXPECT_NEAR(step, sign * loop.step, 0.5) << arguments.back() << " from frame " << i + 1;
    }
  }
  std::string lastMovie = testsupport::FileText(work_ / "loop.avi");
  ASSERT_EQ(Run({"-n", "24", "-s", "240x180", "-t", "longitude.png", "-o", "again.avi", "--turns", "3"}).status, 0);
  EXPECT_TRUE(testsupport::FileText(work_ / "again.avi") == lastMovie) << "a second run gives the same movie";
}

// Frames no faster than the movie's 10 a second: 20 frames take about 2 seconds (at
// least the 1.9 seconds between the first and the last), each counted on standard error.
TEST_F(Program, TheLivePaceRecordsAtTheMoviesRateAndCountsTheFrames) {
  auto start = std::chrono::steady_clock::now();
  Outcome outcome = Run({"--pace", "live", "-n", "20", "-s", "100x100", "-o", "live.avi"});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_GE(seconds, 1.5);
  std::string counted;
  for (int frame = 1; frame <= 20; ++frame) counted += "vesk: frame " + std::to_string(frame) + " of 20\n";
  EXPECT_EQ(outcome.err, counted);
  EXPECT_NE(Probe(work_ / "live.avi").find("nb_read_frames=20\n"), std::string::npos);
}

// Without a pace nothing is counted (the fast pace counts, as fast as the loop runs).
TEST_F(Program, OnlyAChosenPaceCountsTheFrames) {
  Outcome plain = Run({"-n", "2", "--turns", "1", "-s", "100x100", "-o", "plain.avi"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "");
  Outcome fast = Run({"--pace", "fast", "-n", "2", "--turns", "1", "-s", "100x100", "-o", "fast.avi"});
  ASSERT_EQ(fast.status, 0) << fast.err;
  EXPECT_EQ(fast.err, "vesk: frame 1 of 2\nvesk: frame 2 of 2\n");
  EXPECT_TRUE(testsupport::FileText(work_ / "plain.avi") == testsupport::FileText(work_ / "fast.avi"))
      << "the count changes nothing else";
}

// The program's own scene, run in this process as vesk runs it, with a user's drags
// given through the window's input while it records: a left drag (the spin stops while
// it lasts) and a right one (a pan).
class DraggedGlobe : public GlobeApp {
 public:
  void FrameCaptured(int32_t number) override {
    GlobeApp::FrameCaptured(number);
    using testsupport::ButtonEvent;
    using testsupport::MotionEvent;
    if (number == 3) {
      win32ext::InjectInput(ButtonEvent(window, SDL_BUTTON_LEFT, true, 120, 90));
      win32ext::InjectInput(MotionEvent(window, 150, 70));
    } else if (number == 5) {
      win32ext::InjectInput(MotionEvent(window, 180, 75));
      win32ext::InjectInput(ButtonEvent(window, SDL_BUTTON_LEFT, false, 180, 75));
    } else if (number == 7) {
      win32ext::InjectInput(ButtonEvent(window, SDL_BUTTON_RIGHT, true, 120, 90));
      win32ext::InjectInput(MotionEvent(window, 100, 105));
      win32ext::InjectInput(ButtonEvent(window, SDL_BUTTON_RIGHT, false, 100, 105));
    }
  }
};

int RecordDraggedGlobe() {
  RecordingSettings record{};
  std::strcpy(record.movieFile, "dragged.avi");
  std::strcpy(record.textureFile, "globe.png");
  record.width = 240;
  record.height = 180;
  record.frameCount = 10;
  record.spinForward = 1;
  record.highTessellation = 1;
  std::strcpy(record.outputKinds, "non");
  RecordingExtras extras{};
  extras.size = sizeof extras;
  std::strcpy(extras.savePathFile, "dragged.path");
  DraggedGlobe app;
  if (!DistributeSettings(record, app, extras)) return 20;
  InitCommonControls();
  if (FAILED(app.Create(GetModuleHandleA(nullptr)))) return 21;
  int status = app.Run();
  return app.SaveCameraPath() ? status : 22;
}

// The saved path replayed at the same size is the same movie byte for byte; at twice the
// size each frame, shrunk by averaging 2x2 pixels, is the first movie's frame but at the
// globe's and the stars' edges, which the finer sampling draws a little differently.
TEST_F(Program, ASavedCameraPathReplaysTheDraggedRecordingExactlyAndAtTwiceTheSize) {
  for (const fs::directory_entry& entry : fs::directory_iterator(VESK_MEDIA_DIR))
    fs::copy_file(entry.path(), work_ / entry.path().filename());
  pid_t child = fork();
  if (child == 0) {
    _exit(chdir(work_.c_str()) == 0 ? RecordDraggedGlobe() : 126);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  std::string path = testsupport::FileText(work_ / "dragged.path");
  EXPECT_EQ(path.rfind("vesk-camera-path 1\n", 0), 0u) << path;
  EXPECT_EQ(std::count(path.begin(), path.end(), '\n'), 12) << "header, comment and 10 frames:\n" << path;

  Outcome same = Run({"--path", "dragged.path", "-s", "240x180", "-o", "same.avi"});
  ASSERT_EQ(same.status, 0) << same.err;
  std::string dragged = testsupport::FileText(work_ / "dragged.avi");
  ASSERT_FALSE(dragged.empty());
  EXPECT_TRUE(testsupport::FileText(work_ / "same.avi") == dragged);

  Outcome twice = Run({"--path", "dragged.path", "-s", "480x360", "-o", "twice.avi"});
  ASSERT_EQ(twice.status, 0) << twice.err;
  std::vector<movie::Frame> small = ReadFrames(work_ / "dragged.avi"), large = ReadFrames(work_ / "twice.avi");
  ASSERT_EQ(small.size(), 10u);
  ASSERT_EQ(large.size(), 10u);
  for (size_t i = 0; i < small.size(); ++i) {
    ASSERT_EQ(large[i].width, 480);
    double total = 0;
    int far = 0;
    for (int y = 0; y < 180; ++y) {
      for (int x = 0; x < 240; ++x) {
        for (int c = 0; c < 3; ++c) {
          auto at = [&](int dx, int dy) { return large[i].rgb[(size_t(2 * y + dy) * 480 + 2 * x + dx) * 3 + c]; };
          double shrunk = (at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1)) / 4.0;
          double difference = std::fabs(shrunk - small[i].rgb[(size_t(y) * 240 + x) * 3 + c]);
          total += difference;
          far += difference > 48;
        }
      }
    }
    EXPECT_LT(total / (240 * 180 * 3), 4.0) << "mean difference, frame " << i + 1;
    EXPECT_LT(far, 240 * 180 * 3 / 100) << "channels more than 48 apart, frame " << i + 1;
  }
}

// A damaged or hostile path is refused before anything opens or is written, with one
// line that names the file and the line.
TEST_F(Program, ADamagedCameraPathIsRefusedWithOneLineNamingTheFileAndTheLine) {
  const std::string good = "0 0 0 0 1 0 0 0 0 -3\n";
  struct Case {
    std::string text, expected;
  };
  std::string huge = "vesk-camera-path 1\n";
  for (int i = 0; i < 100000; ++i) huge += good;
  for (const Case& bad :
       {Case{"vesk-camera-path 1\n" + good + "0 0 0 0 1 0 0 zero 0 -3\n", "line 3: 'zero' is not a number"},
        Case{"vesk-camera-path 1\n0 0 0 0 nan 0 0 0 0 -3\n", "line 2: 'nan' is not a finite number"},
        Case{"vesk-camera-path 1\n" + good + "0 0 0 0 1 0 0", "line 3: a frame is 10 numbers"},
        Case{"vesk-camera-path 1\n0 0 0 0 1 1e39 0 0 0 -3\n", "line 2: '1e39' is out of range"},
        Case{"vesk-camera-path 1\n0 0 0 0 2 0 0 0 0 -3\n", "line 2: the orientation x y z w must have length 1"},
        Case{"vesk-camera-path 1\n# nothing else\n", "line 2: the path ends before its first frame"},
        Case{std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), "line 1: not a camera path"},
        Case{std::string("\0\x01\x02\xff junk\n", 9), "line 1: not text"},
        Case{"vesk-camera-path 2\n" + good, "line 1: not a camera path"},
        Case{huge, "line 100001: more than 99999 frames"}}) {
    std::ofstream(work_ / "bad.path", std::ios::binary) << bad.text;
    Outcome outcome = Run({"--path", "bad.path", "-o", "never.avi"});
    EXPECT_EQ(outcome.status, 2) << bad.expected;
    EXPECT_EQ(outcome.err.rfind("vesk: cannot follow the camera path 'bad.path': " + bad.expected, 0), 0u)
        << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line: " << outcome.err;
    EXPECT_FALSE(fs::exists(work_ / "never.avi"));
    EXPECT_FALSE(fs::exists(work_ / "BMP")) << "no frame was recorded";
  }
  fs::resize_file(work_ / "bad.path", 100u << 20);  // a 100 MB file is not read at all
  Outcome large = Run({"--path", "bad.path"});
  EXPECT_EQ(large.status, 2);
  EXPECT_EQ(large.err, "vesk: cannot follow the camera path 'bad.path': larger than 32 MiB, which no camera path is\n");
  Outcome unwritable = Run({"-n", "2", "--save-path", "no-such-folder/x.path"});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_EQ(unwritable.err, "vesk: cannot write the camera path 'no-such-folder/x.path': No such file or directory\n");
  fs::create_directory(work_ / "a-folder.path");
  Outcome folder = Run({"-n", "2", "--save-path", "a-folder.path"});
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.err.rfind("vesk: cannot write the camera path 'a-folder.path': ", 0), 0u) << folder.err;
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
