// Pixel conversion between the supported surface formats and A8R8G8B8. Each format is
// a small codec (one pixel in, one pixel out); rows run through a template so the
// per-pixel work inlines. DXT blocks decode a whole 4x4 block at a time.
#include "texel_formats.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "formats.h"
#include "row_bands.h"

namespace raster {
namespace {

constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr uint32_t Alpha(uint32_t c) { return c >> 24; }
constexpr uint32_t Red(uint32_t c) { return (c >> 16) & 0xff; }
constexpr uint32_t Green(uint32_t c) { return (c >> 8) & 0xff; }
constexpr uint32_t Blue(uint32_t c) { return c & 0xff; }

// An n-bit unsigned channel to 8 bits and back, both rounding to nearest.
template <uint32_t Bits>
constexpr uint32_t Expand(uint32_t v) {
  constexpr uint32_t kMax = (1u << Bits) - 1;
  return (v * 255 + kMax / 2) / kMax;
}
template <uint32_t Bits>
constexpr uint32_t Reduce(uint32_t v8) {
  constexpr uint32_t kMax = (1u << Bits) - 1;
  return (v8 * kMax + 127) / 255;
}

// A signed n-bit component to a biased byte (value + 128) and back; the most negative
// code of a narrow component saturates at -128 like -(2^(n-1) - 1).
template <uint32_t Bits>
uint32_t SignedToBiased(uint32_t raw) {
  constexpr int32_t kMax = (1 << (Bits - 1)) - 1;
  int32_t s = static_cast<int32_t>(raw << (32 - Bits)) >> (32 - Bits);
  int32_t scaled = s >= 0 ? (s * 127 + kMax / 2) / kMax : -((-s * 127 + kMax / 2) / kMax);
  return static_cast<uint32_t>(std::clamp(scaled, -128, 127) + 128);
}
template <uint32_t Bits>
uint32_t BiasedToSigned(uint32_t biased) {
  constexpr int32_t kMax = (1 << (Bits - 1)) - 1;
  int32_t v = static_cast<int32_t>(biased) - 128;
  if (v == -128) return 1u << (Bits - 1);  // the most negative code, as read
  int32_t s = v >= 0 ? (v * kMax + 63) / 127 : -((-v * kMax + 63) / 127);
  s = std::clamp(s, -kMax - 1, kMax);
  return static_cast<uint32_t>(s) & ((1u << Bits) - 1);
}

// Luminance of an A8R8G8B8 colour with integer weights that sum to 256, so grey stays
// exactly grey.
constexpr uint32_t Luminance(uint32_t c) {
  return (Red(c) * 77 + Green(c) * 150 + Blue(c) * 29 + 128) >> 8;
}

uint32_t Load16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t Load32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void Store16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Store32(uint8_t* p, uint32_t v) {
  Store16(p, v);
  Store16(p + 2, v >> 16);
}

struct A8R8G8B8 {
  static constexpr uint32_t kBytes = 4;
  static uint32_t Read(const uint8_t* p) { return Load32(p); }
  static void Write(uint8_t* p, uint32_t c) { Store32(p, c); }
};
struct X8R8G8B8 {
  static constexpr uint32_t kBytes = 4;
  static uint32_t Read(const uint8_t* p) { return Load32(p) | 0xff000000u; }
  static void Write(uint8_t* p, uint32_t c) { Store32(p, c | 0xff000000u); }
};
struct R5G6B5 {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) {
    uint32_t v = Load16(p);
    return Argb(255, Expand<5>(v >> 11), Expand<6>((v >> 5) & 63), Expand<5>(v & 31));
  }
  static void Write(uint8_t* p, uint32_t c) {
    Store16(p, (Reduce<5>(Red(c)) << 11) | (Reduce<6>(Green(c)) << 5) | Reduce<5>(Blue(c)));
  }
};
template <bool HasAlpha>
struct X1R5G5B5Codec {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) {
    uint32_t v = Load16(p);
    uint32_t a = HasAlpha ? (v >> 15) * 255 : 255;
    return Argb(a, Expand<5>((v >> 10) & 31), Expand<5>((v >> 5) & 31), Expand<5>(v & 31));
  }
  static void Write(uint8_t* p, uint32_t c) {
    uint32_t a = HasAlpha ? Alpha(c) >> 7 : 1;
    Store16(p, (a << 15) | (Reduce<5>(Red(c)) << 10) | (Reduce<5>(Green(c)) << 5) |
                   Reduce<5>(Blue(c)));
  }
};
struct A4R4G4B4 {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) {
    uint32_t v = Load16(p);
    return Argb((v >> 12) * 17, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
  }
  static void Write(uint8_t* p, uint32_t c) {
    Store16(p, (Reduce<4>(Alpha(c)) << 12) | (Reduce<4>(Red(c)) << 8) |
                   (Reduce<4>(Green(c)) << 4) | Reduce<4>(Blue(c)));
  }
};
struct A2R10G10B10 {
  static constexpr uint32_t kBytes = 4;
  static uint32_t Read(const uint8_t* p) {
    uint32_t v = Load32(p);
    return Argb(Expand<2>(v >> 30), Expand<10>((v >> 20) & 1023), Expand<10>((v >> 10) & 1023),
                Expand<10>(v & 1023));
  }
  static void Write(uint8_t* p, uint32_t c) {
    // 8 to 10 bits by replicating the top bits, so 0xff becomes 0x3ff.
    auto widen = [](uint32_t v8) { return (v8 << 2) | (v8 >> 6); };
    Store32(p, (Reduce<2>(Alpha(c)) << 30) | (widen(Red(c)) << 20) |
                   (widen(Green(c)) << 10) | widen(Blue(c)));
  }
};
struct A8 {
  static constexpr uint32_t kBytes = 1;
  static uint32_t Read(const uint8_t* p) { return uint32_t{p[0]} << 24; }
  static void Write(uint8_t* p, uint32_t c) { p[0] = static_cast<uint8_t>(Alpha(c)); }
};
struct L8 {
  static constexpr uint32_t kBytes = 1;
  static uint32_t Read(const uint8_t* p) { return Argb(255, p[0], p[0], p[0]); }
  static void Write(uint8_t* p, uint32_t c) { p[0] = static_cast<uint8_t>(Luminance(c)); }
};
struct A8L8 {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) { return Argb(p[1], p[0], p[0], p[0]); }
  static void Write(uint8_t* p, uint32_t c) { Store16(p, (Alpha(c) << 8) | Luminance(c)); }
};
struct V8U8 {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) {
    return Argb(255, (p[0] + 128) & 0xff, (p[1] + 128) & 0xff, 255);
  }
  static void Write(uint8_t* p, uint32_t c) {
    p[0] = static_cast<uint8_t>(Red(c) - 128);
    p[1] = static_cast<uint8_t>(Green(c) - 128);
  }
};
struct L6V5U5 {
  static constexpr uint32_t kBytes = 2;
  static uint32_t Read(const uint8_t* p) {
    uint32_t v = Load16(p);
    return Argb(255, SignedToBiased<5>(v & 31), SignedToBiased<5>((v >> 5) & 31),
                Expand<6>(v >> 10));
  }
  static void Write(uint8_t* p, uint32_t c) {
    Store16(p, (Reduce<6>(Blue(c)) << 10) | (BiasedToSigned<5>(Green(c)) << 5) |
                   BiasedToSigned<5>(Red(c)));
  }
};
struct X8L8V8U8 {
  static constexpr uint32_t kBytes = 4;
  static uint32_t Read(const uint8_t* p) {
    return Argb(255, (p[0] + 128) & 0xff, (p[1] + 128) & 0xff, p[2]);
  }
  static void Write(uint8_t* p, uint32_t c) {
    p[0] = static_cast<uint8_t>(Red(c) - 128);
    p[1] = static_cast<uint8_t>(Green(c) - 128);
    p[2] = static_cast<uint8_t>(Blue(c));
    p[3] = 0xff;
  }
};

