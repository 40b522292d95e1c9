// Writes 32-bit uncompressed BMP files, the layout the surface saver produces: file
// header, 40-byte info header, rows bottom to top as B,G,R,A, zero padding to a
// multiple of four bytes. No palette, no compression.
#include "image_file.h"

namespace d3dximage {
namespace {

constexpr uint32_t kHeadersSize = 14 + 40;
constexpr int32_t kPixelsPerMetre = 2834;  // 72 dots per inch

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

Bmp32Layout Bmp32Headers(uint32_t width, uint32_t height) {
  Bmp32Layout layout;
  const uint64_t imageBytes = uint64_t(width) * height * 4;
  if (imageBytes > UINT32_MAX - kHeadersSize - 3 || width > INT32_MAX || height > INT32_MAX) return layout;
  const uint32_t imageSize = uint32_t(imageBytes);
  const uint32_t fileSize = (kHeadersSize + imageSize + 3) / 4 * 4;
  std::vector<uint8_t>& out = layout.headers;
  out.reserve(kHeadersSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, fileSize);
  Put32(out, 0);  // reserved
  Put32(out, kHeadersSize);
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  Put32(out, 0);   // BI_RGB
  Put32(out, imageSize);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // colours important
  layout.paddingBytes = fileSize - kHeadersSize - imageSize;
  return layout;
}

std::vector<uint8_t> EncodeBmp32(uint32_t width, uint32_t height, const uint32_t* argbTopDown,
                                 size_t pitchInPixels) {
  Bmp32Layout layout = Bmp32Headers(width, height);
  if (layout.headers.empty()) return {};
  std::vector<uint8_t> out = std::move(layout.headers);
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
