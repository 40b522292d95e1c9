// DDS files: uncompressed RGB (any masks of 8 to 32 bits), luminance and alpha-only
// pixels, and DXT1-DXT5 blocks, with their stored mip levels. Cube maps and volume
// textures are refused, as are palettised and other FourCC formats. DXT2 and DXT4
// come out as stored (colour already multiplied by alpha).
#include <algorithm>

#include "decoder_support.h"

namespace d3dximage {
namespace {

constexpr uint32_t kMagic = fileformat::FourCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 124, kPixelFormatSize = 32;
constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kPixelAlphaPixels = 0x1, kPixelAlpha = 0x2, kPixelFourCC = 0x4,
                   kPixelRgb = 0x40, kPixelLuminance = 0x20000;
constexpr uint32_t kCaps2CubeMap = 0x200, kCaps2Volume = 0x200000;

struct DdsLayout {
  uint32_t width = 0, height = 0, levelCount = 1;
  uint32_t fourCC = 0;       // DXT1..DXT5, or 0 for packed pixels
  unsigned bitsPerPixel = 0;  // packed pixels only
  MaskLayout masks;
  uint32_t format = 0;
};

// Luminance keeps its mask in the red field; copying it to green and blue makes grey.
uint32_t PackedFormat(uint32_t flags, DdsLayout& d) {
  const MaskLayout& m = d.masks;
  if (flags & kPixelLuminance) {
    if (d.bitsPerPixel == 8 && m.red.mask == 0xFF && !m.alpha.bits) return fileformat::L8;
    if (d.bitsPerPixel == 8 && m.red.mask == 0x0F && m.alpha.mask == 0xF0) return fileformat::A4L4;
    if (d.bitsPerPixel == 16 && m.red.mask == 0xFF && m.alpha.mask == 0xFF00) return fileformat::A8L8;
    if (d.bitsPerPixel == 16 && m.red.mask == 0xFFFF && !m.alpha.bits) return fileformat::L16;
    return m.alpha.bits ? fileformat::A8L8 : fileformat::L8;
  }
  if (!(flags & kPixelRgb)) return fileformat::A8;
  return FormatForMasks(d.bitsPerPixel, m);
}

bool ReadPixelFormat(ByteReader& in, DdsLayout& d) {
  uint32_t size = in.U32(), flags = in.U32(), fourCC = in.U32(), bits = in.U32();
  uint32_t r = in.U32(), g = in.U32(), b = in.U32(), a = in.U32();
  if (in.Failed() || size != kPixelFormatSize) return false;
  if (flags & kPixelFourCC) {
    d.fourCC = fourCC;
    d.format = fourCC;
    return fourCC == fileformat::DXT1 || fourCC == fileformat::DXT2 ||
           fourCC == fileformat::DXT3 || fourCC == fileformat::DXT4 || fourCC == fileformat::DXT5;
  }
  if (!(flags & (kPixelRgb | kPixelLuminance | kPixelAlpha))) return false;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  d.bitsPerPixel = bits;
  if (flags & kPixelLuminance) g = b = r;
  if (!(flags & (kPixelRgb | kPixelLuminance))) r = g = b = 0;  // alpha only
  if (!(flags & (kPixelAlphaPixels | kPixelAlpha))) a = 0;
  if (!d.masks.Set(r, g, b, a)) return false;
  d.format = PackedFormat(flags, d);
  return true;
}

DecodeResult ReadHeader(ByteReader& in, DdsLayout& d) {
  if (in.U32() != kMagic) return DecodeResult::NotThisFormat;
  uint32_t size = in.U32(), flags = in.U32();
  d.height = in.U32(), d.width = in.U32();
  in.Skip(8);  // pitch or linear size (recomputed from the width), depth
  uint32_t mipCount = in.U32();
  in.Skip(44);
  if (!ReadPixelFormat(in, d)) return DecodeResult::InvalidData;
  in.Skip(4);
  uint32_t caps2 = in.U32();
  in.Skip(12);
  if (in.Failed() || size != kHeaderSize || (caps2 & (kCaps2CubeMap | kCaps2Volume)) ||
      d.width == 0 || d.height == 0)
    return DecodeResult::InvalidData;
  d.levelCount = (flags & kFlagMipMapCount) && mipCount > 1 ? mipCount : 1;
  return d.levelCount <= FullMipCount(d.width, d.height) ? DecodeResult::Ok
                                                         : DecodeResult::InvalidData;
}

// Stored rows of one level: 4-row block strips for DXT, pixel rows otherwise.
struct LevelShape {
  uint32_t width, height;
  uint64_t rowBytes, rows;
};

LevelShape ShapeOf(const DdsLayout& d, uint32_t level) {
  uint32_t w = std::max(1u, d.width >> level), h = std::max(1u, d.height >> level);
  if (d.fourCC) {
    uint64_t blockBytes = d.fourCC == fileformat::DXT1 ? 8 : 16;
    return {w, h, (w + 3ull) / 4 * blockBytes, (h + 3ull) / 4};
  }
  return {w, h, uint64_t(w) * (d.bitsPerPixel / 8), h};
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb) {
  uint32_t result = 0;
  for (unsigned shift = 0; shift < 32; shift += 8) {
    uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    result |= (ca * wa + cb * wb) / (wa + wb) << shift;
  }
  return result;
}

// The colour half of a block; DXT1 with c0 <= c1 has three colours and transparent
// black, the other formats always four colours.
void DecodeColorBlock(const uint8_t* b, bool dxt1, uint32_t out[16]) {
  static const MaskLayout k565 = [] {
    MaskLayout m;
    m.Set(0xF800, 0x07E0, 0x001F, 0);
    return m;
  }();
  uint32_t c0 = LoadPixel(b, 2), c1 = LoadPixel(b + 2, 2);
  uint32_t color[4] = {k565.ToArgb(c0), k565.ToArgb(c1), 0, 0};
  if (c0 > c1 || !dxt1) {
    color[2] = Mix(color[0], color[1], 2, 1);
    color[3] = Mix(color[0], color[1], 1, 2);
  } else {
    color[2] = Mix(color[0], color[1], 1, 1);
  }
  uint32_t indices = LoadPixel(b + 4, 4);
  for (unsigned i = 0; i < 16; ++i) out[i] = color[(indices >> (2 * i)) & 3];
}

// DXT3 alpha: sixteen explicit 4-bit values.
void DecodeExplicitAlpha(const uint8_t* b, uint32_t out[16]) {
  for (unsigned i = 0; i < 16; ++i) {
    uint32_t a = ScaleTo8((b[i / 2] >> (4 * (i & 1))) & 15, 4);
    out[i] = (out[i] & 0xFFFFFF) | a << 24;
  }
}

// DXT5 alpha: two end points, six or four values between them (the latter with 0 and
// 255 added), and 3-bit indices.
void DecodeInterpolatedAlpha(const uint8_t* b, uint32_t out[16]) {
  uint32_t a[8] = {b[0], b[1]};
  bool six = a[0] > a[1];
  for (uint32_t i = 1; i <= (six ? 6u : 4u); ++i) {
    uint32_t n = six ? 7 : 5;
    a[i + 1] = ((n - i) * a[0] + i * a[1]) / n;
  }
  if (!six) a[6] = 0, a[7] = 255;
  uint64_t indices = 0;
  for (unsigned i = 0; i < 6; ++i) indices |= uint64_t(b[2 + i]) << (8 * i);
  for (unsigned i = 0; i < 16; ++i)
    out[i] = (out[i] & 0xFFFFFF) | a[(indices >> (3 * i)) & 7] << 24;
}

void DecodeBlocks(const uint8_t* data, const DdsLayout& d, const LevelShape& s, ImageLevel& level) {
  const bool dxt1 = d.fourCC == fileformat::DXT1;
  const bool explicitAlpha = d.fourCC == fileformat::DXT2 || d.fourCC == fileformat::DXT3;
  const unsigned blockBytes = dxt1 ? 8 : 16;
  for (uint32_t by = 0; by < s.height; by += 4) {
    for (uint32_t bx = 0; bx < s.width; bx += 4, data += blockBytes) {
      uint32_t block[16];
      DecodeColorBlock(dxt1 ? data : data + 8, dxt1, block);
      if (!dxt1) (explicitAlpha ? DecodeExplicitAlpha : DecodeInterpolatedAlpha)(data, block);
      for (uint32_t y = by; y < std::min(by + 4, s.height); ++y)
        for (uint32_t x = bx; x < std::min(bx + 4, s.width); ++x)
          level.argb[uint64_t(y) * s.width + x] = block[(y - by) * 4 + (x - bx)];
    }
  }
}

void DecodePacked(const uint8_t* data, const DdsLayout& d, ImageLevel& level) {
  const unsigned bytesPerPixel = d.bitsPerPixel / 8;
  for (uint32_t& pixel : level.argb) {
    pixel = d.masks.ToArgb(LoadPixel(data, bytesPerPixel));
    data += bytesPerPixel;
  }
}

}  // namespace

DecodeResult DecodeDds(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  ByteReader in(bytes);
  DdsLayout d;
  DecodeResult result = ReadHeader(in, d);
  if (result != DecodeResult::Ok) return result;
  if (d.width > maxDimension || d.height > maxDimension) return DecodeResult::InvalidData;
  // Every level must be present before any memory is taken.
  size_t available = in.Remaining();
  for (uint32_t i = 0; i < d.levelCount; ++i) {
    LevelShape s = ShapeOf(d, i);
    if (!RowsPresent(s.rowBytes, s.rowBytes, s.rows, available)) return DecodeResult::InvalidData;
    available -= size_t(s.rowBytes * s.rows);
  }
  const uint8_t* data = bytes.data() + in.Position();
  for (uint32_t i = 0; i < d.levelCount; ++i) {
    LevelShape s = ShapeOf(d, i);
    ImageLevel level;
    if ((result = AllocateLevel(s.width, s.height, maxDimension, level)) != DecodeResult::Ok)
      return result;
    if (d.fourCC) DecodeBlocks(data, d, s, level);
    else DecodePacked(data, d, level);
    data += s.rowBytes * s.rows;
    out.levels.push_back(std::move(level));
  }
  out.fileFormat = d.format;
  return DecodeResult::Ok;
}

}  // namespace d3dximage
