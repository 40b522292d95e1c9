// MP4, WebM, APNG and WebP from movies of the project's own writer, read back by the
// decoders people's tools use: ffprobe and ffmpeg for MP4, WebM and APNG, libwebp's
// animation decoder for WebP (ffmpeg reads no animated WebP). Also the failures: each
// leaves neither the output nor a temporary file behind.
#include <gtest/gtest.h>
#include <webp/demux.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "av_encoder.h"
#include "conversion.h"
#include "test_movie.h"

namespace {

using convert::Format;
using convert::Outcome;
using movie_test::FilesIn;
using movie_test::Text;
using movie_test::MovieShape;
using movie_test::Picture;
using testsupport::ScratchDir;

Outcome ConvertFile(const std::string& input, Format format, int quality = convert::kDefaultQuality,
                    const std::string& output = "") {
  return convert::Convert({input, output, format, quality}, nullptr);
}

// ffprobe's word on one entry, such as "stream=pix_fmt" or "format=duration".
std::string ProbeEntry(const std::string& path, const std::string& entry) {
  std::string text = Text(avi2_test::CommandOutput("ffprobe -v error -select_streams v:0 -show_entries " + entry +
                                                   " -of default=nw=1:nk=1 " + avi2_test::Quote(path)));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

struct VideoCase {
  Format format;
  const char* codec;
  const char* pixels;
  int width, height;  // as written: MP4 pads to even sizes
  double minLumaPsnr, minRgbPsnr;  // 99: exact
};

void PrintTo(const VideoCase& v, std::ostream* out) { *out << v.codec; }

class VideoFormatTest : public testing::TestWithParam<VideoCase> {};

// 24 frames of an odd size at 10 frames a second: every frame is there, at the movie's
// rate and length, close to (APNG: exactly) the movie's picture. Luma as video is
// judged; the colours more loosely, since 4:2:0 halves their detail and the test
// picture's saturated square is large against 45x33 (160x120 gives 31 dB and more).
TEST_P(VideoFormatTest, KeepsEveryFrameAtTheMovieRate) {
  const VideoCase& v = GetParam();
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 45, .height = 33, .frames = 24});
  const Outcome outcome = ConvertFile(dir / "m.avi", v.format);
  ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.errorFile << ": " << outcome.error;
  const std::string name = "m" + std::string(convert::Extension(v.format));
  EXPECT_EQ(outcome.output, dir / name);
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"m.avi", name}));
  const avi2_test::StreamFacts facts = avi2_test::Probe(outcome.output);
  EXPECT_EQ(facts.codec, v.codec);
  EXPECT_EQ(facts.width, v.width);
  EXPECT_EQ(facts.height, v.height);
  EXPECT_EQ(facts.frameRate, "10/1");
  EXPECT_EQ(facts.decodedFrames, 24);
  EXPECT_EQ(ProbeEntry(outcome.output, "stream=pix_fmt"), v.pixels);
  if (v.format != Format::Apng) {
    EXPECT_EQ(std::stod(ProbeEntry(outcome.output, "format=duration")), 2.4);
  }
  const auto decoded = avi2_test::Decode(outcome.output, v.width, v.height);
  ASSERT_EQ(decoded.size(), 24u);
  for (int i = 0; i < 24; ++i) {
    const movie::Frame picture = movie_test::FromBgr(decoded[i]);
    EXPECT_GE(movie_test::Psnr(picture, Picture(45, 33, i), movie_test::Channels::kLuma), v.minLumaPsnr) << i;
    EXPECT_GE(movie_test::Psnr(picture, Picture(45, 33, i)), v.minRgbPsnr) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, VideoFormatTest,
                         testing::Values(VideoCase{Format::Mp4, "h264", "yuv420p", 46, 34, 35.0, 22.0},
                                         VideoCase{Format::Webm, "vp9", "yuv420p", 45, 33, 35.0, 22.0},
                                         VideoCase{Format::Apng, "apng", "rgb24", 45, 33, 99.0, 99.0}),
                         [](const auto& info) { return std::string(convert::Extension(info.param.format) + 1); });

