// Where the samples of a multisampled pixel lie: Direct3D's standard patterns for 2, 4
// and 8 samples, in 1/16 pixel from the pixel centre (y downwards), here scaled to the
// rasteriser's 1/256-pixel grid so that coverage stays exact integer arithmetic.
#pragma once

#include <stdint.h>

namespace raster {

constexpr uint32_t kMaxSamples = 8;

struct SamplePattern {
  uint32_t count;                        // 1, 2, 4 or 8
  int32_t x[kMaxSamples], y[kMaxSamples];  // offsets in 1/256 pixel
  int32_t reach;                         // the largest |offset| on either axis
};

// Whether the renderer draws `count` samples per pixel.
inline bool SampleCountSupported(uint32_t count) {
  return count == 1 || count == 2 || count == 4 || count == 8;
}

// The standard pattern of `count` samples (SampleCountSupported); one sample at the
// centre for 1. With `centred` (D3DRS_MULTISAMPLEANTIALIAS off) every sample sits at
// the centre, so all of a pixel's samples take the same coverage and depth.
SamplePattern StandardPattern(uint32_t count, bool centred = false);

}  // namespace raster
