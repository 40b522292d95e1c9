// Files built byte by byte for what convert never writes: RLE4, RLE deltas, DDS
// luminance, alpha-only, 16-bit and DXT corner cases with stored mip levels, PPM
// maximum values, TGA 16-bit with right-to-left rows. Also top-down BMP and
// headerless DIB made from convert's own BMP files.
#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

namespace d3dximage::test {
namespace {

namespace ff = fileformat;

std::vector<uint8_t> BmpFile(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                             const std::vector<uint32_t>& palette, const std::vector<uint8_t>& pixels) {
  ByteBuilder b;
  uint32_t offset = 14 + 40 + uint32_t(palette.size()) * 4;
  b.Text("BM").U32(offset + uint32_t(pixels.size())).U32(0).U32(offset);
  b.U32(40).U32(uint32_t(width)).U32(uint32_t(height)).U16(1).U16(bpp).U32(compression);
  b.U32(uint32_t(pixels.size())).U32(0).U32(0).U32(uint32_t(palette.size())).U32(0);
  for (uint32_t c : palette) b.U32(c & 0xFFFFFF);
  return b.Append(pixels).bytes;
}

struct DdsPixelFormat {
  uint32_t flags, fourCC, bits, r, g, b, a;
};

std::vector<uint8_t> DdsFile(uint32_t width, uint32_t height, uint32_t mipCount, DdsPixelFormat pf,
                             const std::vector<uint8_t>& data) {
  ByteBuilder b;
  b.Text("DDS ").U32(124).U32(0x1007 | (mipCount > 1 ? 0x20000 : 0)).U32(height).U32(width);
  b.U32(0).U32(0).U32(mipCount);
  for (int i = 0; i < 11; ++i) b.U32(0);
  b.U32(32).U32(pf.flags).U32(pf.fourCC).U32(pf.bits).U32(pf.r).U32(pf.g).U32(pf.b).U32(pf.a);
  b.U32(0x1000).U32(0).U32(0).U32(0).U32(0);
  return b.Append(data).bytes;
}

std::vector<uint8_t> TgaFile(uint8_t type, uint8_t bits, uint8_t descriptor, uint16_t width, uint16_t height,
                             const std::vector<uint8_t>& data) {
  ByteBuilder b;
  b.U8(0).U8(0).U8(type).U16(0).U16(0).U8(0).U16(0).U16(0).U16(width).U16(height).U8(bits).U8(descriptor);
  return b.Append(data).bytes;
}

std::vector<uint8_t> Text(const std::string& s) { return ByteBuilder().Text(s).bytes; }

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;

struct CraftedCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t fileFormat;
  std::vector<ImageLevel> levels;
};

std::ostream& operator<<(std::ostream& os, const CraftedCase& c) { return os << c.name; }

ImageLevel Constant(uint32_t w, uint32_t h, uint32_t argb) { return {w, h, Pixels(w * h, argb)}; }

const CraftedCase kCases[] = {
    // Bottom-up RLE8: a run, a delta to (3, 1), a run, end of line, a padded
    // three-pixel copy, end of bitmap. Skipped pixels keep palette entry 0.
    {"BmpRle8WithDelta",
     BmpFile(4, 3, 8, 1, {kBlack, kRed, kGreen, kBlue},
             {2, 1, 0, 2, 1, 1, 1, 3, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1}),
     ff::X8R8G8B8,
     {{4, 3, {kGreen, kRed, kGreen, kBlack, kBlack, kBlack, kBlack, kBlue, kRed, kRed, kBlack, kBlack}}}},
    // RLE4: a run alternating two nibbles, end of line, a five-pixel copy.
    {"BmpRle4",
     BmpFile(5, -2, 4, 2, {kBlack, kRed, kGreen, kBlue, kWhite, 0xFF808080},
             {5, 0x12, 0, 0, 0, 5, 0x34, 0x50, 0x10, 0, 0, 1}),
     ff::X8R8G8B8,
     {{5, 2, {kRed, kGreen, kRed, kGreen, kRed, kBlue, kWhite, 0xFF808080, kBlack, kRed}}}},
    {"DdsL8", DdsFile(2, 1, 1, {0x20000, 0, 8, 0xFF, 0, 0, 0}, {0x10, 0xF0}), ff::L8,
     {{2, 1, {0xFF101010, 0xFFF0F0F0}}}},
    {"DdsA8L8", DdsFile(1, 1, 1, {0x20001, 0, 16, 0xFF, 0, 0, 0xFF00}, {0x40, 0x80}), ff::A8L8,
     {{1, 1, {0x80404040}}}},
    {"DdsA4L4", DdsFile(1, 1, 1, {0x20001, 0, 8, 0x0F, 0, 0, 0xF0}, {0x5A}), ff::A4L4, {{1, 1, {0x55AAAAAA}}}},
    {"DdsA8", DdsFile(1, 1, 1, {0x2, 0, 8, 0, 0, 0, 0xFF}, {0x7F}), ff::A8, {{1, 1, {0x7F000000}}}},
    // 5- and 6-bit channels widen by repeating their bits: 10000b -> 10000100b.
    {"DdsR5G6B5", DdsFile(1, 1, 1, {0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0}, {0x10, 0x84}), ff::R5G6B5,
     {{1, 1, {0xFF848284}}}},
    {"DdsStoredMipLevels",
     DdsFile(4, 2, 3, {0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
             ByteBuilder().Append(std::vector<uint8_t>(0)).U32(0x112233).U32(0x112233).U32(0x112233).U32(0x112233)
                 .U32(0x112233).U32(0x112233).U32(0x112233).U32(0x112233).U32(0x445566).U32(0x445566).U32(0x778899)
                 .bytes),
     ff::X8R8G8B8, {Constant(4, 2, 0xFF112233), Constant(2, 1, 0xFF445566), Constant(1, 1, 0xFF778899)}},
    // DXT1 with c0 <= c1: black, white, their mean and transparent black.
    {"DdsDxt1ThreeColours",
     DdsFile(4, 1, 1, {0x4, ff::DXT1, 0, 0, 0, 0, 0}, {0x00, 0x00, 0xFF, 0xFF, 0xE4, 0, 0, 0}), ff::DXT1,
     {{4, 1, {kBlack, kWhite, 0xFF7F7F7F, 0x00000000}}}},
    // DXT5 with a0 > a1: six steps between; indices 0, 1, 2, 7 of the first row.
    {"DdsDxt5SixStepAlpha",
     DdsFile(4, 1, 1, {0x4, ff::DXT5, 0, 0, 0, 0, 0},
             {255, 0, 0x88, 0x0E, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}),
     ff::DXT5, {{4, 1, {0xFFFFFFFF, 0x00FFFFFF, 0xDAFFFFFF, 0x24FFFFFF}}}},
    {"PpmMaxval100WithComments", Text("P3\n# a comment\n2 1 # trailing\n100\n100 0 50  0 100 25\n"), ff::R8G8B8,
     {{2, 1, {0xFFFF0080, 0xFF00FF40}}}},
    {"PbmTextDigitsTouching", Text("P1\n3 1\n010"), ff::L8, {{3, 1, {kWhite, kBlack, kWhite}}}},
    {"PgmBinaryMaxval1000", ByteBuilder().Text("P5 2 1 1000\n").U8(0x03).U8(0xE8).U8(0x01).U8(0xF4).bytes,
     ff::L8, {{2, 1, {kWhite, 0xFF808080}}}},
    // 16-bit true colour, one alpha bit, top-down and right to left.
    {"Tga1555RightToLeft", TgaFile(2, 16, 0x31, 2, 1, {0x00, 0xFC, 0x1F, 0x00}), ff::A1R5G5B5,
     {{2, 1, {0x000000FF, 0xFFFF0000}}}},
    {"TgaGreyAlpha", TgaFile(3, 16, 0x28, 1, 1, {0x40, 0x80}), ff::A8L8, {{1, 1, {0x80404040}}}},
};

class CraftedFiles : public testing::TestWithParam<CraftedCase> {};

TEST_P(CraftedFiles, DecodeToTheStatedPixels) {
  const CraftedCase& c = GetParam();
  ImageFile file;
  ASSERT_EQ(Decode(c.bytes, file), DecodeResult::Ok);
  EXPECT_EQ(file.fileFormat, c.fileFormat);
  ASSERT_EQ(file.levels.size(), c.levels.size());
  for (size_t i = 0; i < c.levels.size(); ++i) {
    EXPECT_EQ(file.levels[i].width, c.levels[i].width) << "level " << i;
    EXPECT_EQ(file.levels[i].height, c.levels[i].height) << "level " << i;
    EXPECT_EQ(file.levels[i].argb, c.levels[i].argb) << "level " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(ByHand, CraftedFiles, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// convert's BMP3 file with its rows reversed and its height negated must decode to
// the same picture; without its 14-byte file header it is a DIB and must too.
class ConvertBmp : public testing::Test {
 protected:
  void SetUp() override {
    WriteSourceRgba(dir_ / "source.rgba");
    RunConvert({"-size", "13x7", "-depth", "8", "rgba:" + (dir_ / "source.rgba"), "-alpha", "off",
                "BMP3:" + (dir_ / "f.bmp")});
    bytes_ = ReadFile(dir_ / "f.bmp");
    ASSERT_EQ(Decode(bytes_, upright_), DecodeResult::Ok);
  }
  ScratchDir dir_;
  std::vector<uint8_t> bytes_;
  ImageFile upright_;
};

TEST_F(ConvertBmp, TopDownRowsGiveTheSamePicture) {
  const size_t offset = 54, stride = (13 * 3 + 3) / 4 * 4;
  ASSERT_EQ(bytes_.size(), offset + stride * 7);
  std::vector<uint8_t> flipped(bytes_.begin(), bytes_.begin() + offset);
  for (size_t r = 7; r-- > 0;)
    flipped.insert(flipped.end(), bytes_.begin() + offset + r * stride, bytes_.begin() + offset + (r + 1) * stride);
  int32_t negative = -7;
  std::memcpy(&flipped[22], &negative, 4);
  ImageFile file;
  ASSERT_EQ(Decode(flipped, file), DecodeResult::Ok);
  EXPECT_EQ(file.levels[0].argb, upright_.levels[0].argb);
}

TEST_F(ConvertBmp, HeaderlessDibGivesTheSamePicture) {
  std::vector<uint8_t> dib(bytes_.begin() + 14, bytes_.end());
  ImageFile file;
  ASSERT_EQ(Decode(dib, file), DecodeResult::Ok);
  EXPECT_EQ(file.fileFormat, ff::R8G8B8);
  EXPECT_EQ(file.levels[0].argb, upright_.levels[0].argb);
}

// convert writes mip levels for power-of-two sizes; a constant picture stays constant
// on every stored level.
TEST(ConvertDds, StoredMipLevelsComeBackInOrder) {
  ScratchDir dir;
  RunConvert({"-size", "16x8", "xc:rgba(10,200,30,0.5)", "-define", "dds:compression=none", "-define",
              "dds:mipmaps=3", dir / "m.dds"});
  ImageFile file;
  ASSERT_EQ(Decode(ReadFile(dir / "m.dds"), file), DecodeResult::Ok);
  ASSERT_EQ(file.levels.size(), 4u);
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(file.levels[i].width, 16u >> i);
    EXPECT_EQ(file.levels[i].height, 8u >> i);
    uint32_t colour = file.levels[0].argb[0];
    for (uint32_t p : file.levels[i].argb) ASSERT_EQ(p, colour) << "level " << i;
  }
  EXPECT_EQ(file.levels[0].argb, ConvertReads(dir / "m.dds", 16, 8).argb);
}

}  // namespace
}  // namespace d3dximage::test
