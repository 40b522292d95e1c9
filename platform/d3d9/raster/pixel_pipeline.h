// Per-pixel work of a draw, chosen once per draw: interpolation of the varyings along a
// span, the texture stages, alpha and depth tests, blending and the write into the
// render target. Common single-texture states get a lean span loop, up to two stages
// of common operations the stage loop (stage_pixels.h); everything else goes through
// the general one. All give the same pixels for the same state. On a multisampled
// target coverage and depth are per sample, and each pixel is shaded once, at its
// centre, for all of its samples that pass.
#pragma once

#include <stdint.h>

#include <vector>

#include "alpha_test.h"
#include "blending.h"
#include "depth_test.h"
#include "rasterizer.h"
#include "sample_pattern.h"
#include "stage_pixels.h"
#include "texel_formats.h"
#include "texture_stages.h"
#include "triangle_setup.h"

namespace raster {

// Per-thread buffers for one span.
struct SpanScratch {
  std::vector<uint32_t> color;
  std::vector<uint32_t> target;
  std::vector<uint8_t> covered;
  // Multisampled targets: the samples of each pixel that pass (bit per sample), their
  // quantised depths (a row per sample) and one sample's coverage along the span.
  std::vector<uint8_t> samples;
  std::vector<uint32_t> depths;
  std::vector<uint8_t> sampleCovered;

  void Fit(uint32_t width, uint32_t sampleCount);
};

struct DrawPipeline;
using SpanFunction = void (*)(const DrawPipeline& pipeline, const Triangle& triangle, int32_t y,
                              int32_t left, int32_t right, SpanScratch& scratch);
// Colours of the pixels i < count of row y from column `left` whose scratch.covered[i]
// is set, into scratch.color[i]; clears covered[i] where the alpha test fails.
using ColorFunction = void (*)(const DrawPipeline& pipeline, const Triangle& triangle, int32_t y,
                               int32_t left, uint32_t count, SpanScratch& scratch);

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
  bool writesDirect;     // a 32-bit ARGB target without blending: colours are stored as they are,
  uint32_t directFill;   // with these bits set
  StageProgram stages;
  uint32_t slots[kVaryingCount];  // varying slots the general loop interpolates
  uint32_t slotCount;
  uint32_t varyings;  // the same slots as bits: the triangle planes any loop reads
  StageLoop stageLoop;  // set when the stage loop is chosen
  SpanFunction shade;
  ColorFunction colors;    // shading alone, for multisampled targets
  SamplePattern pattern;   // one sample for a single-sampled target
  uint32_t sampleMask;     // the samples a draw may change
};

// Draws one row of a triangle into a multisampled target, given each sample's span.
void ShadeSamples(const DrawPipeline& pipeline, const Triangle& triangle, int32_t y, const SampleSpans& spans,
                  SpanScratch& scratch);

// False when the colour target cannot be drawn to. `images` are the converted textures.
bool BuildDrawPipeline(const PipelineState& state, const Targets& targets,
                       const TexelImage* const images[kMaxStages], DrawPipeline* out);

// The screen rectangle a draw may touch: the viewport within both surfaces.
Scissor DrawScissor(const D3DVIEWPORT9& viewport, const Targets& targets);

}  // namespace raster
