// The Earth's layers drawn through the scene's hooks on a headless device at fixed spins:
// the clouds' brightness as cover, their drift against the ground at the documented
// ratio, the device left as the plain scene needs it, and reference frames of each layer
// alone and all together with the Earth's pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "png_image.h"
#include "scene_test_support.h"

namespace {

const std::string kReferences = VESK_SCENE_REFERENCE_DIR;
constexpr double kHalfFovTangent = 0.41421356;  // tan(22.5 degrees), the scene's projection

testsupport::Image Solid(uint32_t width, uint32_t height, uint32_t argb) {
  return {width, height, std::vector<uint32_t>(size_t(width) * height, argb)};
}

// Black, with a vertical stripe of `argb` 4 texels wide around u = 0.5, the meridian
// that faces the camera at spin 0.
testsupport::Image Stripe(uint32_t argb) {
  testsupport::Image image = Solid(512, 256, 0xff000000u);
  for (uint32_t y = 0; y < 256; ++y)
    for (uint32_t x = 254; x < 258; ++x) image.argb[y * 512 + x] = argb;
  return image;
}

int Red(uint32_t argb) { return int(argb >> 16 & 0xff); }
int Green(uint32_t argb) { return int(argb >> 8 & 0xff); }
int Blue(uint32_t argb) { return int(argb & 0xff); }

// The scene, its camera 3 radii from the globe at the equator's height, with the chosen
// look and globe picture; pictures are looked for in a scratch folder first.
class LayeredScene : public ::testing::Test {
 protected:
  void Start(const EarthLook& look, const char* picture, int width = 320, int height = 240, float eyeY = 0.0f) {
    options_.width = width;
    options_.height = height;
    test_ = std::make_unique<testsupport::TestDevice>(options_);
    ASSERT_EQ(test_->created, D3D_OK);
    app_ = std::make_unique<GlobeApp>();
    scenetest::AttachDevice(*app_, *test_);
    app_->eyeY = eyeY;
    app_->eyeZ = -3.0f;
    std::snprintf(app_->textureFile, sizeof app_->textureFile, "%s", picture);
    app_->layers.look = look;
    ASSERT_EQ(app_->OneTimeSceneInit(), S_OK);
    ASSERT_EQ(app_->InitDeviceObjects(), S_OK);
    ASSERT_EQ(app_->RestoreDeviceObjects(), S_OK);
  }
  void Stop() {
    if (app_) scenetest::ReleaseScene(*app_, *test_);
    app_.reset();
    test_.reset();
  }
  void TearDown() override { Stop(); }
  testsupport::Image Frame(float spin) { return scenetest::DrawFrame(*test_, *app_, spin, options_); }

