// The Direct3D comparison functions, shared by the depth and alpha tests.
#pragma once

#include <stdint.h>

#include "d3d9types.h"

namespace raster {

// The orders a function lets pass, as bits: 1 incoming < stored, 2 equal, 4 greater.
// Unknown functions pass everything.
constexpr uint32_t kAllOrders = 7;
inline uint32_t PassingOrders(uint32_t func) {
  switch (func) {
    case D3DCMP_NEVER: return 0;
    case D3DCMP_LESS: return 1;
    case D3DCMP_EQUAL: return 2;
    case D3DCMP_LESSEQUAL: return 3;
    case D3DCMP_GREATER: return 4;
    case D3DCMP_NOTEQUAL: return 5;
    case D3DCMP_GREATEREQUAL: return 6;
    default: return kAllOrders;
  }
}

// True when `incoming` passes against `stored` for the PassingOrders bits `orders`;
// branch-free, for per-pixel use with the bits chosen once per draw.
inline bool OrderPasses(uint32_t orders, uint32_t incoming, uint32_t stored) {
  uint32_t order = static_cast<uint32_t>(incoming >= stored) + static_cast<uint32_t>(incoming > stored);
  return (orders >> order) & 1;
}

// True when `incoming` passes against `stored` (the reference value for the alpha test).
inline bool ComparePasses(uint32_t func, uint32_t incoming, uint32_t stored) {
  return OrderPasses(PassingOrders(func), incoming, stored);
}

}  // namespace raster
