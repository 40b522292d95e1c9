// Clears. The colour is converted to the target format once and copied; depth and
// stencil are written into their own bits of each depth word; every sample of a
// multisampled surface is cleared.
#include "clear.h"

#include <string.h>

#include <algorithm>

#include "depth_test.h"
#include "formats.h"
#include "texel_formats.h"

namespace raster {
namespace {

struct Box {
  int64_t left, top, right, bottom;
};

Box Intersect(const Box& a, const Box& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

void ClearColor(const SurfaceView& surface, const Box& box, D3DCOLOR color) {
  const FormatInfo* info = FindFormat(surface.format);
  uint8_t pixel[4] = {};
  if (!info || !ConvertRowFromArgb(surface.format, &color, 1, pixel)) return;
  for (int64_t y = box.top; y < box.bottom; ++y) {
    uint8_t* row = surface.bits + static_cast<size_t>(y) * surface.pitch;
    for (int64_t x = box.left; x < box.right; ++x) {
      memcpy(row + static_cast<size_t>(x) * info->blockBytes, pixel, info->blockBytes);
    }
  }
}

void ClearDepth(const SurfaceView& surface, const Box& box, DWORD flags, float z, DWORD stencil) {
  DepthBuffer buffer;
  const FormatInfo* info = FindFormat(surface.format);
  if (!DescribeDepth(surface, &buffer)) return;
  uint32_t stencilMask = (1u << info->stencilBits) - 1;
  uint32_t depth = QuantizeDepth(buffer, z);
  for (int64_t y = box.top; y < box.bottom; ++y) {
    for (int64_t x = box.left; x < box.right; ++x) {
      uint8_t* at = DepthAt(buffer, static_cast<int32_t>(x), static_cast<int32_t>(y));
      if (flags & D3DCLEAR_ZBUFFER) StoreDepth(buffer, at, depth);
      if ((flags & D3DCLEAR_STENCIL) && stencilMask) {
        uint32_t word = LoadDepthWord(buffer, at);
        StoreDepthWord(buffer, at, (word & ~stencilMask) | (stencil & stencilMask));
      }
    }
  }
}

}  // namespace

void ClearTargets(const Targets& targets, const D3DVIEWPORT9& vp, uint32_t rectCount,
                  const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  Box viewport{vp.X, vp.Y, int64_t{vp.X} + vp.Width, int64_t{vp.Y} + vp.Height};
  uint32_t count = rects && rectCount ? rectCount : 1;
  for (uint32_t i = 0; i < count; ++i) {
    Box box = viewport;
    if (rects && rectCount) box = Intersect(box, {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
    if ((flags & D3DCLEAR_TARGET) && targets.color.bits) {
      Box c = Intersect(box, {0, 0, targets.color.width, targets.color.height});
      for (uint32_t s = 0; s < targets.color.samples; ++s) ClearColor(SamplePlane(targets.color, s), c, color);
    }
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && targets.depth.bits) {
      Box d = Intersect(box, {0, 0, targets.depth.width, targets.depth.height});
      for (uint32_t s = 0; s < targets.depth.samples; ++s) ClearDepth(SamplePlane(targets.depth, s), d, flags, z, stencil);
    }
  }
}

}  // namespace raster
