// Truevision TGA: colour-mapped, true-colour (15, 16, 24, 32 bits) and grey (8 bits,
// or 16 with alpha) pictures, raw or run-length encoded, any origin corner. TGA has
// no signature, so only a header whose every field is plausible is taken for one.
#include <algorithm>

#include "decoder_support.h"

namespace d3dximage {
namespace {

constexpr unsigned kTypeMapped = 1, kTypeTrueColor = 2, kTypeGrey = 3, kTypeRle = 8;
constexpr uint8_t kRightToLeft = 0x10, kTopDown = 0x20;

struct TgaHeader {
  uint8_t idLength, mapType, imageType;
  uint16_t mapFirst, mapLength;
  uint8_t mapEntryBits;
  uint16_t width, height;
  uint8_t pixelBits, descriptor;
  unsigned BaseType() const { return imageType & ~kTypeRle; }
  unsigned AlphaBits() const { return descriptor & 15; }
};

bool IsColorBits(unsigned bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

bool Plausible(const TgaHeader& h) {
  unsigned type = h.BaseType();
  bool depthFits = (type == kTypeMapped && h.pixelBits == 8) ||
                   (type == kTypeTrueColor && IsColorBits(h.pixelBits)) ||
                   (type == kTypeGrey && (h.pixelBits == 8 || h.pixelBits == 16));
  bool mapFits = h.mapType == 0 ? type != kTypeMapped : h.mapType == 1 && IsColorBits(h.mapEntryBits);
  return (h.imageType & ~(kTypeRle | 3u)) == 0 && type != 0 && depthFits && mapFits &&
         (type != kTypeMapped || h.mapLength > 0) && (h.descriptor & 0xC0) == 0 &&
         h.AlphaBits() <= 8 && h.width > 0 && h.height > 0;
}

// Pixels and colour-map entries are little-endian: 5-5-5 with an optional alpha bit,
// or B,G,R with an optional alpha byte; grey is one byte, optionally followed by alpha.
MaskLayout LayoutFor(unsigned bits, bool grey, bool alpha) {
  MaskLayout m;
  if (grey) m.Set(0xFF, 0xFF, 0xFF, bits == 16 ? 0xFF00 : 0);
  else if (bits <= 16) m.Set(0x7C00, 0x03E0, 0x001F, bits == 16 && alpha ? 0x8000 : 0);
  else m.Set(0xFF0000, 0xFF00, 0xFF, bits == 32 && alpha ? 0xFF000000 : 0);
  return m;
}

unsigned BytesFor(unsigned bits) { return (bits + 7) / 8; }

bool ReadColorMap(ByteReader& in, const TgaHeader& h, std::vector<uint32_t>& map) {
  const unsigned entryBytes = BytesFor(h.mapEntryBits);
  Bytes entries = in.Take(uint64_t(h.mapLength) * entryBytes);
  if (in.Failed() || h.mapType == 0) return !in.Failed();
  MaskLayout layout = LayoutFor(h.mapEntryBits, false, h.AlphaBits() > 0);
  map.resize(h.mapLength);
  for (size_t i = 0; i < map.size(); ++i) map[i] = layout.ToArgb(LoadPixel(&entries[i * entryBytes], entryBytes));
  return true;
}

// Expands run-length packets (a run of one pixel or a copy of several) into raw
// pixels; packets may cross rows but not the end of the picture.
DecodeResult ExpandRle(ByteReader& in, uint64_t pixelCount, unsigned pixelBytes,
                       std::vector<uint8_t>& raw) {
  // Each packet holds at most 128 pixels and takes at least 1 + pixelBytes bytes.
  if ((pixelCount + 127) / 128 * (1 + pixelBytes) > in.Remaining()) return DecodeResult::InvalidData;
  DecodeResult result = AllocateBytes(pixelCount * pixelBytes, raw);
  if (result != DecodeResult::Ok) return result;
  for (uint64_t done = 0; done < pixelCount;) {
    uint8_t packet = in.U8();
    uint64_t count = (packet & 0x7F) + 1u;
    bool run = packet & 0x80;
    Bytes source = in.Take(run ? pixelBytes : count * pixelBytes);
    if (in.Failed() || count > pixelCount - done) return DecodeResult::InvalidData;
    for (uint64_t i = 0; i < count; ++i, ++done)
      std::copy_n(source.data() + (run ? 0 : i * pixelBytes), pixelBytes, raw.data() + done * pixelBytes);
  }
  return DecodeResult::Ok;
}

DecodeResult ConvertPixels(const uint8_t* raw, const TgaHeader& h, const std::vector<uint32_t>& map,
                           ImageLevel& level) {
  const unsigned pixelBytes = BytesFor(h.pixelBits);
  const bool mapped = h.BaseType() == kTypeMapped;
  MaskLayout layout = LayoutFor(h.pixelBits, h.BaseType() == kTypeGrey, h.AlphaBits() > 0);
  for (uint32_t r = 0; r < h.height; ++r) {
    uint32_t y = h.descriptor & kTopDown ? r : h.height - 1 - r;
    for (uint32_t c = 0; c < h.width; ++c, raw += pixelBytes) {
      uint32_t x = h.descriptor & kRightToLeft ? h.width - 1 - c : c;
      uint32_t value = LoadPixel(raw, pixelBytes);
      if (mapped && (value < h.mapFirst || value - h.mapFirst >= map.size()))
        return DecodeResult::InvalidData;
      level.argb[uint64_t(y) * h.width + x] = mapped ? map[value - h.mapFirst] : layout.ToArgb(value);
    }
  }
  return DecodeResult::Ok;
}

uint32_t FileFormat(const TgaHeader& h) {
  bool alpha = h.AlphaBits() > 0;
  switch (h.BaseType()) {
    case kTypeGrey: return h.pixelBits == 16 ? fileformat::A8L8 : fileformat::L8;
    case kTypeMapped: return alpha ? fileformat::A8R8G8B8 : fileformat::X8R8G8B8;
    default:
      return FormatForMasks(h.pixelBits == 15 ? 16 : h.pixelBits, LayoutFor(h.pixelBits, false, alpha));
  }
}

}  // namespace

DecodeResult DecodeTga(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  ByteReader in(bytes);
  TgaHeader h;
  h.idLength = in.U8(), h.mapType = in.U8(), h.imageType = in.U8();
  h.mapFirst = in.U16(), h.mapLength = in.U16(), h.mapEntryBits = in.U8();
  in.Skip(4);  // origin position on the screen
  h.width = in.U16(), h.height = in.U16(), h.pixelBits = in.U8(), h.descriptor = in.U8();
  if (in.Failed() || !Plausible(h)) return DecodeResult::NotThisFormat;
  in.Skip(h.idLength);
  std::vector<uint32_t> map;
  if (!ReadColorMap(in, h, map)) return DecodeResult::InvalidData;
  if (h.width > maxDimension || h.height > maxDimension) return DecodeResult::InvalidData;
  const unsigned pixelBytes = BytesFor(h.pixelBits);
  const uint64_t pixelCount = uint64_t(h.width) * h.height;
  std::vector<uint8_t> expanded;
  const uint8_t* raw = nullptr;
  DecodeResult result = DecodeResult::Ok;
  if (h.imageType & kTypeRle) {
    result = ExpandRle(in, pixelCount, pixelBytes, expanded);
    raw = expanded.data();
  } else {
    raw = in.Take(pixelCount * pixelBytes).data();
    if (in.Failed()) result = DecodeResult::InvalidData;
  }
  ImageLevel level;
  if (result == DecodeResult::Ok) result = AllocateLevel(h.width, h.height, maxDimension, level);
  if (result == DecodeResult::Ok) result = ConvertPixels(raw, h, map, level);
  if (result != DecodeResult::Ok) return result;
  out.fileFormat = FileFormat(h);
  out.levels.push_back(std::move(level));
  return DecodeResult::Ok;
}

}  // namespace d3dximage
