// The converted movies as a web browser shows them: a headless recording by vesk
// (24 frames, 640x480, converted to MP4 by the converter vesk starts; the other formats
// by the converter from the same movie), each opened in headless Chromium through
// decode_check.html. MP4 and WebM play in a <video> element; GIF, APNG and WebP are
// decoded by WebCodecs' ImageDecoder. The frame the browser decodes is compared with the
// movie's: at least 30 dB (lossless APNG: exactly equal) and closer to its own frame
// than to the frames either side. Without a Chromium that starts ("chromium" on PATH,
// or $VESK_TEST_CHROMIUM), every test is skipped and says so.
#include <gtest/gtest.h>
#include <string.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "headless_browser.h"
#include "test_movie.h"

namespace {

namespace fs = std::filesystem;
using browser_test::HeadlessBrowser;
using testsupport::ScratchDir;

constexpr int kFrames = 24;
constexpr int kWidth = 640, kHeight = 480;
constexpr int kComparedFrame = 5;

std::vector<uint8_t> Base64(const std::string& text) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = c ? strchr(alphabet, c) : nullptr;
    if (!at) continue;  // '=' padding
    bits = bits << 6 | static_cast<uint32_t>(at - alphabet);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  return bytes;
}

// "key=value key=value ... pixels=BASE64" as a map.
std::map<std::string, std::string> Facts(const std::string& line) {
  std::map<std::string, std::string> facts;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    const size_t eq = word.find('=');
    if (eq != std::string::npos) facts[word.substr(0, eq)] = word.substr(eq + 1);
  }
  return facts;
}

// One recording and its conversions, shared by the tests; and the browser.
class BrowserTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchDir("vesk-browser");
    const std::string dir = folder_->path();
    // vesk leaves its window, device and scene to the end of the process, as designed; in
    // a sanitizer build that is no fault of what is tested here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string record = "cd " + avi2_test::Quote(dir) + " && ASAN_OPTIONS=" +
                               avi2_test::Quote(std::string(asan ? asan : "") + ":detect_leaks=0") +
                               " VESK_HEADLESS=1 " + avi2_test::Quote(VESK_PATH) + " -n " + std::to_string(kFrames) +
                               " --format mp4 >/dev/null 2>&1 </dev/null";
    ASSERT_EQ(std::system(record.c_str()), 0);
    for (const char* format : {"-WEBM", "-APNG", "-WEBP", "-GIF"}) {
      const std::string convert = avi2_test::Quote(VORIDEDADIDE_PATH) + " -i " + avi2_test::Quote(dir + "/globe.avi") +
                                  " " + format + " >/dev/null 2>&1 </dev/null";
      ASSERT_EQ(std::system(convert.c_str()), 0) << format;
    }
    // The MP4 comes from the converter vesk started, which does not wait for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(dir + "/globe.mp4") && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fs::create_directories(dir + "/profile");
    // Another build (google-chrome, chromium-browser) can stand in through the variable.
    const char* program = std::getenv("VESK_TEST_CHROMIUM");
    browser_ = new HeadlessBrowser(program && *program ? program : "chromium", dir + "/profile");
    if (browser_->Ok()) browser_->Open(browser_test::FileUrl(BROWSER_PAGE));
    if (!browser_->Ok()) fprintf(stderr, "skipped: Chromium cannot start: %s\n", browser_->Problem().c_str());
  }
  static void TearDownTestSuite() {
    delete browser_;
    delete folder_;
  }
  void SetUp() override {
    if (!browser_) FAIL() << "the movies could not be made";
    if (!browser_->Ok()) GTEST_SKIP() << "skipped: Chromium cannot start: " << browser_->Problem();
  }

  // The page's answer for one file, as facts; a failure the page reports fails the test.
  static std::map<std::string, std::string> Check(const std::string& call) {
    const auto line = browser_->Evaluate("check(() => " + call + ")");
    EXPECT_TRUE(line) << browser_->Problem();
    if (!line) return {};
    EXPECT_FALSE(line->starts_with("failed")) << *line;
    return Facts(*line);
  }

  static std::string Url(const std::string& name) { return browser_test::FileUrl(folder_->path() + "/" + name); }

  // The decoded frame against the movie's frames around it.
  static void ExpectMovieFrame(const std::string& pixels, double minPsnr) {
    const movie::Frame decoded{kWidth, kHeight, Base64(pixels)};
    ASSERT_EQ(decoded.rgb.size(), static_cast<size_t>(kWidth) * kHeight * 3);
    std::string error;
    auto reader = movie::MovieReader::Open(folder_->path() + "/globe.avi", &error);
    ASSERT_TRUE(reader) << error;
    double psnr[3] = {};
    for (int i = 0; i < 3; ++i) {
      movie::Frame frame;
      ASSERT_TRUE(reader->ReadFrame(kComparedFrame - 1 + i, &frame, &error)) << error;
      psnr[i] = movie_test::Psnr(decoded, frame);
    }
    EXPECT_GE(psnr[1], minPsnr);
    EXPECT_GT(psnr[1], psnr[0]) << "closer to the frame before";
    EXPECT_GT(psnr[1], psnr[2]) << "closer to the frame after";
  }

  static ScratchDir* folder_;
  static HeadlessBrowser* browser_;
};

ScratchDir* BrowserTest::folder_ = nullptr;
HeadlessBrowser* BrowserTest::browser_ = nullptr;

// Length to the microsecond, size, and a frame sought to the middle of its time.
TEST_F(BrowserTest, VideoElementPlaysMp4AndWebm) {
  for (const auto& [name, type] : {std::pair{"globe.mp4", "video/mp4"}, std::pair{"globe.webm", "video/webm"}}) {
    SCOPED_TRACE(name);
    auto facts = Check("checkVideo('" + Url(name) + "', '" + type + "', " + std::to_string(kComparedFrame) + ", 10)");
    EXPECT_NEAR(std::stod(facts["duration"].empty() ? "0" : facts["duration"]), 2.4, 1e-6);
    EXPECT_EQ(facts["width"], "640");
    EXPECT_EQ(facts["height"], "480");
    ExpectMovieFrame(facts["pixels"], 30.0);
  }
}

// Frame count, looping for ever, 100 ms a frame, the size, and one frame.
TEST_F(BrowserTest, ImageDecoderReadsGifApngAndWebp) {
  struct Picture {
    const char* name;
    const char* type;
    double minPsnr;  // 99: exact
  };
  for (const Picture& p : {Picture{"globe.gif", "image/gif", 30.0}, Picture{"globe.png", "image/apng", 99.0},
                           Picture{"globe.webp", "image/webp", 30.0}}) {
    SCOPED_TRACE(p.name);
    auto facts = Check("checkImage('" + Url(p.name) + "', '" + p.type + "', " + std::to_string(kComparedFrame) + ")");
    EXPECT_EQ(facts["frames"], std::to_string(kFrames));
    EXPECT_EQ(facts["repetitions"], "Infinity");
    EXPECT_EQ(facts["duration"], "100000") << "microseconds";
    EXPECT_EQ(facts["width"], "640");
    EXPECT_EQ(facts["height"], "480");
    ExpectMovieFrame(facts["pixels"], p.minPsnr);
  }
}

// The page tells a file it cannot play from one it can: the checks above can fail.
TEST_F(BrowserTest, PageReportsAFileItCannotDecode) {
  const auto line = browser_->Evaluate("check(() => checkVideo('" + Url("globe.gif") + "', 'video/mp4', 0, 10))");
  ASSERT_TRUE(line) << browser_->Problem();
  EXPECT_TRUE(line->starts_with("failed: ")) << *line;
}

}  // namespace
