// The whole program, run headless in a directory of its own: a short recording checked
// with ffprobe, the help text, and command lines it refuses before anything happens.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
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
#include "png_image.h"
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
      if (!preload_.empty()) {
        setenv("LD_PRELOAD", preload_.c_str(), 1);
        asan += ":verify_asan_link_order=0";  // the preloaded library comes before the sanitizer's
      }
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
// away from theirs, which adds to the measured error. The bound is 45%; 2 samples give
// about 62%, 8 samples about 27%.
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

}  // namespace
