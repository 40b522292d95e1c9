// Conversions of movies from the project's own writer, checked with the readers people
// use: ffmpeg and ffprobe (GIF, MPEG-1) and ImageMagick (GIF timing, MNG). Also the
// failures: each leaves neither the output nor a temporary file behind.
#include "conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "test_movie.h"

namespace {

using convert::Format;
using convert::Outcome;
using movie_test::FilesIn;
using movie_test::Text;
using movie_test::MovieShape;
using movie_test::Picture;
using testsupport::ScratchDir;

Outcome ConvertFile(const std::string& input, Format format, const std::string& output = "") {
  return convert::Convert({input, output, format, convert::kDefaultQuality}, nullptr);
}

struct Converted {
  explicit Converted(const MovieShape& movie) : shape(movie) {}
  ScratchDir dir;
  MovieShape shape;
  Outcome outcome;
};

// Writes the movie "m.avi" and converts it; the folder then holds exactly the two files.
void ConvertMovie(Converted& c, Format format) {
  movie_test::WriteMovie(c.dir / "m.avi", c.shape);
  c.outcome = ConvertFile(c.dir / "m.avi", format);
  ASSERT_EQ(c.outcome.status, Outcome::kDone) << c.outcome.errorFile << ": " << c.outcome.error;
  EXPECT_EQ(c.outcome.output, c.dir / ("m" + std::string(convert::Extension(format))));
  EXPECT_EQ(FilesIn(c.dir.path()), (std::set<std::string>{"m.avi", "m" + std::string(convert::Extension(format))}));
}

// ImageMagick's view of every frame: delay in hundredths, stored size, canvas size.
std::vector<std::string> IdentifyFrames(const std::string& path) {
  std::istringstream lines(Text(avi2_test::CommandOutput("identify -format '%T %w %h %W %H\\n' " +
                                                         avi2_test::Quote(path))));
  std::vector<std::string> frames;
  for (std::string line; std::getline(lines, line);) frames.push_back(line);
  return frames;
}

// An odd size; frames differ in a moving square only, so later frames store a part.
TEST(ConversionTest, GifLoopsAtTheMovieRateWithChangedRectangles) {
  Converted c(MovieShape{.width = 61, .height = 47, .frames = 8});
  ConvertMovie(c, Format::Gif);
  const std::vector<uint8_t> gif = avi2_test::ReadFile(c.outcome.output);
  EXPECT_NE(Text(gif).find("NETSCAPE2.0"), std::string::npos);
  const std::vector<std::string> frames = IdentifyFrames(c.outcome.output);
  ASSERT_EQ(frames.size(), 8u);
  EXPECT_EQ(frames[0], "10 61 47 61 47");
  for (size_t i = 1; i < frames.size(); ++i) {
    int delay, width, height, canvasWidth, canvasHeight;
    std::istringstream(frames[i]) >> delay >> width >> height >> canvasWidth >> canvasHeight;
    EXPECT_EQ(delay, 10) << i;
    EXPECT_LT(width * height, 61 * 47 / 2) << "frame " << i << " stores more than its change";
    EXPECT_EQ(canvasWidth, 61);
    EXPECT_EQ(canvasHeight, 47);
  }
  // Decoded (composited) frames are close to the source: dithered, so not exact.
  const auto decoded = avi2_test::Decode(c.outcome.output, 61, 47);
  ASSERT_EQ(decoded.size(), 8u);
  for (int i = 0; i < 8; ++i)
    EXPECT_GT(movie_test::Psnr(movie_test::FromBgr(decoded[i]), Picture(61, 47, i)), 30.0) << "frame " << i;
  const std::string ssim = Text(avi2_test::CommandOutput(
      "ffmpeg -v info -nostats -i " + avi2_test::Quote(c.outcome.output) + " -i " +
      avi2_test::Quote(c.dir / "m.avi") + " -lavfi ssim -f null - 2>&1 | sed -n 's/.*All:\\([0-9.]*\\).*/\\1/p'"));
  EXPECT_GT(std::stod(ssim.empty() ? "0" : ssim), 0.9);
}

// Hundredths rounded on the running total: 30 frames/s alternate 3 and 4.
TEST(ConversionTest, GifDelaysAddUpToTheMovieLength) {
  Converted c(MovieShape{.width = 16, .height = 16, .frames = 6, .rate = 30, .scale = 1});
  ConvertMovie(c, Format::Gif);
  std::vector<int> delays;
  for (const std::string& frame : IdentifyFrames(c.outcome.output)) delays.push_back(std::stoi(frame));
  EXPECT_EQ(delays, (std::vector<int>{3, 4, 3, 3, 4, 3}));
}

// Equal frames still count: a 1x1 transparent frame keeps the count and the timing.
TEST(ConversionTest, GifKeepsFramesThatRepeatTheOneBefore) {
  Converted c(MovieShape{.width = 20, .height = 10, .frames = 3, .rate = 1, .scale = 1, .motion = 0});
  ConvertMovie(c, Format::Gif);
  EXPECT_EQ(IdentifyFrames(c.outcome.output),
            (std::vector<std::string>{"100 20 10 20 10", "100 1 1 20 10", "100 1 1 20 10"}));
}

TEST(ConversionTest, MngHoldsEveryFrameExactlyAtTheMovieRate) {
  Converted c(MovieShape{.width = 33, .height = 21, .frames = 5});
  ConvertMovie(c, Format::Mng);
  const std::vector<uint8_t> mng = avi2_test::ReadFile(c.outcome.output);
  ASSERT_GT(mng.size(), 60u);
  EXPECT_EQ(Text({mng.begin() + 1, mng.begin() + 4}), "MNG");
  EXPECT_EQ(Text({mng.begin() + 12, mng.begin() + 16}), "MHDR");
  EXPECT_EQ(mng[27], 10) << "ticks per second";
  EXPECT_EQ(Text({mng.begin() + 52, mng.begin() + 56}), "TERM") << "TERM must follow MHDR";
  EXPECT_EQ(Text({mng.end() - 8, mng.end() - 4}), "MEND");
  const std::vector<std::string> frames = IdentifyFrames(c.outcome.output);
  ASSERT_EQ(frames.size(), 5u);
  for (const std::string& frame : frames) EXPECT_EQ(frame, "10 33 21 33 21");
  const std::vector<uint8_t> pixels =
      avi2_test::CommandOutput("convert " + avi2_test::Quote(c.outcome.output) + " -depth 8 rgb:-");
  const size_t frameBytes = 33 * 21 * 3;
  ASSERT_EQ(pixels.size(), frameBytes * 5);
  for (int i = 0; i < 5; ++i)
    EXPECT_TRUE(std::equal(pixels.begin() + frameBytes * i, pixels.begin() + frameBytes * (i + 1),
                           Picture(33, 21, i).rgb.begin()))
        << "frame " << i;
}

struct MpegCase {
  uint32_t rate, scale;
  const char* mpegRate;
  int repeat;  // output frames per movie frame
};

class MpegRateTest : public testing::TestWithParam<MpegCase> {};

// Each movie frame is shown repeat times at a standard rate; the padded size is even;
// the pictures are within 35 dB of the source at the default quality.
TEST_P(MpegRateTest, RepeatsFramesToAStandardRate) {
  const MpegCase& m = GetParam();
  Converted c(MovieShape{.width = 45, .height = 33, .frames = 6, .rate = m.rate, .scale = m.scale});
  ConvertMovie(c, Format::Mpeg1);
  const avi2_test::StreamFacts facts = avi2_test::Probe(c.outcome.output);
  EXPECT_EQ(facts.codec, "mpeg1video");
  EXPECT_EQ(facts.width, 46);
  EXPECT_EQ(facts.height, 34);
  EXPECT_EQ(facts.frameRate, m.mpegRate);
  EXPECT_EQ(facts.decodedFrames, 6 * m.repeat);
  const auto decoded = avi2_test::Decode(c.outcome.output, 46, 34);
  ASSERT_EQ(decoded.size(), static_cast<size_t>(6 * m.repeat));
  // Luma as MPEG is judged; the colours more loosely, since 4:2:0 halves their detail
  // around the square's sharp edges (a swapped plane would still fail).
  for (size_t j = 0; j < decoded.size(); ++j) {
    const movie::Frame source = Picture(45, 33, static_cast<int>(j) / m.repeat);
    const movie::Frame picture = movie_test::FromBgr(decoded[j]);
    EXPECT_GT(movie_test::Psnr(picture, source, movie_test::Channels::kLuma), 35.0) << "output frame " << j;
    EXPECT_GT(movie_test::Psnr(picture, source), 25.0) << "output frame " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, MpegRateTest,
                         testing::Values(MpegCase{1000000, 100000, "30/1", 3}, MpegCase{25, 1, "25/1", 1},
                                         MpegCase{12, 1, "24/1", 2}, MpegCase{30000, 1001, "30000/1001", 1},
                                         MpegCase{5, 1, "25/1", 5}));

// The quantiser follows --quality: a lower quality gives a smaller file.
TEST(ConversionTest, MpegQualitySetsTheQuantiser) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 96, .height = 64, .frames = 4});
  uint64_t bytes[2] = {};
  int at = 0;
  for (const int quality : {100, 60}) {
    const Outcome outcome = convert::Convert({dir / "m.avi", dir / "q.mpg", Format::Mpeg1, quality}, nullptr);
    ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.error;
    bytes[at++] = outcome.bytes;
  }
  EXPECT_GT(bytes[0], bytes[1] * 3 / 2);
}

