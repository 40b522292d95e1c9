// Primitive assembly: which stream vertices make up each triangle of a list, strip or
// fan, indexed or not, with every index checked against the index and vertex buffers.
// Odd strip triangles are reordered so all triangles share the first one's winding.
#pragma once

#include <stdint.h>

#include "pipeline.h"

namespace raster {

class TriangleSource {
 public:
  // `vertexCount` is the number of whole vertices readable from the stream.
  TriangleSource(const DrawCall& call, const IndexStream* indices, uint32_t vertexCount);

  // Triangles the call can name at all (the count asked for, limited by the buffers).
  uint32_t count() const { return count_; }
  // The stream vertex numbers of triangle `t`; false when one lies outside a buffer.
  bool Vertices(uint32_t t, uint32_t out[3]) const;
  // Smallest and largest valid vertex number the draw names; false when none.
  bool VertexRange(uint32_t* first, uint32_t* last) const;
  // Index (or stream vertex) positions the triangles read, from the first on.
  uint64_t positionsUsed() const {
    return call_.type == D3DPT_TRIANGLELIST ? 3ull * count_ : (count_ ? count_ + 2ull : 0);
  }

 private:
  bool VertexAt(uint64_t position, uint32_t* vertex) const;
  // The vertex number at `position` (below positions_), not yet checked against the stream.
  template <bool kIndexed, bool kWide>
  int64_t NumberAt(uint64_t position) const;
  // VertexRange over the first `used` positions, one loop per kind of buffer: it runs
  // over every index of a draw before the draw's threads start.
  template <bool kIndexed, bool kWide>
  bool NumberRange(uint64_t used, uint32_t* first, uint32_t* last) const;

  DrawCall call_;
  const IndexStream* indices_;
  uint32_t vertexCount_;
  uint64_t positions_;  // vertex positions (indices or stream vertices) available
  uint32_t count_;
};

}  // namespace raster
