// Per-pixel work of a draw, chosen once per draw: interpolation of the varyings along a
// span, the texture stages, alpha and depth tests, blending and the write into the
// render target. Common single-texture states get a lean span loop; everything else
// goes through the general one. Both give the same pixels for the same state.
#pragma once

#include <stdint.h>

#include <vector>

#include "alpha_test.h"
#include "blending.h"
#include "depth_test.h"
#include "texel_formats.h"
#include "texture_stages.h"
#include "triangle_setup.h"

namespace raster {

// Per-thread buffers for one span.
struct SpanScratch {
  std::vector<uint32_t> color;
  std::vector<uint32_t> target;
  std::vector<uint8_t> covered;
};

struct DrawPipeline;
using SpanFunction = void (*)(const DrawPipeline& pipeline, const Triangle& triangle, int32_t y,
                              int32_t left, int32_t right, SpanScratch& scratch);

struct DrawPipeline {
  SurfaceView color;
  uint32_t colorBytes;
  RowToArgbFn readRow;
  RowFromArgbFn writeRow;
  DepthTest depth;
  AlphaTest alpha;
  BlendSetup blend;
  bool readsTarget;  // blending or a partial write mask needs the stored colour
  bool addSpecular;
  uint32_t directFill;  // bits set in every colour a lean loop stores straight into the target
  StageProgram stages;
  uint32_t slots[kVaryingCount];  // varying slots the general loop interpolates
  uint32_t slotCount;
  SpanFunction shade;
};

// False when the colour target cannot be drawn to. `images` are the converted textures.
bool BuildDrawPipeline(const PipelineState& state, const Targets& targets,
                       const TexelImage* const images[kMaxStages], DrawPipeline* out);

// The screen rectangle a draw may touch: the viewport within both surfaces.
Scissor DrawScissor(const D3DVIEWPORT9& viewport, const Targets& targets);

}  // namespace raster
