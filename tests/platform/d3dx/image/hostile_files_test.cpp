// Hostile input: truncated files of every kind, impossible or huge dimensions, RLE
// and deltas leaving the picture, bad DDS sizes. Each must give InvalidData (never a
// crash, a hang or an allocation of the claimed size).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "test_support.h"

namespace d3dximage::test {
namespace {

namespace ff = fileformat;

ByteBuilder BmpHeaders(int32_t width, int32_t height, uint16_t bpp, uint32_t compression, uint32_t colours = 0) {
  ByteBuilder b;
  b.Text("BM").U32(0).U32(0).U32(54 + colours * 4);
  b.U32(40).U32(uint32_t(width)).U32(uint32_t(height)).U16(1).U16(bpp).U32(compression);
  b.U32(0).U32(0).U32(0).U32(colours).U32(0);
  for (uint32_t i = 0; i < colours; ++i) b.U32(i);
  return b;
}

ByteBuilder DdsHeader(uint32_t size, uint32_t width, uint32_t height, uint32_t mips, uint32_t caps2) {
  ByteBuilder b;
  b.Text("DDS ").U32(size).U32(0x21007).U32(height).U32(width).U32(0).U32(0).U32(mips);
  for (int i = 0; i < 11; ++i) b.U32(0);
  b.U32(32).U32(0x40).U32(0).U32(32).U32(0xFF0000).U32(0xFF00).U32(0xFF).U32(0);
  return b.U32(0x1000).U32(caps2).U32(0).U32(0).U32(0);
}

ByteBuilder TgaHeader(uint8_t type, uint8_t bits, uint16_t width, uint16_t height, uint16_t mapLength = 0) {
  ByteBuilder b;
  b.U8(0).U8(mapLength ? 1 : 0).U8(type).U16(0).U16(mapLength).U8(mapLength ? 24 : 0).U32(0);
  return b.U16(width).U16(height).U8(bits).U8(0x20);
}

struct HostileCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t maxDimension = kMaxDimension;
};

std::ostream& operator<<(std::ostream& os, const HostileCase& c) { return os << c.name; }

const HostileCase kCases[] = {
    {"BmpZeroWidth", BmpHeaders(0, 1, 24, 0).U32(0).bytes},
    {"BmpAboveMaxDimension", BmpHeaders(20000, 1, 24, 0).Append(std::vector<uint8_t>(60000)).bytes},
    {"BmpByteSizeOverflows", BmpHeaders(0x7FFFFFFF, 0x7FFFFFFF, 32, 0).U32(0).bytes, UINT32_MAX},
    {"BmpHeightIntMin", BmpHeaders(1, INT32_MIN, 24, 0).U32(0).bytes},
    {"BmpPixelsMissing", BmpHeaders(4, 4, 24, 0).U32(0).U32(0).bytes},
    {"BmpPaletteOver256", BmpHeaders(1, 1, 8, 0, 300).U32(0).bytes},
    {"BmpPaletteMissing", BmpHeaders(1, 1, 8, 0).U32(0).bytes},
    {"BmpMaskNotContiguous", BmpHeaders(1, 1, 16, 3).U32(0xF0F0).U32(0x0F00).U32(0x000F).U32(0).bytes},
    {"BmpRleRunBelowPicture", BmpHeaders(2, 1, 8, 1, 2).U8(2).U8(1).U8(0).U8(0).U8(2).U8(1).U8(0).U8(1).bytes},
    {"BmpRleDeltaOutside", BmpHeaders(2, 2, 8, 1, 2).U8(0).U8(2).U8(3).U8(0).U8(0).U8(1).bytes},
    {"BmpRleDeltaBelow", BmpHeaders(2, 2, 8, 1, 2).U8(0).U8(2).U8(0).U8(5).U8(0).U8(1).bytes},
    {"BmpRleCopyPastData", BmpHeaders(8, 1, 8, 1, 2).U8(0).U8(8).U8(1).U8(1).bytes},
    {"BmpRleWithoutEnd", BmpHeaders(2, 1, 8, 1, 2).U8(2).U8(1).bytes},
    {"BmpRle4RunBelowPicture", BmpHeaders(2, 1, 4, 2, 2).U8(0).U8(0).U8(2).U8(0x11).U8(0).U8(1).bytes},
    {"BmpCompressionJpeg", BmpHeaders(1, 1, 24, 4).U32(0).bytes},
    {"PpmMaxvalZero", ByteBuilder().Text("P6 1 1 0\n").U8(0).U8(0).U8(0).bytes},
    {"PpmMaxvalTooLarge", ByteBuilder().Text("P6 1 1 70000\n").U32(0).U16(0).bytes},
    {"PpmSampleAboveMaxval", ByteBuilder().Text("P3 1 1 100\n1 200 3\n").bytes},
    {"PpmBinarySampleAboveMaxval", ByteBuilder().Text("P6 1 1 100\n").U8(1).U8(200).U8(3).bytes},
    {"PpmHugeAndShort", ByteBuilder().Text("P6 60000 60000 255\n").U32(0).bytes, 65536},
    {"PpmTextTooFewSamples", ByteBuilder().Text("P2 3 1 255\n1 2").bytes},
    {"PpmNumberTooLong", ByteBuilder().Text("P5 99999999999 1 255\n").U8(0).bytes},
    {"PpmNoSeparatorBeforeData", ByteBuilder().Text("P5 1 1 255").bytes},
    {"DdsHeaderSizeWrong", DdsHeader(100, 1, 1, 0, 0).U32(0).bytes},
    {"DdsCubeMap", DdsHeader(124, 1, 1, 0, 0x200).U32(0).bytes},
    {"DdsVolume", DdsHeader(124, 1, 1, 0, 0x200000).U32(0).bytes},
    {"DdsMoreMipsThanTheChain", DdsHeader(124, 2, 2, 3, 0).Append(std::vector<uint8_t>(64)).bytes},
    {"DdsLastMipMissing", DdsHeader(124, 2, 2, 2, 0).Append(std::vector<uint8_t>(16)).bytes},
    {"DdsAboveMaxDimension", DdsHeader(124, 1u << 20, 1, 0, 0).U32(0).bytes},
    {"DdsZeroHeight", DdsHeader(124, 1, 0, 0, 0).U32(0).bytes},
    {"DdsOverflowingSize", DdsHeader(124, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0).U32(0).bytes, UINT32_MAX},
    {"TgaPixelsMissing", TgaHeader(2, 24, 4, 4).U8(0).bytes},
    {"TgaIndexOutsideMap", TgaHeader(1, 8, 1, 1, 2).U16(0).U32(0).U8(5).bytes},
    {"TgaColourMapMissing", TgaHeader(1, 8, 1, 1, 200).U8(0).bytes},
    {"TgaRleRunPastEnd", TgaHeader(10, 8 * 3, 2, 1).U8(0x82).U8(1).U8(2).U8(3).bytes},
    {"TgaRleCopyPastData", TgaHeader(10, 24, 2, 1).U8(0x01).U8(1).U8(2).U8(3).bytes},
    {"TgaAboveMaxDimension", TgaHeader(2, 24, 60000, 1).U8(0).bytes, 4096},
};

class HostileFiles : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, AreRefusedAsInvalidData) {
  ImageFile file;
  EXPECT_EQ(Decode(GetParam().bytes, file, GetParam().maxDimension), DecodeResult::InvalidData);
  EXPECT_TRUE(file.levels.empty());
}