  scenetest::TemporaryDirectory directory_;
  testsupport::DeviceOptions options_;
  std::unique_ptr<testsupport::TestDevice> test_;
  std::unique_ptr<GlobeApp> app_;
};

EarthLook Clouds(const char* file) {
  EarthLook look;
  std::snprintf(look.cloudsFile, sizeof look.cloudsFile, "%s", file);
  return look;
}

// A half-bright cloud picture covers half: white over the blue ground, half and half.
TEST_F(LayeredScene, ACloudPicturesBrightnessIsItsCover) {
  ASSERT_TRUE(testsupport::WritePng("blue.png", Solid(64, 32, 0xff0000ffu)));
  ASSERT_TRUE(testsupport::WritePng("haze.png", Solid(64, 32, 0xff808080u)));
  Start(Clouds("haze.png"), "blue.png");
  ASSERT_FALSE(HasFatalFailure());
  uint32_t centre = Frame(0.7f).argb[120 * 320 + 160];
  EXPECT_EQ(Red(centre), 128);
  EXPECT_EQ(Green(centre), 128);
  EXPECT_EQ(Blue(centre), 255);
}

// The screen column of a meridian at `longitude` (radians east of the one facing the
// camera) on the equator of a sphere of `radius`, seen from 3 radii of the globe away.
double MeridianColumn(double longitude, double radius) {
  double focal = 120.0 / kHalfFovTangent;
  return 160.0 + focal * radius * std::sin(longitude) / (3.0 - radius * std::cos(longitude));
}

// The mean column of the pixels inside the disc on the rows around the equator that
// pass `test`.
template <typename Test>
double MeanColumn(const testsupport::Image& image, Test test) {
  double sum = 0;
  int count = 0;
  for (uint32_t y = 115; y <= 125; ++y)
    for (uint32_t x = 70; x < 250; ++x)
      if (test(image.argb[y * 320 + x])) sum += x, ++count;
  EXPECT_GT(count, 20);
  return count ? sum / count : -1;
}

// The ground's red meridian and the clouds' white one start together; after a spin of s
// the ground has turned by s and the clouds by (1 + kCloudDrift) s. Just short of a whole
// turn the ground's meridian is a little west of the middle, the clouds' as far east.
TEST_F(LayeredScene, CloudsDriftAgainstTheGroundAtTheDocumentedRatio) {
  ASSERT_TRUE(testsupport::WritePng("ground.png", Stripe(0xffff0000u)));
  ASSERT_TRUE(testsupport::WritePng("clouds.png", Stripe(0xffffffffu)));
  Start(Clouds("clouds.png"), "ground.png");
  ASSERT_FALSE(HasFatalFailure());
  const float spin = 6.2831853f - 0.3f;
  testsupport::Image image = Frame(spin);
  double ground = MeanColumn(image, [](uint32_t p) { return Red(p) > 150 && Blue(p) < 60; });
  double clouds = MeanColumn(image, [](uint32_t p) { return Blue(p) > 150; });
  // Which way a spin turns the ground the picture says; then the geometry fixes both.
  double turned = spin - 6.2831853, sign = (ground < 160) == (turned < 0) ? 1.0 : -1.0;
  EXPECT_NEAR(ground, MeridianColumn(sign * turned, 1.0), 1.5);
  EXPECT_NEAR(clouds, MeridianColumn(sign * spin * (1.0 + kCloudDrift), kCloudRadius), 1.5);
  EXPECT_GT(std::fabs(clouds - ground), 10.0) << "the clouds moved against the ground";
  // A frame later the bright patch has moved on.
  double later = MeanColumn(Frame(spin + 0.1f), [](uint32_t p) { return Blue(p) > 150; });
  EXPECT_NEAR(later, MeridianColumn(sign * (spin + 0.1) * (1.0 + kCloudDrift), kCloudRadius), 1.5);
}

// Every state the layers change is back as the plain scene left it: a plain frame drawn
// after a frame with every layer is the plain frame itself.
TEST_F(LayeredScene, APlainFrameAfterEveryLayerIsThePlainFrame) {
  ASSERT_TRUE(testsupport::WritePng("night.png", Solid(64, 32, 0xff0000ffu)));
  ASSERT_TRUE(testsupport::WritePng("haze.png", Solid(64, 32, 0xff808080u)));
  Start(EarthLook{}, "globe.png");
  ASSERT_FALSE(HasFatalFailure());
  testsupport::Image plain = Frame(1.3f);
  Stop();
  EarthLook all = Clouds("haze.png");
  all.sun = true;
  all.sunDegrees = 60.0f;
  std::snprintf(all.nightFile, sizeof all.nightFile, "night.png");
  all.atmosphere = true;
  Start(all, "globe.png");
  ASSERT_FALSE(HasFatalFailure());
  testsupport::Image layered = Frame(1.3f);
  EXPECT_NE(testsupport::CompareImages(layered, plain, 0), "");
  app_->layers.look = EarthLook{};
  EXPECT_EQ(testsupport::CompareImages(Frame(1.3f), plain, 0), "");
}

// Each layer alone and all together on the Earth, as the user sees them; the pictures
// come from xplanet-images and the build's clouds.png.
TEST_F(LayeredScene, EachLayerAndAllTogetherMatchTheirReferences) {
  if (!std::filesystem::exists("/usr/share/xplanet/images/earth.jpg") ||
      !std::filesystem::exists("/usr/share/xplanet/images/night.jpg"))
    GTEST_SKIP() << "xplanet-images is not installed";
  EarthLook sun;
  sun.sun = true;
  sun.sunDegrees = 60.0f;
  EarthLook clouds = Clouds("clouds.png");
  EarthLook atmosphere;
  atmosphere.atmosphere = true;
  EarthLook all = clouds;
  all.sun = true;
  all.sunDegrees = 60.0f;
  all.atmosphere = true;
  const std::pair<const char*, EarthLook> kCases[] = {
      {"earth_sun.png", sun}, {"earth_clouds.png", clouds}, {"earth_atmosphere.png", atmosphere}, {"earth_all.png", all}};
  for (const auto& [reference, look] : kCases) {
    Start(look, "earth.jpg", 320, 240, 8 * 0.034904446f);
    ASSERT_FALSE(HasFatalFailure()) << reference;
    EXPECT_EQ(testsupport::MatchReference(kReferences + "/" + reference, Frame(1.3f), 0), "") << reference;
    Stop();
  }
}

}  // namespace
