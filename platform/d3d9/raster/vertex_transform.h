// Turns the vertices of a draw into clip-space positions plus the values interpolated
// across triangles (colours and texture coordinates): world, view and projection
// transforms and lighting for untransformed vertices; pass-through for XYZRHW ones.
#pragma once

#include <stdint.h>

#include "lighting.h"
#include "pipeline.h"
#include "vertex_format.h"

namespace raster {

// Slots of ClipVertex::varying: diffuse RGBA, specular RGBA, then u, v of each set.
constexpr uint32_t kDiffuseSlot = 0;
constexpr uint32_t kSpecularSlot = 4;
constexpr uint32_t kVaryingCount = 8 + 2 * kMaxTexCoordSets;
constexpr uint32_t TexSlot(uint32_t set) { return 8 + 2 * set; }

// For untransformed vertices `pos` is the clip-space (x, y, z, w); for XYZRHW vertices it
// is the screen position and reciprocal w as given.
struct ClipVertex {
  float pos[4];
  float varying[kVaryingCount];
};

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

class VertexTransform {
 public:
  VertexTransform(const PipelineState& state, const VertexLayout& layout);
  // A vertex in two steps: out->pos alone, then out->varying (colours, lighting,
  // texture coordinates), so that a vertex no drawn triangle uses need not be lit.
  void Position(const uint8_t* vertex, ClipVertex* out) const;
  void Varyings(const uint8_t* vertex, ClipVertex* out) const;

 private:
  void ReadColours(const uint8_t* vertex, float colours[2][4]) const;
  void Light(const uint8_t* vertex, const float colours[2][4], ClipVertex* out) const;

  const VertexLayout& layout_;
  D3DMATRIX worldView_;
  D3DMATRIX worldViewProjection_;
  float normalMatrix_[3][3];  // inverse transpose of worldView's upper 3x3
  LightingSetup lighting_;
  bool lightingOn_;
  bool normalizeNormals_;
};

}  // namespace raster
