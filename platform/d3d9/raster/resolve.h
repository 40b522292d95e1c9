// The resolve of a multisampled surface: each pixel becomes the mean of its samples,
// channel by channel, rounded to nearest (a box filter over the pixel). Present and
// StretchRect resolve through this; nothing else reads the samples.
#pragma once

#include <stdint.h>

#include "pipeline.h"

namespace raster {

// Writes the `width` x `height` pixels from (x, y) of `source` (any sample count) as
// A8R8G8B8 rows `outPitch` bytes apart. False, with nothing written, for a format that
// cannot be read or a rectangle outside the surface.
bool ResolveToArgb(const SurfaceView& source, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   uint8_t* out, uint32_t outPitch);

}  // namespace raster
