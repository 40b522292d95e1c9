// Where each element of a flexible-vertex-format vertex lies. Vertex blend weights are
// skipped (blending is not drawn) and XYZW positions are refused.
#pragma once

#include <stdint.h>

#include "d3d9types.h"

namespace raster {

constexpr uint32_t kMaxTexCoordSets = 8;
constexpr uint32_t kAbsent = UINT32_MAX;  // offset of an element the vertex lacks

struct VertexLayout {
  uint32_t size;
  bool transformed;  // XYZRHW: screen position and reciprocal w, no transform or light
  uint32_t normal;   // byte offsets, or kAbsent
  uint32_t diffuse;
  uint32_t specular;
  uint32_t texCount;
  uint32_t texOffset[kMaxTexCoordSets];
  uint32_t texSize[kMaxTexCoordSets];  // components, 1 to 4
};

// False for a format the renderer does not draw.
bool DecodeFvf(DWORD fvf, VertexLayout* layout);

}  // namespace raster