INSTANTIATE_TEST_SUITE_P(ByHand, HostileFiles, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFiles, UnknownBytesAreNoFormat) {
  ImageFile file;
  EXPECT_EQ(Decode({}, file), DecodeResult::NotThisFormat);
  EXPECT_EQ(Decode(ByteBuilder().Text("GIF89a....").bytes, file), DecodeResult::NotThisFormat);
}

// Real files of each kind cut short at several points must all be refused.
class TruncatedFiles : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(TruncatedFiles, AreRefusedAsInvalidData) {
  ScratchDir dir;
  WriteSourceRgba(dir / "source.rgba");
  std::vector<std::string> args = {"-size", "13x7", "-depth", "8", "rgba:" + (dir / "source.rgba")};
  args.insert(args.end(), GetParam().begin(), GetParam().end() - 1);
  args.push_back(GetParam().back() + (dir / "f"));
  RunConvert(args);
  std::vector<uint8_t> whole = ReadFile(dir / "f");
  ASSERT_GT(whole.size(), 40u);
  for (size_t length : {size_t(20), whole.size() / 3, whole.size() / 2, whole.size() * 3 / 4}) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + length);
    ImageFile file;
    EXPECT_EQ(Decode(part, file), DecodeResult::InvalidData) << "cut at " << length << " of " << whole.size();
  }
}