template <typename Codec>
void RowTo(const uint8_t* src, uint32_t width, uint32_t* dst) {
  for (uint32_t x = 0; x < width; ++x) dst[x] = Codec::Read(src + x * Codec::kBytes);
}
template <typename Codec>
void RowFrom(const uint32_t* src, uint32_t width, uint8_t* dst) {
  for (uint32_t x = 0; x < width; ++x) Codec::Write(dst + x * Codec::kBytes, src[x]);
}

// ---- DXT blocks ----

// The four colours of a colour block; `allowTransparent` is true only for DXT1, whose
// c0 <= c1 blocks have three colours and transparent black.
void BlockPalette(const uint8_t* block, bool allowTransparent, uint32_t palette[4]) {
  uint32_t c0 = Load16(block), c1 = Load16(block + 2);
  uint8_t raw[2][2] = {{block[0], block[1]}, {block[2], block[3]}};
  palette[0] = R5G6B5::Read(raw[0]);
  palette[1] = R5G6B5::Read(raw[1]);
  auto mix = [&](uint32_t w0, uint32_t w1, uint32_t d) {
    uint32_t out = 0xff000000u;
    for (uint32_t shift = 0; shift < 24; shift += 8) {
      uint32_t a = (palette[0] >> shift) & 0xff, b = (palette[1] >> shift) & 0xff;
      out |= ((a * w0 + b * w1 + d / 2) / d) << shift;
    }
    return out;
  };
  if (c0 > c1 || !allowTransparent) {
    palette[2] = mix(2, 1, 3);
    palette[3] = mix(1, 2, 3);
  } else {
    palette[2] = mix(1, 1, 2);
    palette[3] = 0;
  }
}

