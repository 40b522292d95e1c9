// Conversions between every supported format and A8R8G8B8, at the edges of each
// channel's range.
#include "texel_formats.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
  D3DFORMAT format;
  uint32_t bytes;
  uint32_t raw;       // the stored pixel (little-endian, `bytes` long)
  uint32_t argb;      // what it reads as
};

const Case kCases[] = {
    {D3DFMT_A8R8G8B8, 4, 0x80ff0001u, 0x80ff0001u},
    {D3DFMT_X8R8G8B8, 4, 0xff123456u, 0xff123456u},
    {D3DFMT_R5G6B5, 2, 0xf800, 0xffff0000u},
    {D3DFMT_R5G6B5, 2, 0x07e0, 0xff00ff00u},
    {D3DFMT_R5G6B5, 2, 0x001f, 0xff0000ffu},
    {D3DFMT_R5G6B5, 2, 0x0821, 0xff080408u},  // 1/31 -> 8, 1/63 -> 4
    {D3DFMT_X1R5G5B5, 2, 0xfc00, 0xffff0000u},
    {D3DFMT_A1R5G5B5, 2, 0x7fff, 0x00ffffffu},
    {D3DFMT_A1R5G5B5, 2, 0x8000, 0xff000000u},
    {D3DFMT_A4R4G4B4, 2, 0xf00f, 0xff0000ffu},
    {D3DFMT_A4R4G4B4, 2, 0x1234, 0x11223344u},
    {D3DFMT_A2R10G10B10, 4, 0xc0000000u, 0xff000000u},
    {D3DFMT_A2R10G10B10, 4, 0x3ff00000u, 0x00ff0000u},
    {D3DFMT_A2R10G10B10, 4, 0x400003ffu, 0x550000ffu},
    {D3DFMT_A8, 1, 0x7f, 0x7f000000u},
    {D3DFMT_L8, 1, 0x40, 0xff404040u},
    {D3DFMT_A8L8, 2, 0x80ff, 0x80ffffffu},
    {D3DFMT_V8U8, 2, 0x807f, 0xffff00ffu},    // u = 127, v = -128
    {D3DFMT_V8U8, 2, 0x0000, 0xff8080ffu},
    {D3DFMT_L6V5U5, 2, 0xfc0f, 0xffff80ffu},  // u = 15, v = 0, l = 63
    {D3DFMT_L6V5U5, 2, 0x0010, 0xff008000u},  // u = -16 saturates at -128
    {D3DFMT_X8L8V8U8, 4, 0x00c00181u, 0xff0181c0u},
};

TEST(TexelFormats, ReadsEachFormatAtChannelEdges) {
  for (const Case& c : kCases) {
    uint32_t out = 0;
    ASSERT_TRUE(raster::ConvertRowToArgb(c.format, reinterpret_cast<const uint8_t*>(&c.raw), 1, &out));
    EXPECT_EQ(out, c.argb) << "format " << c.format << " raw " << std::hex << c.raw;
  }
}

// Formats of at most 8 bits a channel survive format -> ARGB -> format unchanged.
TEST(TexelFormats, RoundTripsEveryStoredValue) {
  struct RoundTrip {
    D3DFORMAT format;
    uint32_t bytes;
    uint32_t significant;  // bits that carry data (X bits are written as ones)
  };
  const RoundTrip kTrips[] = {
      {D3DFMT_R5G6B5, 2, 0xffff},   {D3DFMT_X1R5G5B5, 2, 0x7fff}, {D3DFMT_A1R5G5B5, 2, 0xffff},
      {D3DFMT_A4R4G4B4, 2, 0xffff}, {D3DFMT_A8, 1, 0xff},         {D3DFMT_L8, 1, 0xff},
      {D3DFMT_A8L8, 2, 0xffff},     {D3DFMT_V8U8, 2, 0xffff},     {D3DFMT_L6V5U5, 2, 0xffff},
  };
  for (const RoundTrip& t : kTrips) {
    uint32_t limit = t.bytes == 1 ? 0x100 : 0x10000;
    for (uint32_t raw = 0; raw < limit; ++raw) {
      uint32_t argb = 0, back = 0;
      raster::ConvertRowToArgb(t.format, reinterpret_cast<const uint8_t*>(&raw), 1, &argb);
      raster::ConvertRowFromArgb(t.format, &argb, 1, reinterpret_cast<uint8_t*>(&back));
      ASSERT_EQ(back & t.significant, raw & t.significant) << "format " << t.format << " raw " << raw;
    }
  }
}

