// The table of surface formats the device supports and the size arithmetic on it.
#include "formats.h"

#include <algorithm>
#include <iterator>

namespace raster {
namespace {

using K = FormatKind;

constexpr FormatInfo kFormats[] = {
    // format, kind, bytes, block, r, g, b, a, depth, stencil, display, target
    {D3DFMT_A8R8G8B8, K::Color, 4, 1, 8, 8, 8, 8, 0, 0, false, true},
    {D3DFMT_X8R8G8B8, K::Color, 4, 1, 8, 8, 8, 0, 0, 0, true, true},
    {D3DFMT_R5G6B5, K::Color, 2, 1, 5, 6, 5, 0, 0, 0, true, true},
    {D3DFMT_X1R5G5B5, K::Color, 2, 1, 5, 5, 5, 0, 0, 0, true, true},
    {D3DFMT_A1R5G5B5, K::Color, 2, 1, 5, 5, 5, 1, 0, 0, false, true},
    {D3DFMT_A4R4G4B4, K::Color, 2, 1, 4, 4, 4, 4, 0, 0, false, false},
    {D3DFMT_A2R10G10B10, K::Color, 4, 1, 10, 10, 10, 2, 0, 0, true, true},
    {D3DFMT_A8, K::Alpha, 1, 1, 0, 0, 0, 8, 0, 0, false, false},
    {D3DFMT_L8, K::Luminance, 1, 1, 8, 8, 8, 0, 0, 0, false, false},
    {D3DFMT_A8L8, K::Luminance, 2, 1, 8, 8, 8, 8, 0, 0, false, false},
    {D3DFMT_V8U8, K::Bump, 2, 1, 0, 0, 0, 0, 0, 0, false, false},
    {D3DFMT_L6V5U5, K::Bump, 2, 1, 0, 0, 0, 0, 0, 0, false, false},
    {D3DFMT_X8L8V8U8, K::Bump, 4, 1, 0, 0, 0, 0, 0, 0, false, false},
    {D3DFMT_DXT1, K::Compressed, 8, 4, 5, 6, 5, 1, 0, 0, false, false},
    {D3DFMT_DXT2, K::Compressed, 16, 4, 5, 6, 5, 4, 0, 0, false, false},
    {D3DFMT_DXT3, K::Compressed, 16, 4, 5, 6, 5, 4, 0, 0, false, false},
    {D3DFMT_DXT4, K::Compressed, 16, 4, 5, 6, 5, 8, 0, 0, false, false},
    {D3DFMT_DXT5, K::Compressed, 16, 4, 5, 6, 5, 8, 0, 0, false, false},
    {D3DFMT_D16, K::Depth, 2, 1, 0, 0, 0, 0, 16, 0, false, false},
    {D3DFMT_D15S1, K::Depth, 2, 1, 0, 0, 0, 0, 15, 1, false, false},
    {D3DFMT_D24X8, K::Depth, 4, 1, 0, 0, 0, 0, 24, 0, false, false},
    {D3DFMT_D24S8, K::Depth, 4, 1, 0, 0, 0, 0, 24, 8, false, false},
    {D3DFMT_D24X4S4, K::Depth, 4, 1, 0, 0, 0, 0, 24, 4, false, false},
    {D3DFMT_D32, K::Depth, 4, 1, 0, 0, 0, 0, 32, 0, false, false},
    {D3DFMT_INDEX16, K::Index, 2, 1, 0, 0, 0, 0, 0, 0, false, false},
    {D3DFMT_INDEX32, K::Index, 4, 1, 0, 0, 0, 0, 0, 0, false, false},
};

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
  auto found = std::find_if(std::begin(kFormats), std::end(kFormats),
                            [format](const FormatInfo& f) { return f.format == format; });
  return found == std::end(kFormats) ? nullptr : found;
}

uint32_t RowPitch(const FormatInfo& info, uint32_t width) {
  uint64_t blocks = (uint64_t{width} + info.blockSize - 1) / info.blockSize;
  uint64_t bytes = blocks * info.blockBytes;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

uint64_t LevelBytes(const FormatInfo& info, uint32_t width, uint32_t height) {
  uint64_t rows = (uint64_t{height} + info.blockSize - 1) / info.blockSize;
  return uint64_t{RowPitch(info, width)} * rows;
}

uint32_t ColorChannelBits(const FormatInfo& info) {
  return std::min({info.redBits, info.greenBits, info.blueBits});
}

}  // namespace raster
