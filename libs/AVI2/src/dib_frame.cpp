// Conversion of pixel rows (from a BMP file or from memory) to the stream's frame layout.
#include "dib_frame.h"

#include <cstring>

namespace avi2 {
namespace {

uint32_t Load32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

void Store32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

// B, G, R of each 4-byte pixel, packed: four pixels at a time become three words.
void PackRow32(const uint8_t* in, int32_t width, uint8_t* out) {
  int32_t x = 0;
  for (; x + 4 <= width; x += 4, in += 16, out += 12) {
    const uint32_t p0 = Load32(in), p1 = Load32(in + 4), p2 = Load32(in + 8), p3 = Load32(in + 12);
    Store32(out, (p0 & 0x00FFFFFFu) | (p1 << 24));
    Store32(out + 4, ((p1 >> 8) & 0x0000FFFFu) | (p2 << 16));
    Store32(out + 8, ((p2 >> 16) & 0x000000FFu) | (p3 << 8));
  }
  for (; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
}

}  // namespace

uint64_t Dib24Stride(int32_t width) { return (static_cast<uint64_t>(width) * 24 + 31) / 32 * 4; }

void SizeFrame(DibFrame& frame, int32_t width, int32_t height) {
  frame.width = width;
  frame.height = height;
  frame.bytes.resize(Dib24Stride(width) * static_cast<uint64_t>(height));
}

void ConvertRows(const PixelRows& rows, int32_t first, int32_t count, const uint8_t* pixels,
                 DibFrame& frame) {
  const uint64_t outStride = Dib24Stride(rows.width);
  const uint64_t rowBytes = static_cast<uint64_t>(rows.width) * 3;
  for (int32_t row = first; row < first + count; ++row, pixels += rows.stride) {
    const int32_t outRow = rows.bottomUp ? row : rows.height - 1 - row;
    uint8_t* out = frame.bytes.data() + outStride * static_cast<uint64_t>(outRow);
    if (rows.bytesPerPixel == 4)
      PackRow32(pixels, rows.width, out);
    else
      std::memcpy(out, pixels, rowBytes);
    std::memset(out + rowBytes, 0, outStride - rowBytes);
  }
}

}  // namespace avi2
