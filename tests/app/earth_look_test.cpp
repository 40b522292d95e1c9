// The Earth's look in whole headless recordings, every frame of the movie decoded by
// ffmpeg: the sun's day and night where a ray-sphere computation of the scene puts them
// (a pure green day picture and a pure blue night picture, so the night's share is the
// blue channel), and the atmosphere's glow confined to a thin ring around the disc.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "command_output.h"
#include "file_text.h"
#include "png_image.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 320, kHeight = 240;
constexpr double kPi = 3.14159265358979;
// The scene's camera: at (0, 0, -3) looking at the unit globe, 45 degrees high.
constexpr double kEyeDistance = 3.0;
constexpr double kHalfFovTangent = 0.41421356;  // tan(22.5 degrees)

struct Rgb {
  int r, g, b;
};
using Frame = std::vector<Rgb>;

// Pixel centres lie on whole coordinates, as in Direct3D 9: NDC -1 is pixel 0's centre.
// Where the ray through a pixel's centre meets the globe, if it does well inside the
// limb (the flat facets of the silhouette are left out).
bool HitGlobe(int x, int y, double n[3]) {
  double aspect = double(kWidth) / kHeight;
  double d[3] = {(2.0 * x / kWidth - 1.0) * kHalfFovTangent * aspect, (1.0 - 2.0 * y / kHeight) * kHalfFovTangent,
                 1.0};
  double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  // The eye e is at (0, 0, -E): |e + t d|^2 = 1, with b = e.d.
  double b = -kEyeDistance * d[2], e2 = kEyeDistance * kEyeDistance;
  double closest2 = e2 - b * b / dd;  // the ray's squared distance from the centre
  if (closest2 > 0.97 * 0.97) return false;
  double t = (-b - std::sqrt(b * b - dd * (e2 - 1.0))) / dd;
  n[0] = t * d[0];
  n[1] = t * d[1];
  n[2] = -kEyeDistance + t * d[2];
  return true;
}

// The cosine between a point's normal and the sun at `degrees` (see --help).
double SunCosine(const double n[3], double degrees) {
  double a = degrees * kPi / 180.0;
  return n[0] * std::sin(a) - n[2] * std::cos(a);
}

class EarthLookRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::Image green{64, 32, std::vector<uint32_t>(64 * 32, 0xff00ff00u)};
    testsupport::Image blue{64, 32, std::vector<uint32_t>(64 * 32, 0xff0000ffu)};
    ASSERT_TRUE(testsupport::WritePng(dir_ / "day.png", green));
    ASSERT_TRUE(testsupport::WritePng(dir_ / "night.png", blue));
  }

  // Records `frames` frames with the options, and decodes them all.
  std::vector<Frame> Record(const std::string& options, int frames) {
    std::string run = "cd '" + dir_.path() + "' && VESK_HEADLESS=1 XDG_CONFIG_HOME='" + dir_.path() +
                      "/config' ASAN_OPTIONS=detect_leaks=0 '" VESK_PROGRAM "' --no-dialog -s 320x240 -o look.avi -n " +
                      std::to_string(frames) + " " + options + " 2>&1 && '" VESK_FFMPEG
                      "' -v error -y -i look.avi -fps_mode passthrough -f rawvideo -pix_fmt rgb24 frames.rgb 2>&1";
    std::string said = testsupport::CommandOutput(run);
    std::string bytes = testsupport::FileText(dir_ / "frames.rgb");
    EXPECT_EQ(bytes.size(), size_t(frames) * kWidth * kHeight * 3) << said;
    std::vector<Frame> decoded;
    for (size_t at = 0; at + size_t(kWidth) * kHeight * 3 <= bytes.size(); at += size_t(kWidth) * kHeight * 3) {
      Frame frame;
      for (size_t p = at; p < at + size_t(kWidth) * kHeight * 3; p += 3)
        frame.push_back({uint8_t(bytes[p]), uint8_t(bytes[p + 1]), uint8_t(bytes[p + 2])});
      decoded.push_back(std::move(frame));
    }
    fs::remove(dir_ / "frames.rgb");
    return decoded;
  }

  testsupport::ScratchDir dir_{"vesk-earth-look"};
};

// Away from the terminator's band (6 degrees each side) a point is all day (green, lit,
// no blue) or all night (all blue, no green).
void ExpectDayAndNightSides(const Frame& frame, double degrees, int index) {
  int day = 0, night = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double n[3];
      if (!HitGlobe(x, y, n)) continue;
      double c = SunCosine(n, degrees);
      const Rgb& p = frame[size_t(y) * kWidth + x];
      if (c > 0.2) {
        ++day;
        ASSERT_TRUE(p.b <= 2 && p.g >= 100 && p.r == 0) << "day at " << x << "," << y << " frame " << index;
      } else if (c < -0.2) {
        ++night;
        ASSERT_TRUE(p.b >= 253 && p.g <= 2 && p.r == 0) << "night at " << x << "," << y << " frame " << index;
      }
    }
  }
  if (degrees < 45) {
    EXPECT_EQ(night, 0);
  }
  if (degrees > 135 && degrees < 225) {
    EXPECT_EQ(day, 0);
  }
  EXPECT_GT(day + night, 20000) << "most of the disc is far from the terminator";
}

