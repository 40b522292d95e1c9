// Triangle setup: projection to the screen, snapping to 1/256 pixel, culling by screen
// winding, integer edge functions with the top-left fill rule, and the screen-space
// planes of depth, 1/w and the perspective-divided varyings.
#pragma once

#include <stdint.h>

#include "clipping.h"
#include "vertex_transform.h"

namespace raster {

constexpr int32_t kSubpixelBits = 8;
constexpr int32_t kSubpixels = 1 << kSubpixelBits;

// A vertex on screen; varyings are multiplied by q = 1/w for perspective correction.
struct ScreenVertex {
  float x, y, z, q;
  float varying[kVaryingCount];
};

struct Viewport {
  float x, y, halfWidth, halfHeight, minZ, maxZ;
};

// Screen rectangle drawn into: [left, right) x [top, bottom).
struct Scissor {
  int32_t left, top, right, bottom;
};

// Bit i set: varying slot i is interpolated. Only those slots of a ScreenVertex are
// written, and only those planes of a Triangle set up.
constexpr uint32_t kAllVaryings = (1u << kVaryingCount) - 1;

// False when the position is not finite, w is not positive or the point lies too far
// from the origin for exact edge arithmetic.
bool ProjectClipVertex(const ClipVertex& in, const Viewport& viewport, uint32_t varyings, ScreenVertex* out);
// ProjectClipVertex in two steps: the screen position, x, y, z and q (with the same
// result), then the varyings, multiplied by q.
bool ProjectPosition(const float pos[4], const Viewport& viewport, ScreenVertex* out);
void ProjectVaryings(const ClipVertex& in, uint32_t varyings, ScreenVertex* out);
// XYZRHW vertices: the position is used as given; a reciprocal w that is not positive
// and finite is taken as 1.
bool ProjectTransformedVertex(const ClipVertex& in, uint32_t varyings, ScreenVertex* out);

struct Edge {
  int64_t dx, dy;  // from the start vertex to the end vertex, in subpixels
  int64_t x, y;    // start vertex, in subpixels
  int64_t bias;    // 0 on top and left edges, 1 elsewhere (pixels exactly on it excluded)
};

struct Plane {
  float at, dx, dy;  // value at the triangle's origin and its screen gradients

  float Evaluate(float x, float y, float originX, float originY) const {
    return at + dx * (x - originX) + dy * (y - originY);
  }
};

struct Triangle {
  Edge edges[3];
  int32_t top, bottom;  // rows that may hold pixels, inclusive, within the scissor
  int32_t left, right;  // scissor columns, inclusive
  float originX, originY;
  Plane z, q;
  Plane varying[kVaryingCount];
};

// Culls by `cullMode` (D3DCULL_*: counter-clockwise on screen is culled by default),
// drops triangles without area or outside the scissor; false when nothing is drawn.
// `reach` (subpixels) widens the rows kept for samples that far from pixel centres.
// Sets up the planes of the `varyings` slots; the others are left as they were.
bool SetupTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode,
                   const Scissor& scissor, uint32_t varyings, Triangle* out, int32_t reach = 0);
// SetupTriangle's first test, from the screen positions alone: false for a triangle
// without area or one that `cullMode` culls.
bool FacesViewer(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode);

}  // namespace raster