TEST(ConversionTest, MpegRefusesPicturesLargerThanItsFormat) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 4100, .height = 2, .frames = 1});
  const Outcome outcome = ConvertFile(dir / "m.avi", Format::Mpeg1);
  EXPECT_EQ(outcome.status, Outcome::kFailed);
  EXPECT_EQ(outcome.error, "MPEG-1 holds pictures of at most 4095x4095");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
}

// Rates far from any MPEG-1 rate are refused before any work: a frame of 100,000 s would
// be written 3 million times, rates of millions a second drop every frame.
TEST(ConversionTest, MpegRefusesAbsurdRatesAndLeavesNoFile) {
  for (const auto& [rate, scale] : {std::pair<uint32_t, uint32_t>{1, 100000}, {1, 11}, {1001, 1},
                                    {0x7FFFFFFF, 1}, {0xFFFFFFFF, 1}}) {
    ScratchDir dir;
    movie_test::WriteMovie(dir / "m.avi", {.frames = 2, .rate = rate, .scale = scale});
    const Outcome outcome = ConvertFile(dir / "m.avi", Format::Mpeg1);
    EXPECT_EQ(outcome.status, Outcome::kFailed) << rate << "/" << scale;
    EXPECT_NE(outcome.error.find("is outside 0.1 to 1000"), std::string::npos) << outcome.error;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
  }
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 2, .rate = 1, .scale = 10});  // the slowest taken
  EXPECT_EQ(ConvertFile(dir / "m.avi", Format::Mpeg1).status, Outcome::kDone);
}

