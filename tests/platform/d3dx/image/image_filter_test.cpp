// The triangle filter with mirrored edges: mip chain sizes, constant pictures staying
// constant, exact weights on a small case, and resizing to the device's limit.
#include <gtest/gtest.h>

#include "test_support.h"

namespace d3dximage::test {
namespace {

struct ChainCase {
  uint32_t width, height;
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
};

class MipChain : public testing::TestWithParam<ChainCase> {};

TEST_P(MipChain, HalvesEachLevelDownToOneByOne) {
  const ChainCase& c = GetParam();
  std::vector<ImageLevel> levels = {{c.width, c.height, Pixels(c.width * c.height, 0x80C04020)}};
  BuildMipChain(levels, 0);
  ASSERT_EQ(levels.size(), c.sizes.size());
  EXPECT_EQ(FullMipCount(c.width, c.height), c.sizes.size());
  for (size_t i = 0; i < levels.size(); ++i) {
    EXPECT_EQ(levels[i].width, c.sizes[i].first) << "level " << i;
    EXPECT_EQ(levels[i].height, c.sizes[i].second) << "level " << i;
    ASSERT_EQ(levels[i].argb.size(), size_t(levels[i].width) * levels[i].height);
    for (uint32_t p : levels[i].argb) ASSERT_EQ(p, 0x80C04020u) << "level " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MipChain,
                         testing::Values(ChainCase{1, 1, {{1, 1}}},
                                         ChainCase{5, 3, {{5, 3}, {2, 1}, {1, 1}}},
                                         ChainCase{8, 2, {{8, 2}, {4, 1}, {2, 1}, {1, 1}}},
                                         ChainCase{13, 7, {{13, 7}, {6, 3}, {3, 1}, {1, 1}}},
                                         ChainCase{1, 16, {{1, 16}, {1, 8}, {1, 4}, {1, 2}, {1, 1}}}));

TEST(MipChain, StopsAtTheRequestedCountAndReplacesOldLevels) {
  std::vector<ImageLevel> levels = {{4, 4, Pixels(16, 1)}, {9, 9, {}}};
  BuildMipChain(levels, 2);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[1].width, 2u);
  EXPECT_EQ(levels[1].argb, Pixels(4, 1));
}

// Halving weighs the four nearest source pixels 1/8, 3/8, 3/8, 1/8; the mirrored
// edge repeats the border pixel. Row 0, 0, 80, 160 -> (0*4 + 80) / 8 and
// (0 + 3*80 + 3*160 + 160) / 8.
TEST(TriangleFilter, HalvingUsesTentWeightsWithMirroredEdges) {
  ImageLevel row{4, 1, {0, 0, 80, 160}};
  ImageLevel half = Resize(row, 2, 1);
  EXPECT_EQ(half.argb, (Pixels{10, 110}));
}

TEST(TriangleFilter, ChannelsAreFilteredApart) {
  ImageLevel pair{2, 1, {0xFF000000, 0x00FF0000}};
  EXPECT_EQ(Resize(pair, 1, 1).argb[0], 0x80800000u);
}

TEST(TriangleFilter, ResizeToALimitKeepsAConstantPicture) {
  ImageLevel big{300, 20, Pixels(6000, 0xFF336699)};
  ImageLevel fitted = Resize(big, 128, 8);
  EXPECT_EQ(fitted.width, 128u);
  EXPECT_EQ(fitted.height, 8u);
  EXPECT_EQ(fitted.argb, Pixels(128 * 8, 0xFF336699));
}

}  // namespace
}  // namespace d3dximage::test