// Other rates stay as they are: 25 and NTSC's 30000/1001.
TEST(VideoFormatTest, Mp4KeepsOtherRates) {
  for (const auto& [rate, scale, text] : {std::tuple{25u, 1u, "25/1"}, std::tuple{30000u, 1001u, "30000/1001"}}) {
    ScratchDir dir;
    movie_test::WriteMovie(dir / "m.avi", {.width = 32, .height = 32, .frames = 6, .rate = rate, .scale = scale});
    const Outcome outcome = ConvertFile(dir / "m.avi", Format::Mp4);
    ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.error;
    const avi2_test::StreamFacts facts = avi2_test::Probe(outcome.output);
    EXPECT_EQ(facts.frameRate, text);
    EXPECT_EQ(facts.decodedFrames, 6);
  }
}

// The MP4 has its index in front, for playing while it downloads, and x264 records the
// constant rate factor --quality asked for.
TEST(VideoFormatTest, Mp4StartsWithItsIndexAndFollowsTheQuality) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 96, .height = 64, .frames = 8});
  uint64_t bytes[2] = {};
  int at = 0;
  for (const auto& [quality, crf] : {std::pair{100, "crf=14.0"}, std::pair{40, "crf=36.0"}}) {
    const Outcome outcome = ConvertFile(dir / "m.avi", Format::Mp4, quality);
    ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.error;
    const std::string mp4 = Text(avi2_test::ReadFile(outcome.output));
    EXPECT_LT(mp4.find("moov"), mp4.find("mdat"));
    EXPECT_NE(mp4.find(crf), std::string::npos) << crf;
    bytes[at++] = outcome.bytes;
  }
  EXPECT_EQ(ConvertFile(dir / "m.avi", Format::Mp4).status, Outcome::kDone);
  EXPECT_NE(Text(avi2_test::ReadFile(dir / "m.mp4")).find("crf=18.0"), std::string::npos) << "the default";
  EXPECT_GT(bytes[0], bytes[1] * 3 / 2);
}

// The APNG loops for ever and says how many frames it has.
TEST(VideoFormatTest, ApngLoopsForEver) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 20, .height = 12, .frames = 5});
  ASSERT_EQ(ConvertFile(dir / "m.avi", Format::Apng).status, Outcome::kDone);
  const std::vector<uint8_t> png = avi2_test::ReadFile(dir / "m.png");
  const std::string text = Text(png);
  const size_t actl = text.find("acTL");
  ASSERT_NE(actl, std::string::npos);
  ASSERT_LT(actl + 12, png.size());
  EXPECT_EQ(std::vector<uint8_t>(png.begin() + actl + 4, png.begin() + actl + 12),
            (std::vector<uint8_t>{0, 0, 0, 5, 0, 0, 0, 0}))
      << "5 frames, played for ever";
}

// The WebP decoded by libwebp: 24 frames of 100 ms, looping for ever, each close to the
// movie's.
std::vector<movie::Frame> DecodeWebp(const std::string& path, std::vector<int>* timestamps, int* loops) {
  const std::vector<uint8_t> file = avi2_test::ReadFile(path);
  const WebPData data{file.data(), file.size()};
  WebPAnimDecoderOptions options;
  EXPECT_TRUE(WebPAnimDecoderOptionsInit(&options));
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  EXPECT_NE(decoder, nullptr) << "libwebp does not read " << path;
  std::vector<movie::Frame> frames;
  if (!decoder) return frames;
  WebPAnimInfo info;
  EXPECT_TRUE(WebPAnimDecoderGetInfo(decoder, &info));
  *loops = static_cast<int>(info.loop_count);
  while (WebPAnimDecoderHasMoreFrames(decoder)) {
    uint8_t* rgba = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder, &rgba, &timestamp)) break;
    movie::Frame frame{static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height), {}};
    for (size_t i = 0; i < static_cast<size_t>(frame.width) * frame.height; ++i)
      frame.rgb.insert(frame.rgb.end(), rgba + i * 4, rgba + i * 4 + 3);
    frames.push_back(std::move(frame));
    timestamps->push_back(timestamp);
  }
  WebPAnimDecoderDelete(decoder);
  return frames;
}

