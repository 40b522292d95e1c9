// The vertices of one thread's share of a draw, each worked out at most once and only as
// far as its triangles need: the clip-space position and outcode for every vertex named,
// the screen position for those of triangles inside every clip plane, and the colours,
// lighting and texture coordinates only for vertices of triangles that are kept, so the
// vertices of culled triangles are never lit.
#pragma once

#include <stdint.h>

#include <vector>

#include "triangle_setup.h"
#include "vertex_transform.h"

namespace raster {

class VertexCache {
 public:
  // Forgets every vertex; numbers first .. last of the vertices at `bits`, `stride`
  // bytes apart, may then be asked for. The screen vertices get the `varyings` slots.
  void Start(const VertexTransform* transform, const uint8_t* bits, uint32_t stride, uint32_t first,
             uint32_t last, const Viewport& viewport, uint32_t varyings);

  // ClipOutcode of the vertex's clip-space position.
  uint32_t Outcode(uint32_t number);
  // The whole vertex in clip space.
  const ClipVertex& Clip(uint32_t number);
  // The vertex's screen position (x, y, z, q) as ProjectClipVertex gives it, or nullptr
  // where that fails.
  const ScreenVertex* Placed(uint32_t number);
  // The vertex on screen with its varyings; only after Placed gave it.
  const ScreenVertex& Screen(uint32_t number);

 private:
  enum Step : uint8_t { kPositioned = 1, kVaryings = 2, kPlaced = 4, kOnScreen = 8, kProjected = 16 };
  size_t Slot(uint32_t number);

  const VertexTransform* transform_ = nullptr;
  const uint8_t* bits_ = nullptr;
  uint32_t stride_ = 0, first_ = 0, varyings_ = 0;
  Viewport viewport_{};
  // Sized for the largest draw so far: a smaller draw between two large ones costs no
  // reallocation; only `steps_` is cleared per draw.
  std::vector<ClipVertex> clip_;
  std::vector<ScreenVertex> screen_;
  std::vector<uint8_t> outcodes_;
  std::vector<uint8_t> steps_;
};

}  // namespace raster
