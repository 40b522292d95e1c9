// The box-filter resolve: per channel the mean of a pixel's samples, rounded to nearest
// (halves up), for 32-bit targets read in place and other formats through conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "resolve.h"

namespace {

// A width x 1 surface of `n` sample planes holding `samples[k]` in every pixel of plane k.
std::vector<uint32_t> Planes(uint32_t width, const std::vector<uint32_t>& samples) {
  std::vector<uint32_t> planes;
  for (uint32_t value : samples) planes.insert(planes.end(), width, value);
  return planes;
}

TEST(Resolve, AveragesEachChannelRoundingToNearest) {
  struct Case {
    std::vector<uint32_t> samples;
    uint32_t mean;
  } cases[] = {
      {{0xff000000, 0xffffffff}, 0xff808080},                            // 127.5 rounds up
      {{0x00010203, 0x00000000}, 0x00010102},                            // 0.5, 1, 1.5
      {{0xffffffff, 0xffffffff, 0xffffffff, 0xff000000}, 0xffbfbfbf},   // 191.25
      {{0x40ff0000, 0x40ff0000, 0x80000000, 0x8000ff00}, 0x60804000},    // channels apart
      {{0xff0a0a0a, 0xff0a0a0a, 0xff0a0a0a, 0xff0a0a0a, 0xff0b0b0b, 0xff0b0b0b, 0xff0b0b0b, 0xff0b0b0b},
       0xff0b0b0b},                                                      // 10.5 rounds up
      {{0xffffffff, 0, 0, 0, 0, 0, 0, 0}, 0x20202020},                   // 31.875
  };
  for (const Case& c : cases) {
    uint32_t n = uint32_t(c.samples.size());
    for (uint32_t width : {1u, 4u, 7u}) {  // the four-pixel loop and the pixels after it
      std::vector<uint32_t> planes = Planes(width, c.samples);
      raster::SurfaceView view{reinterpret_cast<uint8_t*>(planes.data()), width, 1, width * 4, D3DFMT_A8R8G8B8, n};
      std::vector<uint32_t> out(width, 0x12345678);
      ASSERT_TRUE(raster::ResolveToArgb(view, 0, 0, width, 1, reinterpret_cast<uint8_t*>(out.data()), width * 4));
      for (uint32_t x = 0; x < width; ++x) EXPECT_EQ(out[x], c.mean) << n << " samples, width " << width;
    }
  }
}

TEST(Resolve, ConvertsOtherFormatsAndRefusesRectanglesOutside) {
  // R5G6B5 samples pure red and black: the mean of the 8-bit values 255 and 0.
  std::vector<uint16_t> planes = {0xf800, 0xf800, 0x0000, 0x0000};  // 2 pixels, 2 samples
  raster::SurfaceView view{reinterpret_cast<uint8_t*>(planes.data()), 2, 1, 4, D3DFMT_R5G6B5, 2};
  uint32_t out[2] = {};
  ASSERT_TRUE(raster::ResolveToArgb(view, 0, 0, 2, 1, reinterpret_cast<uint8_t*>(out), 8));
  EXPECT_EQ(out[0], 0xff800000u);
  EXPECT_EQ(out[1], 0xff800000u);
  EXPECT_FALSE(raster::ResolveToArgb(view, 1, 0, 2, 1, reinterpret_cast<uint8_t*>(out), 8));
  EXPECT_FALSE(raster::ResolveToArgb(view, 0, 1, 1, 1, reinterpret_cast<uint8_t*>(out), 8));
  view.format = D3DFMT_DXT1;
  EXPECT_FALSE(raster::ResolveToArgb(view, 0, 0, 1, 1, reinterpret_cast<uint8_t*>(out), 8));
}

// A surface large enough that its rows are resolved by several threads: every row of a
// part of it comes out as its own samples' mean, none left out or taken twice.
TEST(Resolve, ALargeSurfaceGivesEveryRowItsOwnMean) {
  const uint32_t width = 700, height = 500, n = 4, x = 3, y = 2, w = width - 5, h = height - 3;
  std::vector<uint32_t> planes(size_t{width} * height * n);
  for (size_t i = 0; i < planes.size(); ++i) planes[i] = uint32_t(i * 2654435761u);
  raster::SurfaceView view{reinterpret_cast<uint8_t*>(planes.data()), width, height, width * 4, D3DFMT_A8R8G8B8, n};
  std::vector<uint32_t> out(size_t{w} * h);
  ASSERT_TRUE(raster::ResolveToArgb(view, x, y, w, h, reinterpret_cast<uint8_t*>(out.data()), w * 4));
  auto expectRow = [&](uint32_t row) {
    for (uint32_t column = 0; column < w; column += 11) {
      uint32_t mean = 0;
      for (int channel = 0; channel < 32; channel += 8) {
        uint32_t sum = n / 2;
        for (uint32_t k = 0; k < n; ++k)
          sum += planes[(size_t{k} * height + y + row) * width + x + column] >> channel & 0xff;
        mean |= sum / n << channel;
      }
      ASSERT_EQ(out[size_t{row} * w + column], mean) << "row " << row << ", column " << column;
    }
  };
  for (uint32_t row = 0; row < h; row += 37) expectRow(row);
  expectRow(h / 2);  // where a second thread takes over
  expectRow(h - 1);
}

}  // namespace
