// Triangle setup. Coverage is decided on snapped integer coordinates only, so shared
// edges are split between neighbours exactly; interpolation planes are computed in float
// from the same snapped positions.
#include "triangle_setup.h"

#include <algorithm>
#include <bit>

namespace raster {
namespace {

// Screen positions beyond this many pixels are refused (edge products stay in 64 bits).
constexpr float kMaxScreen = 1048576.0f;

bool OnScreenRange(float x, float y) {
  return x > -kMaxScreen && x < kMaxScreen && y > -kMaxScreen && y < kMaxScreen;
}

int64_t Snap(float v) {
  float scaled = v * static_cast<float>(kSubpixels);
  float rounded = scaled >= 0 ? scaled + 0.5f : scaled - 0.5f;
  return static_cast<int64_t>(rounded);
}

// Twice the signed area of the snapped triangle; positive is clockwise on screen (y
// grows downwards).
int64_t Area(const int64_t x[3], const int64_t y[3]) {
  return (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
}

bool Kept(int64_t area, uint32_t cullMode) {
  if (area == 0) return false;
  if (cullMode == D3DCULL_CCW && area < 0) return false;
  return !(cullMode == D3DCULL_CW && area > 0);
}

Edge MakeEdge(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  Edge e{x1 - x0, y1 - y0, x0, y0, 1};
  // Interior lies where the edge function is positive (clockwise on screen): a left
  // edge runs upwards, a top edge runs rightwards along a row.
  bool topLeft = e.dy < 0 || (e.dy == 0 && e.dx > 0);
  if (topLeft) e.bias = 0;
  return e;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

int32_t ClampRow(int64_t v, int32_t low, int32_t high) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, low, high));
}

Plane MakePlane(float a0, float a1, float a2, float e1x, float e1y, float e2x, float e2y,
                float inverseArea) {
  float d1 = a1 - a0, d2 = a2 - a0;
  return {a0, (d1 * e2y - d2 * e1y) * inverseArea, (d2 * e1x - d1 * e2x) * inverseArea};
}

}  // namespace

bool ProjectPosition(const float pos[4], const Viewport& vp, ScreenVertex* out) {
  float w = pos[3];
  if (!(w > 0.0f)) return false;
  float q = 1.0f / w;
  out->x = vp.x + vp.halfWidth * (1.0f + pos[0] * q);
  out->y = vp.y + vp.halfHeight * (1.0f - pos[1] * q);
  out->z = vp.minZ + (vp.maxZ - vp.minZ) * (pos[2] * q);
  out->q = q;
  return OnScreenRange(out->x, out->y) && out->z == out->z && q < 3.0e38f;
}

void ProjectVaryings(const ClipVertex& in, uint32_t varyings, ScreenVertex* out) {
  for (uint32_t left = varyings; left; left &= left - 1) {
    uint32_t i = static_cast<uint32_t>(std::countr_zero(left));
    out->varying[i] = in.varying[i] * out->q;
  }
}

bool ProjectClipVertex(const ClipVertex& in, const Viewport& vp, uint32_t varyings, ScreenVertex* out) {
  if (!ProjectPosition(in.pos, vp, out)) return false;
  ProjectVaryings(in, varyings, out);
  return true;
}

bool ProjectTransformedVertex(const ClipVertex& in, uint32_t varyings, ScreenVertex* out) {
  float rhw = in.pos[3];
  float q = rhw > 0.0f && rhw < 3.0e38f ? rhw : 1.0f;
  out->x = in.pos[0];
  out->y = in.pos[1];
  out->z = in.pos[2];
  out->q = q;
  ProjectVaryings(in, varyings, out);
  return OnScreenRange(out->x, out->y) && out->z == out->z;
}

bool FacesViewer(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode) {
  int64_t x[3] = {Snap(a.x), Snap(b.x), Snap(c.x)}, y[3] = {Snap(a.y), Snap(b.y), Snap(c.y)};
  return Kept(Area(x, y), cullMode);
}

bool SetupTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode,
                   const Scissor& scissor, uint32_t varyings, Triangle* out, int32_t reach) {
  const ScreenVertex* v[3] = {&a, &b, &c};
  int64_t x[3], y[3];
  for (int i = 0; i < 3; ++i) x[i] = Snap(v[i]->x), y[i] = Snap(v[i]->y);
  int64_t area = Area(x, y);
  if (!Kept(area, cullMode)) return false;
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(x[1], x[2]);
    std::swap(y[1], y[2]);
    area = -area;
  }
  int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
  out->top = ClampRow(FloorDiv(minY - reach + kSubpixels - 1, kSubpixels), scissor.top, scissor.bottom);
  out->bottom = ClampRow(FloorDiv(maxY + reach, kSubpixels), scissor.top - 1, scissor.bottom - 1);
  out->left = scissor.left;
  out->right = scissor.right - 1;
  if (out->top > out->bottom || out->left > out->right) return false;
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    out->edges[i] = MakeEdge(x[i], y[i], x[j], y[j]);
  }
  float fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    fx[i] = static_cast<float>(x[i]) / kSubpixels;
    fy[i] = static_cast<float>(y[i]) / kSubpixels;
  }
  float e1x = fx[1] - fx[0], e1y = fy[1] - fy[0], e2x = fx[2] - fx[0], e2y = fy[2] - fy[0];
  float inverseArea = 1.0f / (e1x * e2y - e2x * e1y);
  out->originX = fx[0];
  out->originY = fy[0];
  out->z = MakePlane(v[0]->z, v[1]->z, v[2]->z, e1x, e1y, e2x, e2y, inverseArea);
  out->q = MakePlane(v[0]->q, v[1]->q, v[2]->q, e1x, e1y, e2x, e2y, inverseArea);
  for (uint32_t left = varyings; left; left &= left - 1) {
    uint32_t i = static_cast<uint32_t>(std::countr_zero(left));
    out->varying[i] = MakePlane(v[0]->varying[i], v[1]->varying[i], v[2]->varying[i], e1x, e1y,
                                e2x, e2y, inverseArea);
  }
  return true;
}

}  // namespace raster
