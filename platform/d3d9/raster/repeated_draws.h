// Draws that repeat. A draw that does not read its targets (no blending, every colour
// channel written, a depth test that always passes or none) writes pixels that follow
// from its inputs alone: the state, the textures' contents, the vertex and index bytes
// it reads and the targets' shapes. The star backdrop behind a globe seen by a still
// camera is such a draw, the same in every frame. Once a draw's inputs come a second
// time, the pixels it writes are kept, and each later time they are copied back instead
// of drawn: the same pixels, for a copy's cost.
#pragma once

#include <stdint.h>

#include <vector>

#include "band_workers.h"
#include "pipeline.h"
#include "pixel_pipeline.h"
#include "primitive_assembly.h"

namespace raster {

// The inputs of one draw, as bytes that are equal exactly when the draws are the same.
struct DrawInputs {
  const PipelineState& state;
  const Targets& targets;
  const VertexStream& vertices;
  const IndexStream* indices;
  const DrawCall& call;
  const TriangleSource& source;
  uint32_t firstVertex, lastVertex, vertexSize;
};

// True when the pixels a draw writes do not depend on what its targets hold.
bool IgnoresTargets(const DrawPipeline& pipeline);

// The pixels one draw wrote into each plane of its targets, row by row.
class DrawnPixels {
 public:
  // Draws twice, with `draw`, into copies of the targets filled with different bytes,
  // and keeps what both hold alike: what the draw wrote. Throws std::bad_alloc.
  template <class DrawInto>
  void Capture(const Targets& targets, const DrawInto& draw) {
    Scratch first(targets, 0x00), second(targets, 0xff);
    draw(first.targets);
    draw(second.targets);
    Keep(targets, first, second);
  }
  bool captured() const { return captured_; }
  // Writes the kept pixels into `targets` (of the captured shapes), bands of rows in
  // parallel.
  void Replay(const Targets& targets, BandWorkers& workers) const;

 private:
  struct Scratch {
    Scratch(const Targets& shape, uint8_t fill);
    std::vector<uint8_t> color, depth;
    Targets targets;
  };
  // A stretch of written pixels in one row of the planes (rows of plane s follow those
  // of plane s - 1), and where its values start in `values`.
  struct Run {
    uint32_t row, left, count;
    size_t at;
  };
  struct Plane {
    std::vector<Run> runs;
    std::vector<uint8_t> values;
    uint32_t bytes = 0;     // per pixel
    uint32_t keep = 0;      // bits of a depth word the draw leaves alone (the stencil)
  };
  void Keep(const Targets& targets, const Scratch& first, const Scratch& second);
  static void KeepPlane(const SurfaceView& a, const SurfaceView& b, uint32_t bytes, uint32_t keep, Plane* out);
  static void ReplayRows(const Plane& plane, const SurfaceView& surface, uint32_t band, uint32_t bands);

  Plane color_, depth_;
  bool captured_ = false;
};

// The last few draws that ignore their targets, by their inputs.
class RepeatedDraws {
 public:
  // The place for the pixels of a draw with these inputs (captured or not yet), or null
  // the first time they come, when they are only noted.
  DrawnPixels* Find(const DrawInputs& inputs);

 private:
  struct Entry {
    std::vector<uint8_t> key;
    uint64_t lastUse = 0;
    DrawnPixels pixels;
  };
  static constexpr size_t kEntries = 2;  // each may hold a whole target's pixels
  static constexpr uint64_t kMaxTargetBytes = uint64_t{256} << 20;

  std::vector<uint8_t> probe_;
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

}  // namespace raster
