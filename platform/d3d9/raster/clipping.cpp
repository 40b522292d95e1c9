// Triangle clipping. Each intersection is computed from the inside vertex towards the
// outside one, so an edge shared by two triangles is cut at exactly the same point
// whichever triangle it belongs to, and no seam opens between clipped neighbours.
#include "clipping.h"

namespace raster {
namespace {

// Signed distance to plane `plane`; inside when >= 0.
float Distance(const float p[4], uint32_t plane) {
  switch (plane) {
    case 0: return p[2];
    case 1: return p[3] - p[2];
    case 2: return p[0] + kGuardBand * p[3];
    case 3: return kGuardBand * p[3] - p[0];
    case 4: return p[1] + kGuardBand * p[3];
    default: return kGuardBand * p[3] - p[1];
  }
}

bool Inside(float distance) { return distance >= 0.0f; }

void Intersect(const ClipVertex& in, float dIn, const ClipVertex& out, float dOut,
               ClipVertex* result) {
  float t = dIn / (dIn - dOut);
  for (int i = 0; i < 4; ++i) result->pos[i] = in.pos[i] + t * (out.pos[i] - in.pos[i]);
  for (uint32_t i = 0; i < kVaryingCount; ++i) {
    result->varying[i] = in.varying[i] + t * (out.varying[i] - in.varying[i]);
  }
}

uint32_t ClipAgainst(uint32_t plane, const ClipVertex* in, uint32_t count, ClipVertex* out) {
  uint32_t written = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const ClipVertex& a = in[i];
    const ClipVertex& b = in[(i + 1) % count];
    float da = Distance(a.pos, plane), db = Distance(b.pos, plane);
    if (Inside(da)) out[written++] = a;
    if (Inside(da) != Inside(db)) {
      if (Inside(da)) {
        Intersect(a, da, b, db, &out[written++]);
      } else {
        Intersect(b, db, a, da, &out[written++]);
      }
    }
  }
  return written;
}

}  // namespace

uint32_t ClipOutcode(const float pos[4]) {
  uint32_t code = 0;
  for (uint32_t plane = 0; plane < kClipPlaneCount; ++plane) {
    if (!Inside(Distance(pos, plane))) code |= 1u << plane;
  }
  return code;
}

uint32_t ClipTriangle(const ClipVertex* const in[3], uint32_t planes,
                      ClipVertex out[kMaxClipVertices]) {
  ClipVertex scratch[kMaxClipVertices];
  ClipVertex* source = out;
  ClipVertex* target = scratch;
  for (int i = 0; i < 3; ++i) out[i] = *in[i];
  uint32_t count = 3;
  for (uint32_t plane = 0; plane < kClipPlaneCount && count >= 3; ++plane) {
    if (!(planes & (1u << plane))) continue;
    count = ClipAgainst(plane, source, count, target);
    ClipVertex* swap = source;
    source = target;
    target = swap;
  }
  if (count < 3) return 0;
  if (source != out) {
    for (uint32_t i = 0; i < count; ++i) out[i] = source[i];
  }
  return count;
}

}  // namespace raster
