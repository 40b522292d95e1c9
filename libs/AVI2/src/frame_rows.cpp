// Conversion of source rows (from a BMP file or from memory) to the stream's frame layout.
#include "frame_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace avi2 {
namespace {

// Bytes converted per piece: small enough to stay in the cache until they are written.
constexpr uint64_t kPieceBytes = 256 * 1024;

uint32_t Load32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

void Store32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

// B, G, R of each 4-byte pixel, packed: four pixels at a time become three words.
void PackRow32Portable(const uint8_t* in, int32_t width, uint8_t* out) {
  int32_t x = 0;
  for (; x + 4 <= width; x += 4, in += 16, out += 12) {
    const uint32_t p0 = Load32(in), p1 = Load32(in + 4), p2 = Load32(in + 8), p3 = Load32(in + 12);
    Store32(out, (p0 & 0x00FFFFFFu) | (p1 << 24));
    Store32(out + 4, ((p1 >> 8) & 0x0000FFFFu) | (p2 << 16));
    Store32(out + 8, ((p2 >> 16) & 0x000000FFu) | (p3 << 8));
  }
  for (; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
}

#if defined(__x86_64__) || defined(__i386__)
// The same with one byte shuffle per four pixels. Each store writes 16 bytes of which
// 12 are the pixels', so it runs while six pixels remain (18 bytes of room).
[[gnu::target("ssse3")]] void PackRow32Ssse3(const uint8_t* in, int32_t width, uint8_t* out) {
  const __m128i bgr = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int32_t x = 0;
  for (; x + 6 <= width; x += 4, in += 16, out += 12)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), bgr));
  PackRow32Portable(in, width - x, out);
}
#endif

void PackRow32(const uint8_t* in, int32_t width, uint8_t* out) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return PackRow32Ssse3(in, width, out);
#endif
  PackRow32Portable(in, width, out);
}

}  // namespace

uint64_t Dib24Stride(int32_t width) { return (static_cast<uint64_t>(width) * 24 + 31) / 32 * 4; }

void FrameRows::Begin(const PixelRows& rows) {
  rows_ = rows;
  done_ = 0;
}

bool FrameRows::Next(std::span<const uint8_t>* piece, std::string* error) {
  const uint64_t outStride = Dib24Stride(rows_.width);
  const auto perPiece = static_cast<int32_t>(std::max<uint64_t>(1, kPieceBytes / std::max(outStride, rows_.stride)));
  const int32_t count = std::min(perPiece, rows_.height - done_);
  if (count <= 0) {
    *piece = {};
    return true;
  }
  // Stream rows go bottom first: a top-down source gives them from its end, reversed.
  const int32_t first = rows_.bottomUp ? done_ : rows_.height - done_ - count;
  const uint8_t* source = Fetch(first, count, error);
  if (!source) return false;
  if (done_ + count == rows_.height) AllFetched();
  out_.resize(outStride * static_cast<uint64_t>(count));
  const uint64_t rowBytes = static_cast<uint64_t>(rows_.width) * 3;
  for (int32_t row = 0; row < count; ++row) {
    const int32_t sourceRow = rows_.bottomUp ? row : count - 1 - row;
    const uint8_t* in = source + rows_.stride * static_cast<uint64_t>(sourceRow);
    uint8_t* out = out_.data() + outStride * static_cast<uint64_t>(row);
    if (rows_.bytesPerPixel == 4)
      PackRow32(in, rows_.width, out);
    else
      std::memcpy(out, in, rowBytes);
    std::memset(out + rowBytes, 0, outStride - rowBytes);
  }
  done_ += count;
  *piece = out_;
  return true;
}

}  // namespace avi2
