// BMP files and headerless DIBs: 1, 4 and 8-bit palettised (also RLE4 and RLE8 with
// deltas), 16, 24 and 32-bit with default or bit-field masks, bottom-up or top-down.
// Palettised pictures come out as X8R8G8B8; embedded JPEG or PNG data is refused.
#include <array>

#include "decoder_support.h"

namespace d3dximage {
namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3,
                   kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kOpaqueBlack = 0xFF000000;

struct BmpInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  bool topDown = false;
  unsigned bitsPerPixel = 0;
  uint32_t compression = kBiRgb;
  uint32_t colorsUsed = 0;
  unsigned paletteEntrySize = 4;
  MaskLayout masks;
  size_t paletteOffset = 0;  // just past the header and any masks after it
};

using Palette = std::array<uint32_t, 256>;

bool KnownHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool ValidDepthAndCompression(unsigned bpp, uint32_t compression) {
  switch (compression) {
    case kBiRgb:
      return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    case kBiRle8: return bpp == 8;
    case kBiRle4: return bpp == 4;
    case kBiBitfields:
    case kBiAlphaBitfields: return bpp == 16 || bpp == 32;
    default: return false;
  }
}

// Bit-field masks start 40 bytes into the header: as fields of a V3+ header, or right
// after a 40-byte one (then the palette, if any, follows them). Without bit fields
// 16-bit pixels are 5-5-5 and 24/32-bit ones 8-8-8; the top byte of a 32-bit pixel is
// read as alpha (see UnusedAlphaToOpaque).
bool ReadMasks(Bytes bytes, size_t headerStart, uint32_t headerSize, BmpInfo& info) {
  bool bitfields = info.compression == kBiBitfields || info.compression == kBiAlphaBitfields;
  if (!bitfields) {
    if (info.bitsPerPixel == 16) return info.masks.Set(0x7C00, 0x03E0, 0x001F, 0);
    return info.masks.Set(0xFF0000, 0xFF00, 0xFF, info.bitsPerPixel == 32 ? 0xFF000000 : 0);
  }
  ByteReader in(bytes, headerStart + 40);
  uint32_t r = in.U32(), g = in.U32(), b = in.U32();
  bool alphaPresent = headerSize >= 56 || (headerSize == 40 && info.compression == kBiAlphaBitfields);
  uint32_t a = alphaPresent ? in.U32() : 0;
  if (in.Failed()) return false;
  if (headerSize == 40) info.paletteOffset = in.Position();
  return info.masks.Set(r, g, b, a);
}

// Parses the info header at `at`. NotThisFormat: not a header this reader knows;
// InvalidData: a known header with impossible values.
DecodeResult ReadInfoHeader(Bytes bytes, size_t at, BmpInfo& info) {
  ByteReader in(bytes, at);
  uint32_t headerSize = in.U32();
  if (!KnownHeaderSize(headerSize)) return DecodeResult::NotThisFormat;
  int64_t width, height;
  unsigned planes;
  if (headerSize == 12) {
    width = in.U16(), height = in.U16(), planes = in.U16(), info.bitsPerPixel = in.U16();
    info.paletteEntrySize = 3;
  } else {
    width = in.I32(), height = in.I32(), planes = in.U16(), info.bitsPerPixel = in.U16();
    info.compression = in.U32();
    in.Skip(12);  // image size and resolution, not needed to decode
    info.colorsUsed = in.U32();
  }
  if (in.Failed() || planes != 1 ||
      !ValidDepthAndCompression(info.bitsPerPixel, info.compression))
    return DecodeResult::NotThisFormat;
  if (width <= 0 || height == 0 || height == INT32_MIN) return DecodeResult::InvalidData;
  info.width = uint32_t(width);
  info.topDown = height < 0;
  info.height = uint32_t(height < 0 ? -height : height);
  info.paletteOffset = at + headerSize;
  return ReadMasks(bytes, at, headerSize, info) ? DecodeResult::Ok : DecodeResult::InvalidData;
}

// Palette entries are B,G,R(,reserved); indices past the stored entries read as black.
// Colour-table entries: those the header counts, else all an index can reach. Files of
// more than 8 bits may carry a table too; it is skipped.
uint64_t PaletteCount(const BmpInfo& info) {
  if (info.colorsUsed) return info.colorsUsed;
  return info.bitsPerPixel <= 8 ? 1u << info.bitsPerPixel : 0;
}

bool ReadPalette(Bytes bytes, const BmpInfo& info, Palette& palette) {
  palette.fill(kOpaqueBlack);
  if (info.bitsPerPixel > 8) return true;
  uint64_t count = PaletteCount(info);
  if (count > 256) return false;
  ByteReader in(bytes, info.paletteOffset);
  for (uint64_t i = 0; i < count; ++i) {
    Bytes entry = in.Take(info.paletteEntrySize);
    if (entry.empty()) return false;
    palette[i] = Argb(255, entry[2], entry[1], entry[0]);
  }
  return true;
}

// Stored rows, first row first: packed indices or packed pixels, `stride` bytes apart.
struct StoredRows {
  const uint8_t* data;
  uint64_t stride;
  unsigned bitsPerPixel;
};

uint32_t PixelAt(const uint8_t* row, uint32_t x, unsigned bpp, const BmpInfo& info,
                 const Palette& palette) {
  if (bpp > 8) return info.masks.ToArgb(LoadPixel(row + uint64_t(x) * (bpp / 8), bpp / 8));
  uint64_t bit = uint64_t(x) * bpp;
  unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
  return palette[index];
}

