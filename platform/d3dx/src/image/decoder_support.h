// Pieces every file reader shares: a bounds-checked little-endian byte reader, the
// guarded allocation of a picture, and the bit-mask channel extraction used by BMP,
// DDS and TGA. Also the list of the readers DecodeImageFile tries.
#pragma once

#include "image_file.h"

namespace d3dximage {

using Bytes = std::span<const uint8_t>;

// Reads from a byte span; any read past the end sets failed() and yields zeros, so a
// reader may read a whole header and check once.
class ByteReader {
 public:
  explicit ByteReader(Bytes bytes, size_t offset = 0) : bytes_(bytes), pos_(offset) {
    if (offset > bytes.size()) failed_ = true;
  }
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return int32_t(U32()); }
  // The next count bytes (empty and failed when fewer are left).
  Bytes Take(uint64_t count);
  void Skip(uint64_t count) { Take(count); }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return failed_ ? 0 : bytes_.size() - pos_; }
  bool Failed() const { return failed_; }

 private:
  Bytes bytes_;
  size_t pos_;
  bool failed_ = false;
};

// Sizes the picture after checking the dimensions: zero, above maxDimension or too
// large to count in bytes gives InvalidData; a failed allocation OutOfMemory.
DecodeResult AllocateLevel(uint32_t width, uint32_t height, uint32_t maxDimension,
                           ImageLevel& level);

// Room for level 0 of a reader that decodes row by row: the target's storage when it
// takes the picture, else a level of the reader's own (AllocateLevel). `level` gets
// the size either way; `rows` says where its rows go.
DecodeResult PrepareTopLevel(ImageFile& out, uint32_t width, uint32_t height, uint32_t fileFormat,
                             uint32_t maxDimension, ImageLevel& level, LevelStorage& rows);
// Tells the target that took level 0 that the rows above `rows` are decoded.
void ReportRows(ImageFile& out, uint32_t rows);

// Sizes a scratch buffer, zero-filled; a failed allocation gives OutOfMemory.
DecodeResult AllocateBytes(uint64_t size, std::vector<uint8_t>& buffer);

// True when `rows` rows, `stride` bytes apart, the last one only lastRowBytes long,
// fit in `available` bytes. Overflow-safe for any 64-bit inputs.
bool RowsPresent(uint64_t lastRowBytes, uint64_t stride, uint64_t rows, size_t available);

// Grows an n-bit channel value to 8 bits by repeating its bits (n = 1..8); wider
// values keep their top 8 bits.
uint8_t ScaleTo8(uint32_t value, unsigned bits);

constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

// One channel of a packed pixel, given by its bit mask.
struct ChannelMask {
  uint32_t mask = 0;
  unsigned shift = 0;
  unsigned bits = 0;
  // False for a mask whose bits are not contiguous.
  bool Set(uint32_t bitMask);
  uint8_t Extract(uint32_t pixel, uint8_t absent) const {
    return bits == 0 ? absent : ScaleTo8((pixel & mask) >> shift, bits);
  }
};

// The channels of a packed pixel; a missing alpha channel reads as opaque.
struct MaskLayout {
  ChannelMask red, green, blue, alpha;
  bool Set(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return red.Set(r) && green.Set(g) && blue.Set(b) && alpha.Set(a);
  }
  uint32_t ToArgb(uint32_t pixel) const {
    return Argb(alpha.Extract(pixel, 255), red.Extract(pixel, 0), green.Extract(pixel, 0),
                blue.Extract(pixel, 0));
  }
};

// The D3DFORMAT closest to packed pixels of this size and these masks.
uint32_t FormatForMasks(unsigned bitsPerPixel, const MaskLayout& layout);

// Reads a little-endian pixel of 1 to 4 bytes.
uint32_t LoadPixel(const uint8_t* p, unsigned bytesPerPixel);

// The readers, in the order they are tried. Each answers NotThisFormat when the bytes
// are not its kind of file.
DecodeResult DecodeBmp(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodePpm(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodeDds(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodeJpeg(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodePng(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodeTga(Bytes bytes, ImageFile& out, uint32_t maxDimension);
DecodeResult DecodeDib(Bytes bytes, ImageFile& out, uint32_t maxDimension);

}  // namespace d3dximage