// A copy cut in the middle of frame 4: frames 0..3 are converted and the outcome says so.
TEST(ConversionTest, CutMovieConvertsTheFramesThatAreThere) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 16, .height = 8, .frames = 8});
  std::vector<uint8_t> bytes = avi2_test::ReadFile(dir / "m.avi");
  bytes.resize(bytes.size() - 8 - 16 * 8 - 16 * 8 * 3 * 4 + 100);
  avi2_test::WriteFile(dir / "m.avi", bytes);
  const Outcome outcome = ConvertFile(dir / "m.avi", Format::Gif);
  ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.error;
  EXPECT_TRUE(outcome.truncated);
  EXPECT_EQ(outcome.frames, 4);
  EXPECT_EQ(IdentifyFrames(outcome.output).size(), 4u);
}

// The bad inputs: one reason, naming the file it is about, and no file left behind.
TEST(ConversionTest, BadInputsFailAndLeaveNoFile) {
  ScratchDir dir;
  avi2_test::WriteFile(dir / "text.avi", {'h', 'e', 'l', 'l', 'o'});
  movie_test::WriteMovie(dir / "empty.avi", {.frames = 0});
  movie_test::WriteMovie(dir / "m.avi", {.frames = 2});
  struct Case {
    std::string input, output, error, errorFile;
  };
  for (const Case& c : {
           Case{dir / "text.avi", "", "not an AVI file", dir / "text.avi"},
           Case{dir / "empty.avi", "", "no frames", dir / "empty.avi"},
           Case{dir / "missing.avi", "", "cannot open the file: No such file or directory", dir / "missing.avi"},
           Case{dir / "m.avi", dir / "m.avi", "the output would replace the movie itself", dir / "m.avi"},
           Case{dir / "m.avi", dir / "m.avi/out.gif",
                "cannot create a file in its folder: Not a directory", dir / "m.avi/out.gif"},
           Case{dir / "m.avi", dir / "no folder/out.gif",
                "cannot create a file in its folder: No such file or directory", dir / "no folder/out.gif"},
       }) {
    const Outcome outcome = ConvertFile(c.input, Format::Gif, c.output);
    EXPECT_EQ(outcome.status, Outcome::kFailed) << c.input;
    EXPECT_EQ(outcome.error, c.error) << c.input;
    EXPECT_EQ(outcome.errorFile, c.errorFile) << c.input;
  }
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"text.avi", "empty.avi", "m.avi"}));
}

