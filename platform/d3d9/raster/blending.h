// Alpha blending (source and destination factors, blend operation) and the colour
// write mask, on 8-bit channels: out = (src * srcFactor + dst * dstFactor + 127) / 255.
#pragma once

#include <stdint.h>

#include "pipeline.h"

namespace raster {

struct BlendSetup {
  bool enabled;
  uint32_t source, destination, op;
  uint32_t factor;     // D3DRS_BLENDFACTOR
  uint32_t writeMask;  // A8R8G8B8 bits that may change
};

BlendSetup SetupBlend(const PipelineState& state);

// The value to store given the incoming colour and what the target holds.
uint32_t BlendPixel(const BlendSetup& blend, uint32_t source, uint32_t destination);

}  // namespace raster
