// A frame in the layout of the movie's stream (24-bit BGR rows, bottom row first, each
// padded to 4 bytes), and its conversion from 24- or 32-bit pixel rows in either order.
#pragma once

#include <cstdint>
#include <vector>

namespace avi2 {

// Each side at most this many pixels, which keeps a frame below 1 GiB.
inline constexpr int32_t kMaxFrameSide = 16384;

struct DibFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;
};

// Bytes in one row of a 24-bit DIB of this width (rows are padded to 4 bytes).
uint64_t Dib24Stride(int32_t width);

// Where source pixels are: B, G, R first in each pixel, rows stride bytes apart.
struct PixelRows {
  int32_t width;
  int32_t height;  // rows, always positive
  bool bottomUp;
  uint32_t bytesPerPixel;  // 3 or 4
  uint64_t stride;
};

// Makes frame a width x height frame. Its buffer is kept, so that the frames of one
// movie reuse it; every byte is written again by ConvertRows.
void SizeFrame(DibFrame& frame, int32_t width, int32_t height);

// Converts `count` source rows, from source row `first` on, into their places in the
// frame (sized for rows by SizeFrame). pixels points at row `first` and holds
// stride * count bytes; the caller has checked the sizes.
void ConvertRows(const PixelRows& rows, int32_t first, int32_t count, const uint8_t* pixels,
                 DibFrame& frame);

}  // namespace avi2
