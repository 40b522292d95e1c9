// Clipping of triangles in clip space against the near (z = 0) and far (z = w) planes
// and a guard band around the viewport, Sutherland-Hodgman style. Pixels outside the
// viewport but inside the guard band are cut later by the rasteriser's scissor.
#pragma once

#include <stdint.h>

#include "vertex_transform.h"

namespace raster {

// Multiple of the viewport half-size (in clip-space x and y) that a vertex may reach
// without being clipped; keeps screen coordinates small enough for exact edge tests.
constexpr float kGuardBand = 4.0f;
constexpr uint32_t kClipPlaneCount = 6;
constexpr uint32_t kMaxClipVertices = 3 + kClipPlaneCount;

// One bit per plane the position lies outside of (NaN counts as outside everything).
uint32_t ClipOutcode(const float pos[4]);

// Clips the triangle against the planes in `planes` (bits as from ClipOutcode) and
// returns the number of polygon vertices written to `out` (0 when nothing is left).
uint32_t ClipTriangle(const ClipVertex* const in[3], uint32_t planes,
                      ClipVertex out[kMaxClipVertices]);

}  // namespace raster
