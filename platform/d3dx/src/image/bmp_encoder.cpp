// Writes 32-bit uncompressed BMP files, the layout the surface saver produces: file
// header, 40-byte info header, rows bottom to top as B,G,R,A, zero padding to a
// multiple of four bytes. No palette, no compression.
#include "image_file.h"

namespace d3dximage {
namespace {

constexpr uint32_t kHeadersSize = kBmp32HeaderBytes;
constexpr int32_t kPixelsPerMetre = 2834;  // 72 dots per inch

// Little-endian fields one after another.
struct FieldWriter {
  uint8_t* at;
  FieldWriter& Put(uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) *at++ = uint8_t(v >> (8 * i));
    return *this;
  }
};

}  // namespace

Bmp32Layout Bmp32Headers(uint32_t width, uint32_t height) {
  Bmp32Layout layout;
  const uint64_t imageBytes = uint64_t(width) * height * 4;
  if (imageBytes > UINT32_MAX - kHeadersSize - 3 || width > INT32_MAX || height > INT32_MAX) return layout;
  const uint32_t imageSize = uint32_t(imageBytes);
  const uint32_t fileSize = (kHeadersSize + imageSize + 3) / 4 * 4;
  FieldWriter{layout.headers.data()}
      .Put('B', 1)
      .Put('M', 1)
      .Put(fileSize, 4)
      .Put(0, 4)  // reserved
      .Put(kHeadersSize, 4)
      .Put(40, 4)
      .Put(width, 4)
      .Put(height, 4)
      .Put(1, 2)   // planes
      .Put(32, 2)  // bits per pixel
      .Put(0, 4)   // BI_RGB
      .Put(imageSize, 4)
      .Put(kPixelsPerMetre, 4)
      .Put(kPixelsPerMetre, 4)
      .Put(0, 4)   // colours used
      .Put(0, 4);  // colours important
  layout.paddingBytes = fileSize - kHeadersSize - imageSize;
  layout.fits = true;
  return layout;
}

std::vector<uint8_t> EncodeBmp32(uint32_t width, uint32_t height, const uint32_t* argbTopDown,
                                 size_t pitchInPixels) {
  Bmp32Layout layout = Bmp32Headers(width, height);
  if (!layout.fits) return {};
  std::vector<uint8_t> out(layout.headers.begin(), layout.headers.end());
  out.resize(out.size() + size_t(width) * height * 4 + layout.paddingBytes, 0);
  uint8_t* at = out.data() + kHeadersSize;
  for (uint32_t y = height; y-- > 0;) {
    const uint32_t* row = argbTopDown + size_t(y) * pitchInPixels;
    for (uint32_t x = 0; x < width; ++x, at += 4) {  // little-endian: B,G,R,A
      at[0] = uint8_t(row[x]);
      at[1] = uint8_t(row[x] >> 8);
      at[2] = uint8_t(row[x] >> 16);
      at[3] = uint8_t(row[x] >> 24);
    }
  }
  return out;
}

}  // namespace d3dximage
