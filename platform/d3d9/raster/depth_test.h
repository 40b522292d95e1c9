// Depth buffer access and the depth test. Depth is quantised to the buffer's integer
// precision before comparing, and writes keep the stencil (and unused) bits as they are.
#pragma once

#include <stdint.h>
#include <string.h>

#include "compare.h"
#include "pipeline.h"

namespace raster {

struct DepthBuffer {
  uint8_t* bits;
  uint32_t pitch;
  uint32_t bytes;  // 2 or 4 per pixel
  uint32_t shift;  // lowest bit of the depth value
  uint32_t mask;   // depth bits within the stored word
  double scale;    // largest depth value
};

// False (and `out` untouched) when the surface is not a depth format.
bool DescribeDepth(const SurfaceView& surface, DepthBuffer* out);

struct DepthTest {
  DepthBuffer buffer;
  bool test;   // ZENABLE and a depth buffer present
  bool write;  // ... and ZWRITEENABLE
  uint32_t func;
};

DepthTest SetupDepthTest(const PipelineState& state, const SurfaceView& depth);

inline uint32_t QuantizeDepth(const DepthBuffer& b, float z) {
  double clamped = z > 0.0f ? (z < 1.0f ? static_cast<double>(z) : 1.0) : 0.0;
  return static_cast<uint32_t>(clamped * b.scale + 0.5);
}

inline uint8_t* DepthAt(const DepthBuffer& b, int32_t x, int32_t y) {
  return b.bits + static_cast<size_t>(y) * b.pitch + static_cast<size_t>(x) * b.bytes;
}

// The stored word of 2 or 4 bytes; fixed-size copies keep these inline.
inline uint32_t LoadDepthWord(const DepthBuffer& b, const uint8_t* p) {
  if (b.bytes == 4) {
    uint32_t word;
    memcpy(&word, p, 4);
    return word;
  }
  uint16_t word;
  memcpy(&word, p, 2);
  return word;
}

inline void StoreDepthWord(const DepthBuffer& b, uint8_t* p, uint32_t word) {
  if (b.bytes == 4) {
    memcpy(p, &word, 4);
  } else {
    uint16_t narrow = static_cast<uint16_t>(word);
    memcpy(p, &narrow, 2);
  }
}

inline uint32_t LoadDepth(const DepthBuffer& b, const uint8_t* p) {
  return (LoadDepthWord(b, p) & b.mask) >> b.shift;
}

inline void StoreDepth(const DepthBuffer& b, uint8_t* p, uint32_t value) {
  uint32_t word = LoadDepthWord(b, p);
  StoreDepthWord(b, p, (word & ~b.mask) | ((value << b.shift) & b.mask));
}

}  // namespace raster
