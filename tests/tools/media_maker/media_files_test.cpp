// The media files the build generated, read back through our D3DX loaders: the backdrop
// mesh with its opaque textured material, a star texture that looks like a night sky,
// a globe picture with oceans, land and ice whose edges meet without a seam, a grey
// cloud picture, and the registry value that leads the program's media search to them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "device_test_support.h"
#include "media_test_support.h"
#include "windows.h"

namespace {

using mediatest::Channel;
using mediatest::Texels;

int Brightest(uint32_t rgb) { return std::max({Channel(rgb, 0), Channel(rgb, 1), Channel(rgb, 2)}); }

// Mean absolute channel difference between two columns.
double ColumnDifference(const Texels& texels, UINT a, UINT b) {
  double sum = 0.0;
  for (UINT y = 0; y < texels.height; ++y)
    for (int c = 0; c < 3; ++c) sum += std::abs(Channel(texels.At(a, y), c) - Channel(texels.At(b, y), c));
  return sum / (3.0 * texels.height);
}

// Wrapped around the sphere the last column meets the first; they must differ no more
// than any two neighbouring columns do.
void ExpectSeamless(const Texels& texels) {
  double seam = ColumnDifference(texels, texels.width - 1, 0);
  double inside = ColumnDifference(texels, texels.width / 2 - 1, texels.width / 2);
  EXPECT_LE(seam, 2.0 * inside + 1.0) << "seam " << seam << ", neighbouring columns " << inside;
}

// Largest spread of any channel along a row: a row at a pole shows one point of the
// sphere and must be (nearly) one colour, or the picture pinches there.
int RowSpread(const Texels& texels, UINT y) {
  int spread = 0;
  for (int c = 0; c < 3; ++c) {
    int low = 255, high = 0;
    for (UINT x = 0; x < texels.width; ++x) {
      low = std::min(low, Channel(texels.At(x, y), c));
      high = std::max(high, Channel(texels.At(x, y), c));
    }
    spread = std::max(spread, high - low);
  }
  return spread;
}

class MediaFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test_.created, D3D_OK); }
  testsupport::TestDevice test_;
};

// The registry.ini the build wrote beside the programs (and beside this test) names the
// folder above the media; the media search appends "\Media\" and the file name to it.
TEST(MediaRegistryTest, SamplesPathLeadsToTheGeneratedMedia) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Graphics SDK", 0, KEY_READ, &key), ERROR_SUCCESS);
  char path[260] = {};
  DWORD size = sizeof path;
  ASSERT_EQ(RegQueryValueExA(key, "Samples Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(std::ifstream(std::string(path) + "/Media/vesk.x").good()) << path;
}

TEST_F(MediaFilesTest, BackdropMeshHasOneOpaqueMaterialNamingTheStarTexture) {
  mediatest::LoadedMesh loaded;
  ASSERT_EQ(mediatest::LoadMesh(test_.device, mediatest::MediaPath("vesk.x"), loaded), D3D_OK);
  EXPECT_GE(loaded.mesh->GetNumFaces(), 1000u);
  ASSERT_EQ(loaded.materials.size(), 1u);
  EXPECT_EQ(loaded.materials[0].MatD3D.Diffuse.a, 1.0f) << "drawn in the opaque pass";
  EXPECT_EQ(loaded.textureNames[0], "vesk_stars.jpg");
  EXPECT_TRUE(std::ifstream(mediatest::MediaPath(loaded.textureNames[0])).good()) << "beside the mesh";
  EXPECT_EQ(loaded.mesh->Release(), 0u);
}

TEST_F(MediaFilesTest, StarTextureIsADarkSkyWithManyStarsSomeColoured) {
  Texels sky = mediatest::LoadTexels(test_.device, mediatest::MediaPath("vesk_stars.jpg"));
  ASSERT_GE(sky.width, 2048u);
  ASSERT_EQ(sky.width, 2 * sky.height) << "a texel spans the same angle both ways";
  std::vector<uint32_t> sorted = sky.rgb;
  auto luminance = [](uint32_t t) { return Channel(t, 0) + 2 * Channel(t, 1) + Channel(t, 2); };
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end(),
                   [&](uint32_t a, uint32_t b) { return luminance(a) < luminance(b); });
  uint32_t median = sorted[sorted.size() / 2];
  EXPECT_LT(Brightest(median), 20) << "dark";
  EXPECT_GT(Channel(median, 2), Channel(median, 0)) << "blue-black";
  size_t bright = 0, bluish = 0, warm = 0;
  for (uint32_t texel : sky.rgb) {
    if (Brightest(texel) < 150) continue;
    ++bright;
    bluish += Channel(texel, 2) - Channel(texel, 0) > 40;
    warm += Channel(texel, 0) - Channel(texel, 2) > 40;
  }
  EXPECT_GT(bright, 2000u) << "stars";
  EXPECT_LT(bright, sky.rgb.size() / 100) << "but mostly sky";
  EXPECT_GT(bluish, 20u);
  EXPECT_GT(warm, 20u);
  ExpectSeamless(sky);
}

TEST_F(MediaFilesTest, GlobeIsAnOceanPlanetWithLandAndIceCaps) {
  Texels globe = mediatest::LoadTexels(test_.device, mediatest::MediaPath("globe.png"));
  ASSERT_GE(globe.width, 2048u);
  ASSERT_GE(globe.height, 1024u);
  size_t ocean = 0, green = 0;
  for (UINT y = globe.height / 4; y < globe.height * 3 / 4; ++y)  // between the ice caps
    for (UINT x = 0; x < globe.width; ++x) {
      uint32_t t = globe.At(x, y);
      ocean += Channel(t, 2) > Channel(t, 0) + 40 && Channel(t, 2) > Channel(t, 1);
      green += Channel(t, 1) > Channel(t, 0) + 20 && Channel(t, 1) > Channel(t, 2) + 20;
    }
  size_t band = size_t(globe.width) * (globe.height / 2);
  EXPECT_GT(ocean, band * 4 / 10);
  EXPECT_LT(ocean, band * 8 / 10);
  EXPECT_GT(green, band / 20);
  for (UINT y : {0u, globe.height - 1}) {
    EXPECT_GT(Brightest(globe.At(globe.width / 3, y)), 180) << "ice at row " << y;
    EXPECT_LT(RowSpread(globe, y), 40) << "row " << y << " must show one point of the sphere";
  }
  ExpectSeamless(globe);
}

// The default cloud picture: grey (brightness is the cover), partly cloudy, clear at the
// subtropics' deserts more than at the equator, and seamless like the globe.
TEST_F(MediaFilesTest, CloudsArePartlyCloudyGreyAndSeamless) {
  Texels clouds = mediatest::LoadTexels(test_.device, mediatest::MediaPath("clouds.png"));
  ASSERT_GE(clouds.width, 1024u);
  ASSERT_EQ(clouds.width, clouds.height * 2);
  size_t cloudy = 0;
  for (UINT y = 0; y < clouds.height; ++y)
    for (UINT x = 0; x < clouds.width; ++x) {
      uint32_t t = clouds.At(x, y);
      ASSERT_TRUE(Channel(t, 0) == Channel(t, 1) && Channel(t, 1) == Channel(t, 2)) << x << "," << y;
      cloudy += Channel(t, 0) > 64;
    }
  size_t all = size_t(clouds.width) * clouds.height;
  EXPECT_GT(cloudy, all / 10);
  EXPECT_LT(cloudy, all / 2);
  ExpectSeamless(clouds);
}

}  // namespace
