// The movie reader on movies from the project's own writer: finished, spread over
// several RIFFs, stopped without an index, cut short, and damaged in every way a
// hostile file can be, which must fail cleanly and never crash or hang.
#include "movie_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "command_output.h"
#include "file_text.h"
#include "scratch_dir.h"
#include "test_movie.h"

namespace {

using movie::Frame;
using movie::MovieReader;
using movie_test::MovieShape;
using movie_test::Picture;
using testsupport::ScratchDir;

std::unique_ptr<MovieReader> OpenOk(const std::string& path) {
  std::string error;
  auto reader = MovieReader::Open(path, &error);
  EXPECT_NE(reader, nullptr) << error;
  return reader;
}

void ExpectFrame(MovieReader& reader, int64_t index, const MovieShape& shape) {
  Frame frame;
  std::string error;
  ASSERT_TRUE(reader.ReadFrame(index, &frame, &error)) << "frame " << index << ": " << error;
  const Frame expected = Picture(shape.width, shape.height, static_cast<int>(index));
  EXPECT_EQ(frame.width, expected.width);
  EXPECT_EQ(frame.height, expected.height);
  EXPECT_TRUE(frame.rgb == expected.rgb) << "frame " << index << " differs";
}

std::string OpenError(const std::string& path) {
  std::string error;
  auto reader = MovieReader::Open(path, &error);
  EXPECT_EQ(reader, nullptr) << path;
  return error;
}

// An odd width pads the stored rows; the frames come back exact, top row first.
TEST(MovieReaderTest, FinishedMovieGivesEveryFrameExactly) {
  ScratchDir dir;
  const MovieShape shape{.width = 61, .height = 35, .frames = 7};
  movie_test::WriteMovie(dir / "m.avi", shape);
  auto reader = OpenOk(dir / "m.avi");
  ASSERT_NE(reader, nullptr);
  const movie::MovieInfo& info = reader->Info();
  EXPECT_EQ(info.width, 61);
  EXPECT_EQ(info.height, 35);
  EXPECT_EQ(info.rateNum, 10);
  EXPECT_EQ(info.rateDen, 1);
  EXPECT_EQ(info.frameCount, 7);
  EXPECT_FALSE(info.truncated);
  for (int64_t i = 0; i < 7; ++i) ExpectFrame(*reader, i, shape);
}

TEST(MovieReaderTest, FramesComeInAnyOrder) {
  ScratchDir dir;
  const MovieShape shape{.frames = 9};
  movie_test::WriteMovie(dir / "m.avi", shape);
  auto reader = OpenOk(dir / "m.avi");
  ASSERT_NE(reader, nullptr);
  for (int64_t i : {5, 2, 3, 0, 8, 8, 1, 7}) ExpectFrame(*reader, i, shape);
  Frame frame;
  std::string error;
  EXPECT_FALSE(reader->ReadFrame(9, &frame, &error));
  EXPECT_NE(error.find("not in the movie"), std::string::npos) << error;
  EXPECT_FALSE(reader->ReadFrame(-1, &frame, &error));
}

TEST(MovieReaderTest, RateComesFromTheStreamHeader) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 2, .rate = 30000, .scale = 1001});
  auto reader = OpenOk(dir / "m.avi");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->Info().rateNum, 30000);
  EXPECT_EQ(reader->Info().rateDen, 1001);
}

// Small RIFFs spread the frames over several of them, as a movie past 1 GB is.
TEST(MovieReaderTest, MovieOverSeveralRiffsReadsThrough) {
  ScratchDir dir;
  MovieShape shape{.width = 32, .height = 24, .frames = 40};
  shape.limits.riffBytes = 16 * 1024;
  movie_test::WriteMovie(dir / "m.avi", shape);
  auto reader = OpenOk(dir / "m.avi");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->Info().frameCount, 40);
  EXPECT_FALSE(reader->Info().truncated);
  for (int64_t i : {0, 1, 39, 20, 21, 22}) ExpectFrame(*reader, i, shape);
}