TEST(WebpTest, KeepsEveryFrameAtTheMovieRate) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 45, .height = 33, .frames = 24});
  const Outcome outcome = ConvertFile(dir / "m.avi", Format::Webp);
  ASSERT_EQ(outcome.status, Outcome::kDone) << outcome.error;
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"m.avi", "m.webp"}));
  std::vector<int> timestamps;
  int loops = -1;
  const std::vector<movie::Frame> frames = DecodeWebp(outcome.output, &timestamps, &loops);
  ASSERT_EQ(frames.size(), 24u);
  EXPECT_EQ(loops, 0);
  for (int i = 0; i < 24; ++i) {
    // A frame's timestamp is when it ends.
    EXPECT_EQ(timestamps[i], 100 * (i + 1));
    EXPECT_EQ(frames[i].width, 45);
    EXPECT_EQ(frames[i].height, 33);
    // Lossy 4:2:0 as in WebM: the colours of the small picture's square lose detail.
    EXPECT_GT(movie_test::Psnr(frames[i], Picture(45, 33, i)), 25.0) << i;
  }
}

// 30 frames a second in whole milliseconds: 33 or 34, adding up to the movie's length.
TEST(WebpTest, FrameTimesAddUpToTheMovieLength) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 16, .height = 16, .frames = 6, .rate = 30, .scale = 1});
  ASSERT_EQ(ConvertFile(dir / "m.avi", Format::Webp).status, Outcome::kDone);
  std::vector<int> timestamps;
  int loops = -1;
  DecodeWebp(dir / "m.webp", &timestamps, &loops);
  EXPECT_EQ(timestamps, (std::vector<int>{33, 67, 100, 133, 167, 200}));
}

// A lower quality makes a smaller file in each lossy format.
TEST(WebFormatQualityTest, LowerQualityMakesASmallerFile) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 96, .height = 64, .frames = 6});
  for (const Format format : {Format::Webm, Format::Webp}) {
    const Outcome best = ConvertFile(dir / "m.avi", format, 100);
    const Outcome low = ConvertFile(dir / "m.avi", format, 30);
    ASSERT_EQ(best.status, Outcome::kDone) << best.error;
    ASSERT_EQ(low.status, Outcome::kDone) << low.error;
    EXPECT_GT(best.bytes, low.bytes * 3 / 2) << convert::Extension(format);
  }
}

// The bad inputs, for each format: one reason, naming the file it is about, and no file
// left behind.
TEST(WebFormatFailureTest, BadInputsFailAndLeaveNoFile) {
  for (const Format format : {Format::Mp4, Format::Webm, Format::Apng, Format::Webp}) {
    ScratchDir dir;
    avi2_test::WriteFile(dir / "text.avi", {'h', 'e', 'l', 'l', 'o'});
    movie_test::WriteMovie(dir / "m.avi", {.frames = 2});
    const std::string extension = convert::Extension(format);
    Outcome outcome = ConvertFile(dir / "text.avi", format);
    EXPECT_EQ(outcome.status, Outcome::kFailed);
    EXPECT_EQ(outcome.error, "not an AVI file");
    EXPECT_EQ(outcome.errorFile, dir / "text.avi");
    outcome = ConvertFile(dir / "m.avi", format, convert::kDefaultQuality, dir / ("no folder/out" + extension));
    EXPECT_EQ(outcome.status, Outcome::kFailed);
    EXPECT_EQ(outcome.error, "cannot create a file in its folder: No such file or directory");
    EXPECT_EQ(outcome.errorFile, dir / ("no folder/out" + extension));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"text.avi", "m.avi"})) << extension;
  }
}

TEST(WebFormatFailureTest, WebpRefusesPicturesLargerThanItsFormat) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 16384, .height = 2, .frames = 1});
  const Outcome outcome = ConvertFile(dir / "m.avi", Format::Webp);
  EXPECT_EQ(outcome.status, Outcome::kFailed);
  EXPECT_EQ(outcome.error, "WebP holds pictures of at most 16383x16383");
  EXPECT_EQ(outcome.errorFile, dir / "m.webp");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
}

// An encoder the system's libavcodec lacks is named, and the output is not left behind.
TEST(WebFormatFailureTest, MissingEncoderIsNamed) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 1});
  std::string error;
  auto reader = movie::MovieReader::Open(dir / "m.avi", &error);
  ASSERT_TRUE(reader) << error;
  convert::AvOutput absent = convert::Mp4Output();
  absent.encoder = "libx264-absent";
  {
    convert::OutputFile out(dir / "m.mp4", &error);
    ASSERT_TRUE(out.Ok()) << error;
    EXPECT_EQ(convert::CreateAvEncoder(out, reader->Info(), absent, 90, &error), nullptr);
    EXPECT_EQ(error, "MP4: this system's libavcodec has no encoder libx264-absent");
  }
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
}

}  // namespace