void DecodeColorBlock(const uint8_t* block, bool allowTransparent, uint32_t out[16]) {
  uint32_t palette[4];
  BlockPalette(block, allowTransparent, palette);
  uint32_t indices = Load32(block + 4);
  for (uint32_t i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

void ApplyExplicitAlpha(const uint8_t* block, uint32_t out[16]) {
  for (uint32_t i = 0; i < 16; ++i) {
    uint32_t a = (block[i / 2] >> (4 * (i % 2))) & 15;
    out[i] = (out[i] & 0xffffffu) | ((a * 17) << 24);
  }
}

void ApplyInterpolatedAlpha(const uint8_t* block, uint32_t out[16]) {
  uint32_t a0 = block[0], a1 = block[1];
  uint32_t table[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t i = 1; i < 7; ++i) table[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
  } else {
    for (uint32_t i = 1; i < 5; ++i) table[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
    table[6] = 0;
    table[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 5; i >= 0; --i) bits = (bits << 8) | block[2 + i];
  for (uint32_t i = 0; i < 16; ++i) {
    out[i] = (out[i] & 0xffffffu) | (table[(bits >> (3 * i)) & 7] << 24);
  }
}

// DXT2 and DXT4 hold premultiplied colour; it is decoded as stored (not divided by
// alpha), which is what sampling such a texture yields.
void DecodeBlock(D3DFORMAT format, const uint8_t* block, uint32_t out[16]) {
  if (format == D3DFMT_DXT1) {
    DecodeColorBlock(block, true, out);
    return;
  }
  DecodeColorBlock(block + 8, false, out);
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
    ApplyExplicitAlpha(block, out);
  } else {
    ApplyInterpolatedAlpha(block, out);
  }
}

void BlockRowTo(D3DFORMAT format, const uint8_t* src, uint32_t width, uint32_t* dst) {
  uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  for (uint32_t bx = 0; bx * 4 < width; ++bx) {
    uint32_t texels[16];
    DecodeBlock(format, src + bx * blockBytes, texels);
    uint32_t columns = std::min(4u, width - bx * 4);
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < columns; ++x) dst[y * width + bx * 4 + x] = texels[y * 4 + x];
    }
  }
}

bool IsCompressed(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
         format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

struct Codec {
  D3DFORMAT format;
  uint32_t bytes;
  void (*to)(const uint8_t*, uint32_t, uint32_t*);
  void (*from)(const uint32_t*, uint32_t, uint8_t*);
};

template <typename C>
constexpr Codec Entry(D3DFORMAT format) {
  return {format, C::kBytes, &RowTo<C>, &RowFrom<C>};
}

constexpr Codec kCodecs[] = {
    Entry<A8R8G8B8>(D3DFMT_A8R8G8B8),          Entry<X8R8G8B8>(D3DFMT_X8R8G8B8),
    Entry<R5G6B5>(D3DFMT_R5G6B5),              Entry<X1R5G5B5Codec<false>>(D3DFMT_X1R5G5B5),
    Entry<X1R5G5B5Codec<true>>(D3DFMT_A1R5G5B5), Entry<A4R4G4B4>(D3DFMT_A4R4G4B4),
    Entry<A2R10G10B10>(D3DFMT_A2R10G10B10),    Entry<A8>(D3DFMT_A8),
    Entry<L8>(D3DFMT_L8),                      Entry<A8L8>(D3DFMT_A8L8),
    Entry<V8U8>(D3DFMT_V8U8),                  Entry<L6V5U5>(D3DFMT_L6V5U5),
    Entry<X8L8V8U8>(D3DFMT_X8L8V8U8),
};

const Codec* FindCodec(D3DFORMAT format) {
  auto found = std::find_if(std::begin(kCodecs), std::end(kCodecs),
                            [format](const Codec& c) { return c.format == format; });
  return found == std::end(kCodecs) ? nullptr : found;
}

}  // namespace

RowToArgbFn FindRowToArgb(D3DFORMAT format) {
  const Codec* codec = FindCodec(format);
  return codec ? codec->to : nullptr;
}

RowFromArgbFn FindRowFromArgb(D3DFORMAT format) {
  const Codec* codec = FindCodec(format);
  return codec ? codec->from : nullptr;
}

bool ConvertRowToArgb(D3DFORMAT format, const uint8_t* src, uint32_t width, uint32_t* dst) {
  if (IsCompressed(format)) {
    BlockRowTo(format, src, width, dst);
    return true;
  }
  const Codec* codec = FindCodec(format);
  if (!codec) return false;
  codec->to(src, width, dst);
  return true;
}

bool ConvertRowFromArgb(D3DFORMAT format, const uint32_t* src, uint32_t width, uint8_t* dst) {
  const Codec* codec = FindCodec(format);
  if (!codec) return false;
  codec->from(src, width, dst);
  return true;
}

namespace {

// Between the two 32-bit RGB formats a pixel is copied with its top byte set: X8R8G8B8
// reads and writes an opaque alpha.
bool OpaqueCopy(D3DFORMAT from, D3DFORMAT to) {
  return (from == D3DFMT_X8R8G8B8 && to == D3DFMT_A8R8G8B8) || (from == D3DFMT_A8R8G8B8 && to == D3DFMT_X8R8G8B8);
}

// Rows [first, last) of ConvertRect; for a compressed source, rows of whole blocks.
void ConvertRows(D3DFORMAT srcFormat, const uint8_t* src, uint32_t srcPitch, const Codec& to, uint8_t* dst,
                 uint32_t dstPitch, uint32_t width, uint32_t height, uint32_t first, uint32_t last) {
  if (srcFormat == to.format) {
    for (uint32_t y = first; y < last; ++y)
      memcpy(dst + size_t{y} * dstPitch, src + size_t{y} * srcPitch, size_t{width} * to.bytes);
    return;
  }
  if (OpaqueCopy(srcFormat, to.format)) {
    for (uint32_t y = first; y < last; ++y) {
      const uint8_t* in = src + size_t{y} * srcPitch;
      uint8_t* out = dst + size_t{y} * dstPitch;
      for (uint32_t x = 0; x < width; ++x) Store32(out + 4 * x, Load32(in + 4 * x) | 0xff000000u);
    }
    return;
  }
  uint32_t rowsPerStep = IsCompressed(srcFormat) ? 4 : 1;
  std::vector<uint32_t> argb(size_t{width} * rowsPerStep);
  for (uint32_t y = first; y < last; y += rowsPerStep) {
    ConvertRowToArgb(srcFormat, src + size_t{y / rowsPerStep} * srcPitch, width, argb.data());
    for (uint32_t r = 0; r < rowsPerStep && y + r < height; ++r) {
      to.from(argb.data() + size_t{r} * width, width, dst + size_t{y + r} * dstPitch);
    }
  }
}

}  // namespace

bool ConvertRect(D3DFORMAT srcFormat, const uint8_t* src, uint32_t srcPitch,
                 D3DFORMAT dstFormat, uint8_t* dst, uint32_t dstPitch, uint32_t width,
                 uint32_t height) {
  const Codec* to = FindCodec(dstFormat);
  bool compressed = IsCompressed(srcFormat);
  if (!to || (!compressed && !FindCodec(srcFormat))) return false;
  InRowBands(width, height, compressed ? 4 : 1, [&](uint32_t first, uint32_t last) {
    ConvertRows(srcFormat, src, srcPitch, *to, dst, dstPitch, width, height, first, last);
  });
  return true;
}

}  // namespace raster