// A writer stopped between two frames leaves no index: the frames are counted and
// each one can still be read, also out of order.
TEST(MovieReaderTest, MovieWithoutIndexIsCountedAndRead) {
  ScratchDir dir;
  MovieShape shape{.frames = 12, .finish = false};
  shape.limits.riffBytes = 16 * 1024;
  movie_test::WriteMovie(dir / "m.avi", shape);
  auto reader = OpenOk(dir / "m.avi");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->Info().frameCount, 12);
  EXPECT_FALSE(reader->Info().truncated);
  for (int64_t i : {0, 1, 11, 4, 5, 2}) ExpectFrame(*reader, i, shape);
}

// A copy cut short in the middle of a frame: the whole frames before the cut are there,
// and the reader says the movie is shorter than its headers promise.
TEST(MovieReaderTest, CutMovieKeepsItsWholeFrames) {
  ScratchDir dir;
  const MovieShape shape{.frames = 10};
  movie_test::WriteMovie(dir / "m.avi", shape);
  std::vector<uint8_t> bytes = avi2_test::ReadFile(dir / "m.avi");
  const size_t frameBytes = 64 * 3 * 48;
  bytes.resize(bytes.size() - 16 * 10 - 8 - frameBytes * 4 - frameBytes / 2);
  avi2_test::WriteFile(dir / "cut.avi", bytes);
  auto reader = OpenOk(dir / "cut.avi");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->Info().frameCount, 5);
  EXPECT_TRUE(reader->Info().truncated);
  for (int64_t i : {0, 4, 2}) ExpectFrame(*reader, i, shape);
}

TEST(MovieReaderTest, FilesThatAreNoMovieAreRefusedWithTheReason) {
  ScratchDir dir;
  EXPECT_NE(OpenError(dir / "missing.avi").find("cannot open the file"), std::string::npos);
  // A FIFO would block a reader for ever: it is refused at once, as is a folder.
  ASSERT_EQ(mkfifo((dir / "fifo.avi").c_str(), 0666), 0);
  EXPECT_EQ(OpenError(dir / "fifo.avi"), "not a regular file");
  std::filesystem::create_directory(dir / "folder.avi");
  EXPECT_EQ(OpenError(dir / "folder.avi"), "not a regular file");
  avi2_test::WriteFile(dir / "empty.avi", {});
  EXPECT_EQ(OpenError(dir / "empty.avi"), "not an AVI file");
  const std::string text = "this is a text file, not a movie";
  avi2_test::WriteFile(dir / "text.avi", {text.begin(), text.end()});
  EXPECT_EQ(OpenError(dir / "text.avi"), "not an AVI file");
  const std::vector<uint8_t> wave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
  avi2_test::WriteFile(dir / "wave.avi", wave);
  EXPECT_EQ(OpenError(dir / "wave.avi"), "not an AVI file");
  std::vector<uint8_t> headOnly = wave;
  std::memcpy(&headOnly[8], "AVI ", 4);
  avi2_test::WriteFile(dir / "head.avi", headOnly);
  EXPECT_NE(OpenError(dir / "head.avi"), "");
}

TEST(MovieReaderTest, MovieWithoutFramesIsRefused) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 0});
  EXPECT_EQ(OpenError(dir / "m.avi"), "no frames");
}

// The frame size in the stream format (BITMAPINFOHEADER at offset 164 + 8) is the one
// the demuxer reports; absurd values are refused before anything is allocated.
TEST(MovieReaderTest, AbsurdSizesAreRefused) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 2});
  const std::vector<uint8_t> good = avi2_test::ReadFile(dir / "m.avi");
  struct Case {
    int32_t width, height;
    const char* error;
  };
  for (const Case& c : {Case{0, 48, "size 0x48"}, Case{64, 0, "size 64x0"},
                        Case{16385, 48, "size 16385x48 is larger than this program handles"},
                        Case{100, 16385, "size 100x16385 is larger than this program handles"},
                        Case{16384, 16385, "size 16384x16385 is larger than this program handles"}}) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[176], &c.width, 4);
    std::memcpy(&bytes[180], &c.height, 4);
    avi2_test::WriteFile(dir / "bad.avi", bytes);
    EXPECT_EQ(OpenError(dir / "bad.avi"), c.error) << c.width << "x" << c.height;
  }
}

