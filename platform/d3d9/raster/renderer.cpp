// The renderer's front: per draw it decodes the vertex format and builds the pixel
// pipeline; then each worker thread transforms the vertices of its share of the
// triangles, assembles, wraps, clips and sets them up, and once all shares are ready
// rasterises every triangle, in the draw's order, on the rows of its band. A draw that
// ignores its targets and comes again with the same inputs is copied back from what it
// wrote before (repeated_draws.h).
#include <math.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <new>
#include <thread>
#include <vector>

#include "band_workers.h"
#include "clear.h"
#include "clipping.h"
#include "pipeline.h"
#include "pixel_pipeline.h"
#include "primitive_assembly.h"
#include "rasterizer.h"
#include "repeated_draws.h"
#include "texture_cache.h"
#include "triangle_setup.h"
#include "vertex_cache.h"
#include "vertex_format.h"
#include "vertex_transform.h"

namespace raster {
namespace {

// One row band per hardware thread (the pixels do not depend on the count); the cap only
// keeps an absurd report from starting hundreds of threads.
uint32_t DefaultThreadCount() {
  return std::clamp<uint32_t>(std::thread::hardware_concurrency(), 1, 64);
}

uint32_t StreamVertexCount(const VertexStream& stream, uint32_t vertexSize) {
  if (!stream.bits || stream.size < vertexSize) return 0;
  if (stream.stride == 0) return 1;
  uint64_t count = (uint64_t{stream.size} - vertexSize) / stream.stride + 1;
  return static_cast<uint32_t>(std::min<uint64_t>(count, UINT32_MAX));
}

// D3DRS_WRAPn: coordinate set n takes the shorter way around the 0..1 cylinder, by
// moving the second and third vertices by whole turns towards the first.
void Wrap(const uint32_t wrapFlags[kMaxTexCoordSets], ClipVertex v[3]) {
  for (uint32_t set = 0; set < kMaxTexCoordSets; ++set) {
    for (uint32_t c = 0; c < 2; ++c) {
      if (!(wrapFlags[set] & (1u << c))) continue;
      uint32_t slot = TexSlot(set) + c;
      for (int i = 1; i < 3; ++i) {
        float turns = floorf(v[i].varying[slot] - v[0].varying[slot] + 0.5f);
        if (turns == turns) v[i].varying[slot] -= turns;
      }
    }
  }
}

// What a draw's threads share: its state, buffers and the vertex numbers it names.
struct DrawInput {
  const PipelineState& state;
  const Targets& targets;
  const VertexLayout& layout;
  const VertexStream& vertices;
  const TriangleSource& source;
  uint32_t firstVertex, lastVertex;
  int32_t reach;       // how far samples lie from pixel centres, in subpixels
  uint32_t varyings;   // the varying slots the pixel pipeline reads (kAllVaryings bits)
};

// One worker thread's own part of a draw: span buffers, the triangles it set up and
// the vertices it transformed on the way.
struct BandState {
  SpanScratch scratch;
  std::vector<Triangle> triangles;
  VertexCache vertices;
};

// How a share's triangles become set-up triangles.
struct SetupRules {
  Viewport viewport;
  uint32_t cullMode;
  Scissor scissor;
  int32_t reach;
  uint32_t varyings;
};

void AddPolygon(const ClipVertex* polygon, uint32_t count, bool transformed, const SetupRules& rules,
                std::vector<Triangle>* triangles) {
  ScreenVertex screen[kMaxClipVertices];
  for (uint32_t i = 0; i < count; ++i) {
    bool ok = transformed ? ProjectTransformedVertex(polygon[i], rules.varyings, &screen[i])
                          : ProjectClipVertex(polygon[i], rules.viewport, rules.varyings, &screen[i]);
    if (!ok) return;
  }
  for (uint32_t i = 1; i + 1 < count; ++i) {
    Triangle t;
    if (SetupTriangle(screen[0], screen[i], screen[i + 1], rules.cullMode, rules.scissor, rules.varyings, &t,
                      rules.reach)) {
      triangles->push_back(t);
    }
  }
}

// A triangle inside every clip plane and without wrapping, from the cached screen
// vertices: culled before its vertices are lit, each vertex projected once.
void AddInsideTriangle(const uint32_t numbers[3], const SetupRules& rules, VertexCache* cache,
                       std::vector<Triangle>* triangles) {
  const ScreenVertex* placed[3] = {cache->Placed(numbers[0]), cache->Placed(numbers[1]), cache->Placed(numbers[2])};
  if (!placed[0] || !placed[1] || !placed[2] || !FacesViewer(*placed[0], *placed[1], *placed[2], rules.cullMode))
    return;
  Triangle t;
  if (SetupTriangle(cache->Screen(numbers[0]), cache->Screen(numbers[1]), cache->Screen(numbers[2]),
                    rules.cullMode, rules.scissor, rules.varyings, &t, rules.reach)) {
    triangles->push_back(t);
  }
}

// Sets up the draw's triangles begin .. end - 1 into `band`.
void Setup(const DrawInput& draw, uint32_t begin, uint32_t end, BandState* band) {
  const PipelineState& state = draw.state;
  const VertexLayout& layout = draw.layout;
  std::vector<Triangle>& triangles = band->triangles;
  triangles.clear();
  VertexTransform transform(state, layout);
  const D3DVIEWPORT9& vp = state.viewport;
  SetupRules rules{{static_cast<float>(vp.X), static_cast<float>(vp.Y), vp.Width * 0.5f, vp.Height * 0.5f,
                    vp.MinZ, vp.MaxZ},
                   state.renderStates[D3DRS_CULLMODE],
                   DrawScissor(vp, draw.targets),
                   draw.reach,
                   draw.varyings};
  VertexCache& cache = band->vertices;
  cache.Start(&transform, draw.vertices.bits, draw.vertices.stride, draw.firstVertex, draw.lastVertex,
              rules.viewport, rules.varyings);
  uint32_t wrapFlags[kMaxTexCoordSets];
  bool wraps = false;
  for (uint32_t set = 0; set < kMaxTexCoordSets; ++set) {
    wrapFlags[set] = state.renderStates[D3DRS_WRAP0 + set] & (D3DWRAPCOORD_0 | D3DWRAPCOORD_1);
    wraps |= wrapFlags[set] != 0;
  }
  for (uint32_t t = begin; t < end; ++t) {
    uint32_t numbers[3];
    if (!draw.source.Vertices(t, numbers)) continue;
    uint32_t codes[3] = {0, 0, 0};
    if (!layout.transformed) {
      codes[0] = cache.Outcode(numbers[0]), codes[1] = cache.Outcode(numbers[1]), codes[2] = cache.Outcode(numbers[2]);
      if (codes[0] & codes[1] & codes[2]) continue;  // wholly outside one plane
    }
    uint32_t planes = codes[0] | codes[1] | codes[2];
    if (!layout.transformed && !planes && !wraps) {
      AddInsideTriangle(numbers, rules, &cache, &triangles);
      continue;
    }
    ClipVertex corners[3] = {cache.Clip(numbers[0]), cache.Clip(numbers[1]), cache.Clip(numbers[2])};
    if (wraps) Wrap(wrapFlags, corners);
    if (!planes) {
      AddPolygon(corners, 3, layout.transformed, rules, &triangles);
      continue;
    }
    ClipVertex polygon[kMaxClipVertices];
    const ClipVertex* in[3] = {&corners[0], &corners[1], &corners[2]};
    uint32_t count = ClipTriangle(in, planes, polygon);
    AddPolygon(polygon, count, false, rules, &triangles);
  }
}

}  // namespace

struct Renderer::Impl {
  TextureCache cache;
  std::unique_ptr<BandWorkers> workers{new BandWorkers(DefaultThreadCount())};
  std::vector<BandState> bands;
  RepeatedDraws repeats;

