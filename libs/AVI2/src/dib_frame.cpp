// Conversion of pixel rows (from a BMP file or from memory) to the stream's frame layout.
#include "dib_frame.h"

#include <algorithm>

namespace avi2 {

uint64_t Dib24Stride(int32_t width) { return (static_cast<uint64_t>(width) * 24 + 31) / 32 * 4; }

DibFrame ConvertRows(const PixelRows& rows, const uint8_t* pixels) {
  DibFrame frame;
  frame.width = rows.width;
  frame.height = rows.height;
  const uint64_t outStride = Dib24Stride(rows.width);
  frame.bytes.assign(outStride * static_cast<uint64_t>(rows.height), 0);
  for (int32_t row = 0; row < rows.height; ++row) {
    const int32_t sourceRow = rows.bottomUp ? row : rows.height - 1 - row;
    const uint8_t* in = pixels + rows.stride * static_cast<uint64_t>(sourceRow);
    uint8_t* out = frame.bytes.data() + outStride * static_cast<uint64_t>(row);
    for (int32_t x = 0; x < rows.width; ++x, in += rows.bytesPerPixel, out += 3)
      std::copy_n(in, 3, out);
  }
  return frame;
}

}  // namespace avi2
