// The Direct3D comparison functions, shared by the depth and alpha tests.
#pragma once

#include <stdint.h>

#include "d3d9types.h"

namespace raster {

// True when `incoming` passes against `stored` (the reference value for the alpha test).
inline bool ComparePasses(uint32_t func, uint32_t incoming, uint32_t stored) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return incoming < stored;
    case D3DCMP_EQUAL: return incoming == stored;
    case D3DCMP_LESSEQUAL: return incoming <= stored;
    case D3DCMP_GREATER: return incoming > stored;
    case D3DCMP_NOTEQUAL: return incoming != stored;
    case D3DCMP_GREATEREQUAL: return incoming >= stored;
    default: return true;
  }
}

}  // namespace raster
