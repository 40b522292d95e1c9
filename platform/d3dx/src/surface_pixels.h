// A rectangle of a surface read as, or written from, 32-bit ARGB pixels through the
// surface's lock and the renderer's format converters.
#pragma once

#include <cstdint>

#include "d3d9.h"
#include "image_file.h"

namespace d3dximpl {

// Whether `r` is a non-empty rectangle inside a surface described by `desc`.
bool RectInside(const RECT& r, const D3DSURFACE_DESC& desc);

// The rectangle's pixels as 0xAARRGGBB rows, or empty when the surface cannot be read.
d3dximage::Pixels ReadRect(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, const RECT& r);

// Stores 0xAARRGGBB rows (the rectangle's width apart) into the rectangle, converted to
// the surface's format; false when it cannot be locked or takes no such conversion.
bool WriteRect(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, const RECT& r, const uint32_t* pixels);

}  // namespace d3dximpl