INSTANTIATE_TEST_SUITE_P(
    ImageMagick, TruncatedFiles,
    testing::Values(std::vector<std::string>{"BMP3:"}, std::vector<std::string>{"-colors", "200", "BMP3:"},
                    std::vector<std::string>{"-compress", "none", "PPM:"}, std::vector<std::string>{"PPM:"},
                    std::vector<std::string>{"-define", "dds:compression=dxt1", "DDS:"},
                    std::vector<std::string>{"-define", "dds:compression=none", "DDS:"},
                    std::vector<std::string>{"JPEG:"}, std::vector<std::string>{"-interlace", "Plane", "JPEG:"},
                    std::vector<std::string>{"PNG32:"}, std::vector<std::string>{"-compress", "RLE", "TGA:"},
                    std::vector<std::string>{"TGA:"}));

// Dimensions in a compressed header are refused before the decoder allocates.
class HugeCompressedHeaders : public testing::Test {
 protected:
  std::vector<uint8_t> Convert(const std::string& output) {
    WriteSourceRgba(dir_ / "source.rgba");
    RunConvert({"-size", "13x7", "-depth", "8", "rgba:" + (dir_ / "source.rgba"), output + (dir_ / "f")});
    return ReadFile(dir_ / "f");
  }
  ScratchDir dir_;
};

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, unsigned size) {
  for (unsigned i = 0; i < size; ++i) bytes[at + i] = uint8_t(value >> (8 * (size - 1 - i)));
}

TEST_F(HugeCompressedHeaders, JpegFrameAboveMaxDimension) {
  std::vector<uint8_t> bytes = Convert("JPEG:");
  const uint8_t sof[] = {0xFF, 0xC0};
  auto at = std::search(bytes.begin(), bytes.end(), std::begin(sof), std::end(sof));
  ASSERT_NE(at, bytes.end());
  size_t frame = size_t(at - bytes.begin());
  PutBigEndian(bytes, frame + 5, 0xFFFF, 2);  // height
  PutBigEndian(bytes, frame + 7, 0xFFFF, 2);  // width
  ImageFile file;
  EXPECT_EQ(Decode(bytes, file), DecodeResult::InvalidData);
}

TEST_F(HugeCompressedHeaders, PngHeaderAboveMaxDimension) {
  std::vector<uint8_t> bytes = Convert("PNG32:");
  PutBigEndian(bytes, 16, 1u << 20, 4);  // IHDR width, then its CRC made right again
  PutBigEndian(bytes, 29, uint32_t(crc32(0, bytes.data() + 12, 17)), 4);
  ImageFile file;
  EXPECT_EQ(Decode(bytes, file), DecodeResult::InvalidData);
  EXPECT_EQ(Decode(bytes, file, 1u << 21), DecodeResult::InvalidData);  // and its data is short
}

}  // namespace
}  // namespace d3dximage::test
