// Clearing rectangles of the render target, depth and stencil, limited to the viewport.
#pragma once

#include <stdint.h>

#include "pipeline.h"

namespace raster {

void ClearTargets(const Targets& targets, const D3DVIEWPORT9& viewport, uint32_t rectCount,
                  const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);

}  // namespace raster