  void Render(const PipelineState& state, const Targets& targets, const VertexStream& vertices,
              const IndexStream* indices, const DrawCall& call);
  void Draw(const DrawInput& draw, const DrawPipeline& pipeline);
};

// Each thread sets up an equal share of the triangles; after all have, each draws every
// triangle, shares in thread order, on its own rows, so the order of the draw is kept.
// A share that runs out of memory leaves the whole draw out, and the caller gets the
// std::bad_alloc.
void Renderer::Impl::Draw(const DrawInput& draw, const DrawPipeline& pipeline) {
  uint32_t count = workers->count();
  bands.resize(count);
  for (BandState& band : bands) band.scratch.Fit(draw.targets.color.width, pipeline.pattern.count);
  std::barrier<> setupDone(count);
  std::atomic<bool> outOfMemory{false};
  workers->Run([&](uint32_t band) {
    uint64_t triangles = draw.source.count();
    try {
      Setup(draw, static_cast<uint32_t>(triangles * band / count),
            static_cast<uint32_t>(triangles * (band + 1) / count), &bands[band]);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
    setupDone.arrive_and_wait();
    if (outOfMemory) return;
    SpanScratch& s = bands[band].scratch;
    RowBand rows{band, count};
    for (const BandState& share : bands) {
      for (const Triangle& t : share.triangles) {
        if (pipeline.pattern.count > 1) {
          RasterizeTriangleSamples(t, rows, pipeline.pattern, [&](int32_t y, const SampleSpans& spans) {
            ShadeSamples(pipeline, t, y, spans, s);
          });
        } else {
          RasterizeTriangle(t, rows, [&](int32_t y, int32_t left, int32_t right) {
            pipeline.shade(pipeline, t, y, left, right, s);
          });
        }
      }
    }
  });
  if (outOfMemory) throw std::bad_alloc();
}

void Renderer::Impl::Render(const PipelineState& state, const Targets& targets,
                            const VertexStream& vertices, const IndexStream* indices,
                            const DrawCall& call) {
  VertexLayout layout;
  if (!DecodeFvf(vertices.fvf, &layout)) return;
  if (indices && !indices->bits) return;
  TriangleSource source(call, indices, StreamVertexCount(vertices, layout.size));
  if (source.count() == 0) return;
  const TexelImage* images[kMaxStages] = {};
  for (uint32_t i = 0; i < kMaxStages; ++i) {
    const TextureView* texture = state.textures[i];
    if (texture) images[i] = cache.Get(*texture, LevelsSampled(state.samplerStates[i], texture->levelCount));
  }
  DrawPipeline pipeline;
  if (!BuildDrawPipeline(state, targets, images, &pipeline)) return;
  uint32_t first = 0, last = 0;
  if (!source.VertexRange(&first, &last)) return;
  auto drawInto = [&](const Targets& into, const DrawPipeline& intoPipeline) {
    Draw({state, into, layout, vertices, source, first, last, intoPipeline.pattern.reach, intoPipeline.varyings},
         intoPipeline);
  };
  DrawnPixels* kept = IgnoresTargets(pipeline)
                          ? repeats.Find({state, targets, vertices, indices, call, source, first, last, layout.size})
                          : nullptr;
  if (!kept) return drawInto(targets, pipeline);
  if (!kept->captured()) {
    try {
      kept->Capture(targets, [&](const Targets& scratch) {
        DrawPipeline scratchPipeline;
        BuildDrawPipeline(state, scratch, images, &scratchPipeline);
        drawInto(scratch, scratchPipeline);
      });
    } catch (const std::bad_alloc&) {
      return drawInto(targets, pipeline);  // no room to keep it: drawn as any other
    }
  }
  kept->Replay(targets, *workers);
}

Renderer::Renderer() : impl_(new Impl) {}
Renderer::~Renderer() = default;

void Renderer::SetThreadCount(uint32_t count) {
  impl_->workers.reset(new BandWorkers(count ? count : DefaultThreadCount()));
}

void Renderer::Draw(const PipelineState& state, const Targets& targets,
                    const VertexStream& vertices, const DrawCall& call) {
  impl_->Render(state, targets, vertices, nullptr, call);
}

void Renderer::DrawIndexed(const PipelineState& state, const Targets& targets,
                           const VertexStream& vertices, const IndexStream& indices,
                           const DrawCall& call) {
  impl_->Render(state, targets, vertices, &indices, call);
}

void Renderer::Clear(const Targets& targets, const D3DVIEWPORT9& viewport, uint32_t rectCount,
                     const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                     DWORD stencil) {
  ClearTargets(targets, viewport, rectCount, rects, flags, color, z, stencil);
}

void Renderer::ForgetTexture(uint64_t id) { impl_->cache.Forget(id); }

}  // namespace raster