// On each row crossing the terminator well inside the disc, the column where the night
// has half the pixel (blue 127.5) lies within 2 pixels of where the sun's cosine is 0.
void ExpectTerminatorWhereTheSunSetsIt(const Frame& frame, double degrees, int index) {
  int rows = 0;
  for (int y = 0; y < kHeight; ++y) {
    double expected = -1, measured = -1, lastCosine = 0;
    int lastX = -1;
    for (int x = 0; x < kWidth; ++x) {
      double n[3];
      if (!HitGlobe(x, y, n)) continue;
      double c = SunCosine(n, degrees);
      const Rgb& p = frame[size_t(y) * kWidth + x];
      const Rgb& q = frame[size_t(y) * kWidth + x - 1];
      if (lastX == x - 1 && (lastCosine < 0) != (c < 0)) expected = x - 1 + lastCosine / (lastCosine - c);
      if (lastX == x - 1 && (q.b > 127) != (p.b > 127))
        measured = x - 1 + (q.b - 127.5) / double(q.b - p.b);
      lastCosine = c;
      lastX = x;
    }
    if (expected < 0) continue;
    ++rows;
    EXPECT_NEAR(measured, expected, 2.0) << "row " << y << " frame " << index;
  }
  EXPECT_GT(rows, 100) << "the terminator crosses most of the disc's rows";
}

TEST_F(EarthLookRecording, ASunAtNinetyDegreesLeavesTheLeftHalfInNightInEveryFrame) {
  std::vector<Frame> frames = Record("-t day.png --night night.png --sun 90", 4);
  ASSERT_EQ(frames.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    ExpectDayAndNightSides(frames[size_t(i)], 90, i);
    ExpectTerminatorWhereTheSunSetsIt(frames[size_t(i)], 90, i);
    // The vertical diameter is the terminator: half night on the centre row's middle.
    EXPECT_NEAR(frames[size_t(i)][120 * kWidth + 159].b + frames[size_t(i)][120 * kWidth + 160].b, 255, 20);
  }
}

TEST_F(EarthLookRecording, TheTerminatorFollowsTheSunsAngleOnACurve) {
  for (double degrees : {60.0, 250.0}) {
    std::vector<Frame> frames = Record("-t day.png --night night.png --sun " + std::to_string(int(degrees)), 2);
    ASSERT_EQ(frames.size(), 2u);
    for (int i = 0; i < 2; ++i) {
      ExpectDayAndNightSides(frames[size_t(i)], degrees, i);
      ExpectTerminatorWhereTheSunSetsIt(frames[size_t(i)], degrees, i);
    }
  }
}

TEST_F(EarthLookRecording, TheSunBehindTheCameraLightsAllAndOppositeItLeavesNight) {
  for (double degrees : {0.0, 180.0}) {
    std::vector<Frame> frames = Record("-t day.png --night night.png --sun " + std::to_string(int(degrees)), 2);
    ASSERT_EQ(frames.size(), 2u);
    for (int i = 0; i < 2; ++i) ExpectDayAndNightSides(frames[size_t(i)], degrees, i);
  }
}

// The disc of the unit globe seen from 3 radii away: its radius on screen in pixels.
const double kDiscRadius = kHeight / 2.0 * std::tan(std::asin(1.0 / kEyeDistance)) / kHalfFovTangent;
constexpr double kGlowWidth = 0.04;  // of the radius, as documented

int Brightness(const Rgb& p) { return p.r + p.g + p.b; }

// The glow's gain on each pixel, keyed by the distance of its centre from the disc's.
struct GlowRing {
  int outsideBrighter = 0, outside = 0;  // just outside the limb
  int changedInside = 0, changedBeyond = 0;
  double leftGain = 0, rightGain = 0;    // on the limb's left and right thirds
};

GlowRing CompareGlow(const Frame& with, const Frame& without) {
  GlowRing ring;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double dx = x - kWidth / 2.0, dy = y - kHeight / 2.0, r = std::sqrt(dx * dx + dy * dy);
      size_t at = size_t(y) * kWidth + x;
      int gain = Brightness(with[at]) - Brightness(without[at]);
      if (r < kDiscRadius - 2.0 && gain != 0) ++ring.changedInside;
      if (r > kDiscRadius * (1.0 + kGlowWidth) + 1.5 && gain != 0) ++ring.changedBeyond;
      if (r > kDiscRadius + 0.8 && r < kDiscRadius + 2.5) {
        ++ring.outside;
        if (gain > 0) ++ring.outsideBrighter;
        if (dx < -kDiscRadius / 2) ring.leftGain += gain;
        if (dx > kDiscRadius / 2) ring.rightGain += gain;
      }
    }
  }
  return ring;
}

TEST_F(EarthLookRecording, TheAtmosphereBrightensAThinRingJustOutsideTheDisc) {
  std::vector<Frame> without = Record("-t day.png", 2), with = Record("-t day.png --atmosphere", 2);
  ASSERT_EQ(without.size(), 2u);
  ASSERT_EQ(with.size(), 2u);
  GlowRing ring = CompareGlow(with[1], without[1]);
  EXPECT_GT(ring.outside, 1000);
  EXPECT_GE(ring.outsideBrighter, ring.outside * 98 / 100) << "of " << ring.outside;
  EXPECT_EQ(ring.changedBeyond, 0) << "nothing beyond the glow's width";
  EXPECT_EQ(ring.changedInside, 0) << "the globe hides the glow's inner edge";
  EXPECT_NEAR(ring.leftGain / ring.rightGain, 1.0, 0.05) << "without a sun the glow is even";
}

TEST_F(EarthLookRecording, WithASunTheGlowDimsOnTheNightSide) {
  std::vector<Frame> without = Record("-t day.png --night night.png --sun 90", 2),
                     with = Record("-t day.png --night night.png --sun 90 --atmosphere", 2);
  ASSERT_EQ(with.size(), 2u);
  ASSERT_EQ(without.size(), 2u);
  GlowRing ring = CompareGlow(with[1], without[1]);
  EXPECT_EQ(ring.changedBeyond, 0);
  EXPECT_GT(ring.leftGain, 0);
  EXPECT_LT(ring.leftGain * 3, ring.rightGain) << "the night side's limb glows less";
}

}  // namespace
