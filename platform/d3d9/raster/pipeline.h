// The renderer's entry points: the device hands over its whole fixed-function state,
// the target surfaces and the vertex/index data of one draw, already validated (sizes,
// ranges, formats). Indices are still checked here: a primitive that names a vertex
// outside the stream is skipped, never read.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "d3d9types.h"

namespace raster {

// One mip level of a texture as the device stores it.
struct TextureLevelView {
  const uint8_t* bits;
  uint32_t width;
  uint32_t height;
  uint32_t pitch;
  // A 32-bit level whose rows end in a copy of their first texel (pitch (width + 1) * 4),
  // the layout the renderer samples in: it reads such a level where it lies.
  bool wrapTexels = false;
};

// A texture bound to a stage. `version` changes whenever the device's copy of any level
// changes (after each unlock), so the renderer may cache converted texels keyed by
// (`id`, `version`). `id` is unique for the texture's lifetime and never reused.
struct TextureView {
  uint64_t id;
  uint64_t version;
  D3DFORMAT format;
  uint32_t levelCount;
  const TextureLevelView* levels;
};

// A render target or depth/stencil surface. A multisampled one holds one plane of
// width x height pixels per sample, each `height` rows below the one before.
struct SurfaceView {
  uint8_t* bits;
  uint32_t width;
  uint32_t height;
  uint32_t pitch;
  D3DFORMAT format;
  uint32_t samples = 1;      // 1, 2, 4 or 8
  bool nonmaskable = false;  // D3DMULTISAMPLE_NONMASKABLE: D3DRS_MULTISAMPLEMASK does not apply
};

// Plane `sample` of a multisampled surface, as a single-sampled surface of its own.
inline SurfaceView SamplePlane(const SurfaceView& surface, uint32_t sample) {
  return {surface.bits + size_t{sample} * surface.height * surface.pitch, surface.width, surface.height,
          surface.pitch, surface.format};
}

constexpr uint32_t kMaxStages = D3D_TEXTURESTAGE_COUNT;  // texture stages and samplers
constexpr uint32_t kMaxLights = 8;

// Everything a draw depends on. Arrays are indexed by the Direct3D enumeration values.
struct PipelineState {
  D3DMATRIX world;
  D3DMATRIX view;
  D3DMATRIX projection;
  D3DMATRIX textureTransform[kMaxStages];
  DWORD renderStates[D3D_RENDERSTATE_COUNT];
  DWORD stageStates[kMaxStages][D3D_TEXTURESTAGESTATE_COUNT];
  DWORD samplerStates[kMaxStages][D3D_SAMPLERSTATE_COUNT];
  const TextureView* textures[kMaxStages];  // null: no texture on that stage
  D3DMATERIAL9 material;
  D3DLIGHT9 lights[kMaxLights];             // the enabled lights, in index order
  uint32_t lightCount;
  D3DVIEWPORT9 viewport;                    // already clamped to the render target
};

struct VertexStream {
  const uint8_t* bits;   // the stream's data from its offset on
  uint32_t size;         // bytes available from `bits`
  uint32_t stride;
  DWORD fvf;
};

struct IndexStream {
  const uint8_t* bits;   // the buffer's data
  uint32_t count;        // indices available in the buffer
  bool wide;             // 32-bit indices
};

struct DrawCall {
  D3DPRIMITIVETYPE type;
  uint32_t primitiveCount;
  uint32_t startVertex;      // non-indexed: first vertex; indexed: unused
  int32_t baseVertex;        // indexed: added to each index
  uint32_t startIndex;       // indexed: first index
};

struct Targets {
  SurfaceView color;
  SurfaceView depth;         // bits null when there is no depth buffer
};

// The state of a freshly created device (Direct3D's documented defaults), drawing into
// `viewport`.
PipelineState DefaultPipelineState(const D3DVIEWPORT9& viewport);

// How many levels of a bound texture, from the first, a draw may sample through a
// sampler with these D3DSAMP_* states: without a mip filter only the first.
uint32_t LevelsSampled(const DWORD* samplerStates, uint32_t levelCount);

// Vertex size in bytes for a flexible vertex format; 0 when the format is not one the
// renderer draws (it must have exactly one position type).
uint32_t VertexSize(DWORD fvf);

class Renderer {
 public:
  Renderer();
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Draws throw std::bad_alloc, having drawn nothing, when memory runs out.
  void Draw(const PipelineState& state, const Targets& targets, const VertexStream& vertices,
            const DrawCall& call);
  void DrawIndexed(const PipelineState& state, const Targets& targets,
                   const VertexStream& vertices, const IndexStream& indices,
                   const DrawCall& call);
  // Clears the given rectangles (all of the viewport when `rectCount` is 0) inside
  // the viewport; `flags` are D3DCLEAR_* bits.
  void Clear(const Targets& targets, const D3DVIEWPORT9& viewport, uint32_t rectCount,
             const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);
  // Forgets cached data of a texture that is being destroyed.
  void ForgetTexture(uint64_t id);
  // Threads that rasterise a draw (0: one per hardware thread, at most 64). The pixels
  // drawn never depend on it.
  void SetThreadCount(uint32_t count);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace raster