// Progress comes after every frame; returning false cancels and leaves no file.
TEST(ConversionTest, ProgressReportsEachFrameAndCancels) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 5});
  std::vector<int64_t> seen;
  const Outcome outcome = convert::Convert({dir / "m.avi", "", Format::Mng, 90}, [&](const convert::Progress& p) {
    seen.push_back(p.done);
    EXPECT_EQ(p.total, 5);
    EXPECT_GT(p.bytes, 0u);
    return p.done < 3;
  });
  EXPECT_EQ(outcome.status, Outcome::kCancelled);
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
}

// The GIF is written on a second thread: the file is the same from run to run, and a
// cancel in the middle stops that thread and leaves no file.
TEST(ConversionTest, GifFromTwoThreadsIsTheSameEachTimeAndCancels) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 80, .height = 60, .frames = 12});
  ASSERT_EQ(ConvertFile(dir / "m.avi", Format::Gif, dir / "a.gif").status, Outcome::kDone);
  ASSERT_EQ(ConvertFile(dir / "m.avi", Format::Gif, dir / "b.gif").status, Outcome::kDone);
  EXPECT_EQ(avi2_test::ReadFile(dir / "a.gif"), avi2_test::ReadFile(dir / "b.gif"));
  const Outcome outcome = convert::Convert({dir / "m.avi", dir / "c.gif", Format::Gif, 90},
                                           [](const convert::Progress& p) { return p.done < 5; });
  EXPECT_EQ(outcome.status, Outcome::kCancelled);
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"m.avi", "a.gif", "b.gif"}));
}

TEST(ConversionTest, OutputNameReplacesTheExtension) {
  EXPECT_EQ(convert::DefaultOutput("/a/globe.avi", Format::Gif), "/a/globe.gif");
  EXPECT_EQ(convert::DefaultOutput("/a/my movie.AVI", Format::Mpeg1), "/a/my movie.mpg");
  EXPECT_EQ(convert::DefaultOutput("/a.b/movie", Format::Mng), "/a.b/movie.mng");
  EXPECT_EQ(convert::DefaultOutput("/a/.hidden", Format::Gif), "/a/.hidden.gif");
  EXPECT_EQ(convert::DefaultOutput("globe.avi", Format::Mng), "globe.mng");
}

}  // namespace
