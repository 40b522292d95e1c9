// The texture stage cascade: each enabled stage samples its texture (when its arguments
// need it), combines its colour and alpha arguments with its operations, and hands the
// result on as CURRENT. Bump environment mapping perturbs the next stage's coordinates.
// Channels are integers 0..255 throughout, so results are exact and repeatable.
#pragma once

#include <stdint.h>

#include "pipeline.h"
#include "texture_sampling.h"
#include "vertex_transform.h"

namespace raster {

struct Color4 {
  int32_t r, g, b, a;
};

inline Color4 ToColor4(uint32_t argb) {
  return {static_cast<int32_t>((argb >> 16) & 0xff), static_cast<int32_t>((argb >> 8) & 0xff),
          static_cast<int32_t>(argb & 0xff), static_cast<int32_t>(argb >> 24)};
}
inline uint32_t ToArgb(const Color4& c) {
  return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
         (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

constexpr uint32_t kNoCoordinates = UINT32_MAX;

struct StageSetup {
  uint32_t colorOp, colorArg[3];  // arguments 1, 2 and 0
  uint32_t alphaOp, alphaArg[3];
  uint32_t coordSlot;  // first varying slot of its (u, v), or kNoCoordinates
  bool sample;         // an argument reads TEXTURE and a texture is bound
  bool bound;          // a readable texture is bound
  SamplerSetup sampler;
  float bumpMatrix[4];  // 00, 01, 10, 11
  float luminanceScale, luminanceOffset;
  uint32_t constant;
};

struct StageProgram {
  StageSetup stages[kMaxStages];
  uint32_t count;  // stages before the first disabled one
  uint32_t textureFactor;
  bool needsDiffuse, needsSpecular, needsLod;
};

// `images[i]` is the converted texture of stage i, or null.
StageProgram BuildStages(const PipelineState& state, const TexelImage* const images[kMaxStages]);

// Per-pixel inputs: interpolated colours, texture coordinates by varying slot, and their
// screen-space derivatives (du/dx, dv/dx, du/dy, dv/dy per slot pair) when needed.
struct StageInputs {
  Color4 diffuse;
  Color4 specular;
  const float* varying;
  const float* gradients;  // du/dx, dv/dx, du/dy, dv/dy of set n at 4 * n; may be null
};

uint32_t RunStages(const StageProgram& program, const StageInputs& in);

}  // namespace raster
