// Vertex processing: reads each element through the vertex layout, transforms with row
// vectors (v * World * View * Projection) and lights in camera space when asked to.
#include "vertex_transform.h"

#include <math.h>
#include <string.h>

namespace raster {
namespace {

float ReadFloat(const uint8_t* p) {
  float v;
  memcpy(&v, p, sizeof v);
  return v;
}

void Transform(const float v[4], const D3DMATRIX& m, float out[4]) {
  for (int c = 0; c < 4; ++c) {
    out[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
  }
}

// Inverse transpose of the upper 3x3 (cofactors over the determinant); zero when the
// matrix is singular, which leaves only ambient and emissive light.
void NormalMatrix(const D3DMATRIX& m, float out[3][3]) {
  auto at = [&](int r, int c) { return m.m[r % 3][c % 3]; };
  float det = 0;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      out[r][c] = at(r + 1, c + 1) * at(r + 2, c + 2) - at(r + 1, c + 2) * at(r + 2, c + 1);
    }
  }
  for (int c = 0; c < 3; ++c) det += m.m[0][c] * out[0][c];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) out[r][c] = det != 0 ? out[r][c] / det : 0.0f;
  }
}

}  // namespace

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] +
                    a.m[r][3] * b.m[3][c];
    }
  }
  return out;
}

VertexTransform::VertexTransform(const PipelineState& state, const VertexLayout& layout)
    : layout_(layout),
      worldView_(Multiply(state.world, state.view)),
      worldViewProjection_(Multiply(worldView_, state.projection)),
      lighting_(SetupLighting(state, layout.diffuse != kAbsent, layout.specular != kAbsent)),
      lightingOn_(state.renderStates[D3DRS_LIGHTING] != 0 && !layout.transformed),
      normalizeNormals_(state.renderStates[D3DRS_NORMALIZENORMALS] != 0) {
  NormalMatrix(worldView_, normalMatrix_);
}

void VertexTransform::ReadColours(const uint8_t* vertex, float colours[2][4]) const {
  // Without vertex colours Direct3D uses opaque white diffuse and black specular.
  UnpackColor(0xffffffffu, colours[0]);
  UnpackColor(0, colours[1]);
  uint32_t packed;
  if (layout_.diffuse != kAbsent) {
    memcpy(&packed, vertex + layout_.diffuse, 4);
    UnpackColor(packed, colours[0]);
  }
  if (layout_.specular != kAbsent) {
    memcpy(&packed, vertex + layout_.specular, 4);
    UnpackColor(packed, colours[1]);
  }
}

void VertexTransform::Light(const uint8_t* vertex, const float colours[2][4],
                            ClipVertex* out) const {
  float position[4] = {ReadFloat(vertex), ReadFloat(vertex + 4), ReadFloat(vertex + 8), 1.0f};
  float camera[4];
  Transform(position, worldView_, camera);
  float normal[3] = {0, 0, 0};
  if (layout_.normal != kAbsent) {
    float n[3];
    for (int i = 0; i < 3; ++i) n[i] = ReadFloat(vertex + layout_.normal + 4 * i);
    for (int c = 0; c < 3; ++c) {
      normal[c] = n[0] * normalMatrix_[0][c] + n[1] * normalMatrix_[1][c] + n[2] * normalMatrix_[2][c];
    }
    float length2 = normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2];
    if (normalizeNormals_ && length2 > 0) {
      float inverse = 1.0f / sqrtf(length2);
      for (float& c : normal) c *= inverse;
    }
  }
  LightVertex(lighting_, camera, normal, colours, out->varying + kDiffuseSlot,
              out->varying + kSpecularSlot);
}

void VertexTransform::Position(const uint8_t* vertex, ClipVertex* out) const {
  if (layout_.transformed) {
    for (int i = 0; i < 4; ++i) out->pos[i] = ReadFloat(vertex + 4 * i);
  } else {
    float position[4] = {ReadFloat(vertex), ReadFloat(vertex + 4), ReadFloat(vertex + 8), 1.0f};
    Transform(position, worldViewProjection_, out->pos);
  }
}

void VertexTransform::Varyings(const uint8_t* vertex, ClipVertex* out) const {
  float colours[2][4];
  ReadColours(vertex, colours);
  if (lightingOn_) {
    Light(vertex, colours, out);
  } else {
    memcpy(out->varying + kDiffuseSlot, colours[0], sizeof colours[0]);
    memcpy(out->varying + kSpecularSlot, colours[1], sizeof colours[1]);
  }
  for (uint32_t set = 0; set < kMaxTexCoordSets; ++set) {
    float* uv = out->varying + TexSlot(set);
    uv[0] = uv[1] = 0.0f;
    if (set >= layout_.texCount) continue;
    const uint8_t* at = vertex + layout_.texOffset[set];
    uv[0] = ReadFloat(at);
    if (layout_.texSize[set] > 1) uv[1] = ReadFloat(at + 4);
  }
}

}  // namespace raster
