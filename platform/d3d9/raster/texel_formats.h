// Reading and writing pixels of every supported format as 32-bit A8R8G8B8 values:
// rows of a surface converted between formats (present, front-buffer copies, texture
// uploads into the renderer's texel cache). Bump formats turn their signed components
// into biased bytes (value + 128): du in red, dv in green, luminance in blue.
// Compressed formats (DXT1-5) are decoded only; nothing here encodes them.
#pragma once

#include <stdint.h>

#include "d3d9types.h"

namespace raster {

// Converts `width` pixels of one row into A8R8G8B8. For a compressed format `src` is one
// row of 4x4 blocks and four pixel rows come out, `width` pixels apart in `dst` (which
// must hold 4 * width values). False for a format that cannot be read.
bool ConvertRowToArgb(D3DFORMAT format, const uint8_t* src, uint32_t width, uint32_t* dst);
// Converts `width` A8R8G8B8 pixels into one row of `format`, rounding to the nearest
// representable value. False for compressed, depth and unknown formats.
bool ConvertRowFromArgb(D3DFORMAT format, const uint32_t* src, uint32_t width, uint8_t* dst);

// Row converters of an uncompressed format, for callers that convert many short runs
// (the renderer's render-target writes); null for formats without them.
using RowToArgbFn = void (*)(const uint8_t* src, uint32_t width, uint32_t* dst);
using RowFromArgbFn = void (*)(const uint32_t* src, uint32_t width, uint8_t* dst);
RowToArgbFn FindRowToArgb(D3DFORMAT format);
RowFromArgbFn FindRowFromArgb(D3DFORMAT format);

// Converts a whole rectangle of pixels between two formats, row by row. The source may
// be compressed (then `srcPitch` is the pitch of a row of blocks); the destination may
// not. False for a pair that cannot convert, with nothing written.
bool ConvertRect(D3DFORMAT srcFormat, const uint8_t* src, uint32_t srcPitch,
                 D3DFORMAT dstFormat, uint8_t* dst, uint32_t dstPitch, uint32_t width,
                 uint32_t height);

}  // namespace raster