// Truncations at many lengths and random byte damage: each either opens and reads its
// frames or fails with a reason; none may crash (the sanitizer build checks the reads).
TEST(MovieReaderTest, DamagedMoviesFailCleanly) {
  ScratchDir dir;
  MovieShape shape{.width = 16, .height = 8, .frames = 6};
  shape.limits.riffBytes = 2048;
  movie_test::WriteMovie(dir / "m.avi", shape);
  const std::vector<uint8_t> good = avi2_test::ReadFile(dir / "m.avi");
  std::mt19937 random(1234);
  auto tryMovie = [&](const std::vector<uint8_t>& bytes) {
    avi2_test::WriteFile(dir / "bad.avi", bytes);
    std::string error;
    auto reader = MovieReader::Open(dir / "bad.avi", &error);
    if (!reader) {
      EXPECT_FALSE(error.empty());
      return;
    }
    Frame frame;
    for (int64_t i = reader->Info().frameCount - 1; i >= 0; --i) {
      if (reader->ReadFrame(i, &frame, &error))
        EXPECT_EQ(frame.rgb.size(), static_cast<size_t>(frame.width) * frame.height * 3);
      else
        EXPECT_FALSE(error.empty());
    }
  };
  for (size_t length = 0; length < good.size(); length += 37)
    tryMovie({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)});
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good;
    const int damage = 1 + static_cast<int>(random() % 8);
    for (int d = 0; d < damage; ++d) {
      const size_t at = random() % std::min<size_t>(bytes.size(), round % 2 ? bytes.size() : 400);
      bytes[at] = static_cast<uint8_t>(random());
    }
    tryMovie(bytes);
  }
}

// Movies from elsewhere, made by ffmpeg: MPEG-4 and H.264 with B-frames (pictures
// reordered, timestamps missing or guessed) and one with a gap in its timestamps. Each
// frame, read in any order, is the picture ffmpeg itself decodes at that place.
TEST(MovieReaderTest, BFramesAndTimestampGapsAreReadInDecodingOrder) {
  testsupport::ScratchDir dir;
  const std::string source = " -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 12 ";
  const std::pair<const char*, std::string> movies[] = {
      {"mpeg4-b.avi", "-c:v mpeg4 -bf 2 -q:v 2"},
      {"h264-b.avi", "-c:v libx264 -bf 2 -crf 10"},
      {"gap.avi", "-vf select='not(between(n\\,3\\,5))' -fps_mode passthrough -c:v mpeg4 -q:v 2"},
  };
  for (const auto& [name, options] : movies) {
    const std::string movie = dir / name;
    const std::string raw = movie + ".rgb";
    ASSERT_EQ(std::system((std::string(VESK_FFMPEG) + source + options + " '" + movie + "'").c_str()), 0) << name;
    // Converted to RGB as the reader converts.
    ASSERT_EQ(std::system((std::string(VESK_FFMPEG) + " -v error -i '" + movie +
                           "' -fps_mode passthrough -sws_flags bicubic+accurate_rnd+full_chroma_int"
                           " -f rawvideo -pix_fmt rgb24 '" + raw + "'").c_str()),
              0);
    const std::string expected = testsupport::FileText(raw);
    std::string error;
    auto reader = movie::MovieReader::Open(movie, &error);
    ASSERT_NE(reader, nullptr) << name << ": " << error;
    const size_t frameBytes = 64 * 48 * 3;
    const int64_t count = reader->Info().frameCount;
    EXPECT_EQ(count * frameBytes, expected.size()) << name;
    EXPECT_FALSE(reader->Info().truncated) << name;
    // The mean difference from ffmpeg's picture at each place (the two convert to RGB
    // a little differently, and the test pattern moves a lot from frame to frame).
    auto distance = [&](const movie::Frame& frame, int64_t at) {
      double sum = 0;
      for (size_t i = 0; i < frameBytes; ++i)
        sum += std::abs(int(frame.rgb[i]) - int(uint8_t(expected[size_t(at) * frameBytes + i])));
      return sum / frameBytes;
    };
    for (int64_t index : std::initializer_list<int64_t>{0, 1, 2, 5, 3, count - 1, 4, 0}) {
      movie::Frame frame;
      ASSERT_TRUE(reader->ReadFrame(index, &frame, &error)) << name << " frame " << index << ": " << error;
      const double own = distance(frame, index);
      EXPECT_LT(own, 3.0) << name << " frame " << index;
      for (int64_t other : {index - 1, index + 1}) {
        if (other < 0 || other >= count) continue;
        EXPECT_LT(own, distance(frame, other)) << name << " frame " << index;
      }
    }
  }
}

}  // namespace
