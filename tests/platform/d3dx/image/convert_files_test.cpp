// Every file variant the readers must cover, written by ImageMagick's convert from
// the synthetic source: the decoded pixels must equal what convert reads back from
// the same file (JPEG within a small tolerance), and the file must really be the
// variant named (a header field is checked).
#include <gtest/gtest.h>

#include "test_support.h"

namespace d3dximage::test {
namespace {

namespace ff = fileformat;

// A header field of the written file that proves the variant: `size` bytes at
// `offset`, little-endian unless bigEndian.
struct Marker {
  size_t offset;
  unsigned size;
  uint32_t value;
  bool bigEndian = false;
};

// Where convert's own BMP reader is wrong, its answer is corrected before comparing:
// it widens 4-bit channels by a shift (15 -> 240, not 255) and reads a set 1-bit
// alpha as 128.
enum class Correction { None, FourBitChannels, OneBitAlpha };

uint32_t Corrected(uint32_t argb, Correction c) {
  if (c == Correction::FourBitChannels) return argb | (argb >> 4 & 0x0F0F0F0F);
  if (c == Correction::OneBitAlpha) return argb & 0x80000000 ? argb | 0xFF000000 : argb;
  return argb;
}

struct ConvertCase {
  const char* name;
  std::vector<std::string> options;
  std::string output;  // convert's output, with its format prefix
  uint32_t fileFormat;
  std::vector<Marker> markers;
  unsigned tolerance = 0;
  Correction correction = Correction::None;
};

std::ostream& operator<<(std::ostream& os, const ConvertCase& c) { return os << c.name; }

const std::vector<std::string> kOpaque = {"-alpha", "off"};
std::vector<std::string> Opaque(std::vector<std::string> more) {
  more.insert(more.begin(), kOpaque.begin(), kOpaque.end());
  return more;
}
std::vector<std::string> GreyPng(const char* type, const char* depth, bool alpha = false) {
  std::vector<std::string> o = {"-colorspace", "Gray", "-depth", depth, "-define",
                                std::string("png:color-type=") + type, "-define",
                                std::string("png:bit-depth=") + depth};
  if (!alpha) o.insert(o.begin(), kOpaque.begin(), kOpaque.end());
  return o;
}
// BMP: bits per pixel (offset 28) and compression (30). PNG: bit depth (24), colour
// type (25). TGA: image type (2), pixel depth (16), descriptor (17). DDS: pixel-format
// flags (80), FourCC (84), bit count (88). PPM: the magic (byte 1).
std::vector<Marker> Bmp(uint32_t bpp, uint32_t compression) { return {{28, 2, bpp}, {30, 4, compression}}; }
std::vector<Marker> Png(uint32_t depth, uint32_t type) { return {{24, 1, depth}, {25, 1, type}}; }
std::vector<Marker> Tga(uint32_t type, uint32_t bits, uint32_t descriptor) {
  return {{2, 1, type}, {16, 1, bits}, {17, 1, descriptor}};
}
std::vector<Marker> Ppm(char kind) { return {{1, 1, uint32_t(kind)}}; }
std::vector<Marker> DdsFourCC(uint32_t fourCC) { return {{84, 4, fourCC}}; }
std::vector<Marker> DdsBits(uint32_t flags, uint32_t bits) { return {{80, 4, flags}, {88, 4, bits}}; }

const ConvertCase kCases[] = {
    {"Bmp1", Opaque({"-colors", "2", "-type", "Palette"}), "BMP3:f.bmp", ff::X8R8G8B8, Bmp(1, 0)},
    {"Bmp4", Opaque({"-colors", "16"}), "BMP3:f.bmp", ff::X8R8G8B8, Bmp(4, 0)},
    {"Bmp8", Opaque({"-colors", "200", "-compress", "None"}), "BMP3:f.bmp", ff::X8R8G8B8, Bmp(8, 0)},
    {"Bmp8Os2", Opaque({"-colors", "200"}), "BMP2:f.bmp", ff::X8R8G8B8, {{14, 4, 12}}},
    {"BmpRle8", Opaque({"-colors", "200", "-compress", "RLE"}), "BMP3:f.bmp", ff::X8R8G8B8, Bmp(8, 1)},
    {"Bmp565", Opaque({"-define", "bmp:subtype=RGB565"}), "f.bmp", ff::R5G6B5, Bmp(16, 3)},
    {"Bmp555", Opaque({"-define", "bmp:subtype=RGB555"}), "f.bmp", ff::X1R5G5B5, Bmp(16, 3)},
    {"Bmp1555", {"-define", "bmp:subtype=ARGB1555"}, "f.bmp", ff::A1R5G5B5, Bmp(16, 3), 0, Correction::OneBitAlpha},
    {"Bmp4444", {"-define", "bmp:subtype=ARGB4444"}, "f.bmp", ff::A4R4G4B4, Bmp(16, 3), 0, Correction::FourBitChannels},
    {"Bmp24", kOpaque, "BMP3:f.bmp", ff::R8G8B8, Bmp(24, 0)},
    {"Bmp32Bitfields", {}, "f.bmp", ff::A8R8G8B8, Bmp(32, 3)},
    {"PpmBinary", kOpaque, "f.ppm", ff::R8G8B8, Ppm('6')},
    {"PpmText", Opaque({"-compress", "none"}), "f.ppm", ff::R8G8B8, Ppm('3')},
    {"PpmBinary16", Opaque({"-depth", "16"}), "f.ppm", ff::R8G8B8, Ppm('6')},
    {"PpmText16", Opaque({"-depth", "16", "-compress", "none"}), "f.ppm", ff::R8G8B8, Ppm('3')},
    {"PpmMaxval15", Opaque({"-depth", "4"}), "f.ppm", ff::R8G8B8, Ppm('6')},
    {"PgmBinary", Opaque({"-colorspace", "Gray"}), "f.pgm", ff::L8, Ppm('5')},
    {"PgmText", Opaque({"-colorspace", "Gray", "-compress", "none"}), "f.pgm", ff::L8, Ppm('2')},
    {"PgmBinary16", Opaque({"-colorspace", "Gray", "-depth", "16"}), "f.pgm", ff::L8, Ppm('5')},
    {"PbmBinary", Opaque({"-monochrome"}), "f.pbm", ff::L8, Ppm('4')},
    {"PbmText", Opaque({"-monochrome", "-compress", "none"}), "f.pbm", ff::L8, Ppm('1')},
    {"DdsArgb", {"-define", "dds:compression=none"}, "f.dds", ff::A8R8G8B8, DdsBits(0x41, 32)},
    {"DdsRgb24", Opaque({"-define", "dds:compression=none"}), "f.dds", ff::R8G8B8, DdsBits(0x40, 24)},
    {"DdsDxt1", {"-define", "dds:compression=dxt1"}, "f.dds", ff::DXT1, DdsFourCC(ff::DXT1)},
    {"DdsDxt5", {"-define", "dds:compression=dxt5"}, "f.dds", ff::DXT5, DdsFourCC(ff::DXT5)},
    {"JpegColor", kOpaque, "f.jpg", ff::X8R8G8B8, {{0, 2, 0xFFD8, true}}, 3},
    {"JpegGrey", Opaque({"-colorspace", "Gray"}), "f.jpg", ff::L8, {{0, 2, 0xFFD8, true}}, 3},
    {"JpegProgressive", Opaque({"-interlace", "Plane"}), "f.jpg", ff::X8R8G8B8, {{0, 2, 0xFFD8, true}}, 3},
    {"Png8", {}, "PNG8:f.png", ff::A8R8G8B8, Png(8, 3)},
    {"Png24", kOpaque, "PNG24:f.png", ff::X8R8G8B8, Png(8, 2)},
    {"Png32", {}, "PNG32:f.png", ff::A8R8G8B8, Png(8, 6)},
    {"Png48", Opaque({"-depth", "16"}), "PNG48:f.png", ff::X8R8G8B8, Png(16, 2)},
    {"Png64", {"-depth", "16"}, "PNG64:f.png", ff::A8R8G8B8, Png(16, 6)},
    {"PngGrey1", GreyPng("0", "1"), "f.png", ff::L8, Png(1, 0)},
    {"PngGrey2", GreyPng("0", "2"), "f.png", ff::L8, Png(2, 0)},
    {"PngGrey4", GreyPng("0", "4"), "f.png", ff::L8, Png(4, 0)},
    {"PngGrey8", GreyPng("0", "8"), "f.png", ff::L8, Png(8, 0)},
    {"PngGrey16", GreyPng("0", "16"), "f.png", ff::L8, Png(16, 0)},
    {"PngGreyAlpha8", GreyPng("4", "8", true), "f.png", ff::A8L8, Png(8, 4)},
    {"PngGreyAlpha16", GreyPng("4", "16", true), "f.png", ff::A8L8, Png(16, 4)},
    {"PngPalette2", Opaque({"-colors", "3", "-define", "png:color-type=3"}), "f.png", ff::X8R8G8B8, Png(2, 3)},
    {"PngPalette4", Opaque({"-colors", "12", "-define", "png:color-type=3"}), "f.png", ff::X8R8G8B8, Png(4, 3)},
    {"PngPalette8", Opaque({"-colors", "200", "-define", "png:color-type=3"}), "f.png", ff::X8R8G8B8, Png(8, 3)},
    {"PngRgbTrns", {"-channel", "A", "-threshold", "50%", "+channel", "-define", "png:color-type=2"}, "f.png",
     ff::A8R8G8B8, Png(8, 2)},
    {"PngGreyTrns", {"-colorspace", "Gray", "-channel", "A", "-threshold", "50%", "+channel", "-define",
                     "png:color-type=0"}, "f.png", ff::A8L8, Png(8, 0)},
    {"PngInterlaced", {"-interlace", "PNG"}, "PNG32:f.png", ff::A8R8G8B8, {{28, 1, 1}}},
    {"TgaTrueColor32", {}, "f.tga", ff::A8R8G8B8, Tga(2, 32, 0x08)},
    {"TgaTrueColor24", kOpaque, "f.tga", ff::R8G8B8, Tga(2, 24, 0)},
    {"TgaTrueColorRle", {"-compress", "RLE"}, "f.tga", ff::A8R8G8B8, Tga(10, 32, 0x08)},
    {"TgaTopLeft", {"-orient", "TopLeft"}, "f.tga", ff::A8R8G8B8, Tga(2, 32, 0x28)},
    {"TgaMapped", Opaque({"-colors", "30", "-type", "Palette"}), "f.tga", ff::X8R8G8B8, Tga(1, 8, 0)},
    {"TgaMappedRle", Opaque({"-colors", "30", "-type", "Palette", "-compress", "RLE"}), "f.tga", ff::X8R8G8B8,
     Tga(9, 8, 0)},
    {"TgaGrey", Opaque({"-colorspace", "Gray"}), "f.tga", ff::L8, Tga(3, 8, 0)},
    {"TgaGreyRle", Opaque({"-colorspace", "Gray", "-compress", "RLE"}), "f.tga", ff::L8, Tga(11, 8, 0)},
};

uint32_t FieldAt(const std::vector<uint8_t>& bytes, const Marker& m) {
  uint32_t v = 0;
  for (unsigned i = 0; i < m.size && m.offset + i < bytes.size(); ++i) {
    unsigned shift = m.bigEndian ? 8 * (m.size - 1 - i) : 8 * i;
    v |= uint32_t(bytes[m.offset + i]) << shift;
  }
  return v;
}

class ConvertFiles : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFiles, DecodeToThePixelsConvertReads) {
  const ConvertCase& c = GetParam();
  ScratchDir dir;
  WriteSourceRgba(dir / "source.rgba");
  std::vector<std::string> args = {"-size", "13x7", "-depth", "8", "rgba:" + (dir / "source.rgba")};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::string output = c.output;
  size_t colon = output.find(':');
  std::string fileName = colon == std::string::npos ? output : output.substr(colon + 1);
  args.push_back(output.substr(0, colon == std::string::npos ? 0 : colon + 1) + (dir / fileName));
  RunConvert(args);
  std::vector<uint8_t> bytes = ReadFile(dir / fileName);
  for (const Marker& m : c.markers) ASSERT_EQ(FieldAt(bytes, m), m.value) << "field at " << m.offset;

  ImageFile file;
  ASSERT_EQ(Decode(bytes, file), DecodeResult::Ok);
  ASSERT_EQ(file.levels.size(), 1u);
  EXPECT_EQ(file.fileFormat, c.fileFormat);
  EXPECT_EQ(file.levels[0].width, kSourceWidth);
  EXPECT_EQ(file.levels[0].height, kSourceHeight);
  ImageLevel expected = ConvertReads(dir / fileName, kSourceWidth, kSourceHeight);
  for (uint32_t& p : expected.argb) p = Corrected(p, c.correction);
  EXPECT_LE(MaxChannelDifference(file.levels[0], expected), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(ImageMagick, ConvertFiles, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace d3dximage::test
