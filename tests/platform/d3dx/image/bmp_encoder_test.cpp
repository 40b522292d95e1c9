// The 32-bit BMP writer: every header field at its offset, rows bottom to top as
// B,G,R,A, two zero bytes of padding counted in the file size, and convert reading
// the file back to the same pixels.
#include <gtest/gtest.h>

#include "test_support.h"

namespace d3dximage::test {
namespace {

uint32_t Field(const std::vector<uint8_t>& b, size_t at, unsigned size) {
  uint32_t v = 0;
  for (unsigned i = 0; i < size; ++i) v |= uint32_t(b[at + i]) << (8 * i);
  return v;
}

struct FieldCase {
  const char* name;
  size_t offset;
  unsigned size;
  uint32_t value;
};

// 13x7: 364 bytes of pixels, 54 of headers, 2 of padding.
const FieldCase kFields[] = {
    {"Magic", 0, 2, 0x4D42},         {"FileSize", 2, 4, 420},       {"Reserved", 6, 4, 0},
    {"DataOffset", 10, 4, 54},       {"InfoSize", 14, 4, 40},       {"Width", 18, 4, 13},
    {"Height", 22, 4, 7},            {"Planes", 26, 2, 1},          {"BitsPerPixel", 28, 2, 32},
    {"Compression", 30, 4, 0},       {"ImageSize", 34, 4, 364},     {"XPixelsPerMetre", 38, 4, 2834},
    {"YPixelsPerMetre", 42, 4, 2834}, {"ColoursUsed", 46, 4, 0},    {"ColoursImportant", 50, 4, 0},
};

class BmpWriterFields : public testing::TestWithParam<FieldCase> {};

TEST_P(BmpWriterFields, HoldTheirValues) {
  ImageLevel source = SourcePicture();
  std::vector<uint8_t> file = EncodeBmp32(source.width, source.height, source.argb.data(), source.width);
  ASSERT_EQ(file.size(), 420u);
  EXPECT_EQ(Field(file, GetParam().offset, GetParam().size), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Header, BmpWriterFields, testing::ValuesIn(kFields),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpWriter, RowsRunBottomToTopAsBgraThenTwoZeroBytes) {
  ImageLevel source = SourcePicture();
  std::vector<uint8_t> file = EncodeBmp32(source.width, source.height, source.argb.data(), source.width);
  for (uint32_t y = 0; y < 7; ++y)
    for (uint32_t x = 0; x < 13; ++x)
      ASSERT_EQ(Field(file, 54 + ((6 - y) * 13 + x) * 4, 4), source.argb[y * 13 + x]) << x << "," << y;
  EXPECT_EQ(file[418], 0);
  EXPECT_EQ(file[419], 0);
}

TEST(BmpWriter, TakesARectangleThroughThePitch) {
  std::vector<uint32_t> surface = {1, 2, 99, 3, 4, 99};
  std::vector<uint8_t> file = EncodeBmp32(2, 2, surface.data(), 3);
  EXPECT_EQ(Field(file, 54, 4), 3u);
  EXPECT_EQ(Field(file, 58, 4), 4u);
  EXPECT_EQ(Field(file, 62, 4), 1u);
  EXPECT_EQ(Field(file, 66, 4), 2u);
}

TEST(BmpWriter, ConvertReadsBackTheSamePixels) {
  ScratchDir dir;
  ImageLevel source = SourcePicture();
  WriteFile(dir / "out.bmp", EncodeBmp32(source.width, source.height, source.argb.data(), source.width));
  EXPECT_EQ(ConvertReads(dir / "out.bmp", source.width, source.height).argb, source.argb);
}

TEST(BmpWriter, OurReaderReadsBackTheSamePixels) {
  ImageLevel source = SourcePicture();
  ImageFile file;
  ASSERT_EQ(Decode(EncodeBmp32(source.width, source.height, source.argb.data(), source.width), file),
            DecodeResult::Ok);
  EXPECT_EQ(file.fileFormat, fileformat::A8R8G8B8);
  EXPECT_EQ(file.levels[0].argb, source.argb);
}

// Older writers leave the top byte of 32-bit BI_RGB pixels zero: that is opaque.
TEST(BmpWriter, AllZeroAlphaReadsAsOpaque) {
  std::vector<uint32_t> pixels = {0x00123456, 0x00ABCDEF};
  ImageFile file;
  ASSERT_EQ(Decode(EncodeBmp32(2, 1, pixels.data(), 2), file), DecodeResult::Ok);
  EXPECT_EQ(file.fileFormat, fileformat::X8R8G8B8);
  EXPECT_EQ(file.levels[0].argb, (d3dximage::Pixels{0xFF123456, 0xFFABCDEF}));
}

}  // namespace
}  // namespace d3dximage::test