void ConvertRows(const StoredRows& rows, const BmpInfo& info, const Palette& palette,
                 ImageLevel& level) {
  for (uint32_t r = 0; r < info.height; ++r) {
    const uint8_t* row = rows.data + r * rows.stride;
    uint32_t y = info.topDown ? r : info.height - 1 - r;
    uint32_t* out = level.argb.data() + uint64_t(y) * info.width;
    for (uint32_t x = 0; x < info.width; ++x)
      out[x] = PixelAt(row, x, rows.bitsPerPixel, info, palette);
  }
}

// A 32-bit BI_RGB file calls its top byte unused, yet writers (the surface saver
// among them) keep alpha there. Zero everywhere means unused: the picture is opaque.
bool UnusedAlphaToOpaque(ImageLevel& level) {
  for (uint32_t p : level.argb)
    if (p >> 24) return false;
  for (uint32_t& p : level.argb) p |= 0xFF000000;
  return true;
}

// Expands RLE8/RLE4 into one index byte per pixel, rows in stored order. Writers pad
// rows to whole words with encoded pixels, so pixels right of the picture are
// dropped; rows below it, deltas leaving it, or a stream without end-of-bitmap are
// errors. Pixels the stream skips keep index 0.
DecodeResult ExpandRle(ByteReader& in, const BmpInfo& info, std::vector<uint8_t>& plane) {
  const bool four = info.compression == kBiRle4;
  const uint64_t w = info.width, h = info.height;
  uint64_t x = 0, y = 0;
  auto put = [&](uint64_t count, auto indexAt) {
    if (y >= h) return false;
    for (uint64_t i = 0; i < count && x + i < w; ++i) plane[y * w + x + i] = indexAt(i);
    x += count;
    return true;
  };
  for (;;) {
    uint8_t count = in.U8(), value = in.U8();
    if (in.Failed()) return DecodeResult::InvalidData;
    bool ok = true;
    if (count > 0) {
      ok = put(count, [&](uint64_t i) { return four ? uint8_t(i & 1 ? value & 15 : value >> 4) : value; });
    } else if (value == 0) {
      x = 0, ++y;
      ok = y <= h;
    } else if (value == 1) {
      return DecodeResult::Ok;
    } else if (value == 2) {
      x += in.U8(), y += in.U8();
      ok = !in.Failed() && x <= w && y <= h;
    } else {
      Bytes literal = in.Take(four ? (value + 1u) / 2 : value);
      in.Skip(literal.size() & 1);  // copies end on a 16-bit boundary
      ok = !in.Failed() && put(value, [&](uint64_t i) {
        return four ? uint8_t(i & 1 ? literal[i / 2] & 15 : literal[i / 2] >> 4) : literal[i];
      });
    }
    if (!ok) return DecodeResult::InvalidData;
  }
}

// Decodes the pixels at dataOffset described by info.
DecodeResult DecodePixels(Bytes bytes, const BmpInfo& info, size_t dataOffset,
                          uint32_t maxDimension, ImageFile& out) {
  Palette palette;
  if (!ReadPalette(bytes, info, palette) || dataOffset > bytes.size())
    return DecodeResult::InvalidData;
  Bytes data = bytes.subspan(dataOffset);
  bool rle = info.compression == kBiRle8 || info.compression == kBiRle4;
  uint64_t stride = (uint64_t(info.width) * info.bitsPerPixel + 31) / 32 * 4;
  // The last row may lack its padding.
  uint64_t lastRow = (uint64_t(info.width) * info.bitsPerPixel + 7) / 8;
  if (!rle && !RowsPresent(lastRow, stride, info.height, data.size()))
    return DecodeResult::InvalidData;
  ImageLevel level;
  DecodeResult result = AllocateLevel(info.width, info.height, maxDimension, level);
  if (result != DecodeResult::Ok) return result;
  std::vector<uint8_t> plane;
  StoredRows rows{data.data(), stride, info.bitsPerPixel};
  if (rle) {
    if ((result = AllocateBytes(uint64_t(info.width) * info.height, plane)) != DecodeResult::Ok)
      return result;
    ByteReader in(data);
    if ((result = ExpandRle(in, info, plane)) != DecodeResult::Ok) return result;
    rows = StoredRows{plane.data(), info.width, 8};
  }
  ConvertRows(rows, info, palette, level);
  out.fileFormat = info.bitsPerPixel <= 8 ? fileformat::X8R8G8B8
                                          : FormatForMasks(info.bitsPerPixel, info.masks);
  if (info.bitsPerPixel == 32 && info.compression == kBiRgb && UnusedAlphaToOpaque(level))
    out.fileFormat = fileformat::X8R8G8B8;
  out.levels.push_back(std::move(level));
  return DecodeResult::Ok;
}

}  // namespace

DecodeResult DecodeBmp(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') return DecodeResult::NotThisFormat;
  ByteReader in(bytes, 10);
  uint32_t dataOffset = in.U32();
  BmpInfo info;
  DecodeResult result = ReadInfoHeader(bytes, kFileHeaderSize, info);
  if (in.Failed() || result != DecodeResult::Ok) return DecodeResult::InvalidData;
  return DecodePixels(bytes, info, dataOffset, maxDimension, out);
}

DecodeResult DecodeDib(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  BmpInfo info;
  DecodeResult result = ReadInfoHeader(bytes, 0, info);
  if (result != DecodeResult::Ok) return result;
  // Without a file header the pixels follow the palette.
  uint64_t dataOffset = info.paletteOffset + PaletteCount(info) * info.paletteEntrySize;
  if (dataOffset > bytes.size()) return DecodeResult::InvalidData;
  return DecodePixels(bytes, info, size_t(dataOffset), maxDimension, out);
}

}  // namespace d3dximage
