// What the device and the renderer know about each surface format: its block size in
// bytes and pixels, its channel bits, and what it may be used for. Pixel data itself
// is read and written by texel_formats.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "d3d9types.h"

namespace raster {

enum class FormatKind { Color, Luminance, Alpha, Bump, Compressed, Depth, Index };

struct FormatInfo {
  D3DFORMAT format;
  FormatKind kind;
  uint32_t blockBytes;  // bytes of one pixel, or of one 4x4 block when compressed
  uint32_t blockSize;   // 1, or 4 for the compressed formats
  uint32_t redBits, greenBits, blueBits, alphaBits;
  uint32_t depthBits, stencilBits;
  bool displayable;     // may be an adapter (display) format
  bool renderTarget;    // may be a back buffer or render target
};

// Null for a format the device does not support.
const FormatInfo* FindFormat(D3DFORMAT format);

// Bytes in one row of blocks, and in a whole width x height level. Zero when the size
// does not fit in 32 bits (callers refuse such sizes).
uint32_t RowPitch(const FormatInfo& info, uint32_t width);
uint64_t LevelBytes(const FormatInfo& info, uint32_t width, uint32_t height);

// The smallest of the colour channel bit counts (0 when a channel is missing).
uint32_t ColorChannelBits(const FormatInfo& info);

}  // namespace raster