TEST(TexelFormats, ArgbSurvivesWideAndFullFormats) {
  const D3DFORMAT kFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_A2R10G10B10, D3DFMT_X8L8V8U8};
  const uint32_t kValues[] = {0x00000000u, 0xffffffffu, 0xff7f8001u, 0xaa55aa55u};
  for (D3DFORMAT f : kFormats) {
    for (uint32_t v : kValues) {
      uint32_t stored = 0, back = 0;
      raster::ConvertRowFromArgb(f, &v, 1, reinterpret_cast<uint8_t*>(&stored));
      raster::ConvertRowToArgb(f, reinterpret_cast<const uint8_t*>(&stored), 1, &back);
      uint32_t expected = v;
      if (f == D3DFMT_A2R10G10B10) expected = (v & 0x00ffffffu) | (((v >> 24) + 42) / 85 * 85 << 24);
      if (f == D3DFMT_X8L8V8U8) expected |= 0xff000000u;
      EXPECT_EQ(back, expected) << "format " << f << " value " << std::hex << v;
    }
  }
}

TEST(TexelFormats, DecodesDxt1FourAndThreeColourBlocks) {
  // c0 = white, c1 = black; four-colour mode: indices 0..3 in the first row.
  uint8_t four[8] = {0xff, 0xff, 0x00, 0x00, 0xe4, 0, 0, 0};
  std::vector<uint32_t> out(16);
  ASSERT_TRUE(raster::ConvertRowToArgb(D3DFMT_DXT1, four, 4, out.data()));
  EXPECT_EQ(out[0], 0xffffffffu);
  EXPECT_EQ(out[1], 0xff000000u);
  EXPECT_EQ(out[2], 0xffaaaaaau);
  EXPECT_EQ(out[3], 0xff555555u);
  EXPECT_EQ(out[4], 0xffffffffu);  // second row, index 0
  // c0 <= c1: three colours and transparent black.
  uint8_t three[8] = {0x00, 0x00, 0xff, 0xff, 0xe4, 0, 0, 0};
  ASSERT_TRUE(raster::ConvertRowToArgb(D3DFMT_DXT1, three, 4, out.data()));
  EXPECT_EQ(out[2], 0xff808080u);
  EXPECT_EQ(out[3], 0x00000000u);
}

TEST(TexelFormats, DecodesDxt3AndDxt5Alpha) {
  uint8_t dxt3[16] = {0x10, 0xf0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0};
  std::vector<uint32_t> out(16);
  ASSERT_TRUE(raster::ConvertRowToArgb(D3DFMT_DXT3, dxt3, 4, out.data()));
  EXPECT_EQ(out[0], 0x00ffffffu);
  EXPECT_EQ(out[1], 0x11ffffffu);
  EXPECT_EQ(out[3], 0xffffffffu);
  // DXT5 with a0 = 255, a1 = 0: index 1 is 0, index 2 is (6*255 + 0 + 3) / 7 = 219.
  uint8_t dxt5[16] = {0xff, 0x00, 0x11, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0};
  ASSERT_TRUE(raster::ConvertRowToArgb(D3DFMT_DXT5, dxt5, 4, out.data()));
  EXPECT_EQ(out[0] >> 24, 0u);
  EXPECT_EQ(out[1] >> 24, 219u);
  EXPECT_EQ(out[2] >> 24, 255u);
}

TEST(TexelFormats, ConvertRectHandlesPitchPartialBlocksAndRefusals) {
  uint16_t src[2][4] = {{0xf800, 0x07e0, 0, 0}, {0x001f, 0xffff, 0, 0}};
  uint32_t dst[2][3] = {};
  ASSERT_TRUE(raster::ConvertRect(D3DFMT_R5G6B5, reinterpret_cast<uint8_t*>(src), 8, D3DFMT_X8R8G8B8,
                                  reinterpret_cast<uint8_t*>(dst), 12, 2, 2));
  EXPECT_EQ(dst[0][0], 0xffff0000u);
  EXPECT_EQ(dst[1][1], 0xffffffffu);
  EXPECT_EQ(dst[0][2], 0u);  // beyond the width: untouched
  uint8_t block[8] = {0xff, 0xff, 0x00, 0x00, 0, 0, 0, 0};
  uint32_t small[3][3] = {};
  ASSERT_TRUE(raster::ConvertRect(D3DFMT_DXT1, block, 8, D3DFMT_A8R8G8B8,
                                  reinterpret_cast<uint8_t*>(small), 12, 3, 3));
  EXPECT_EQ(small[2][2], 0xffffffffu);
  EXPECT_FALSE(raster::ConvertRect(D3DFMT_A8R8G8B8, block, 4, D3DFMT_DXT1, block, 8, 1, 1));
  EXPECT_FALSE(raster::ConvertRect(D3DFMT_D24S8, block, 4, D3DFMT_A8R8G8B8, block, 4, 1, 1));
}

}  // namespace
