// Triangle lists, strips and fans over index or vertex positions.
#include "primitive_assembly.h"

#include <string.h>

#include <algorithm>

namespace raster {
namespace {

uint64_t TrianglesIn(D3DPRIMITIVETYPE type, uint64_t positions) {
  if (type == D3DPT_TRIANGLELIST) return positions / 3;
  if (type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN) return positions >= 2 ? positions - 2 : 0;
  return 0;  // points and lines are not drawn
}

}  // namespace

TriangleSource::TriangleSource(const DrawCall& call, const IndexStream* indices, uint32_t vertexCount)
    : call_(call), indices_(indices), vertexCount_(vertexCount) {
  uint64_t first = indices ? call.startIndex : call.startVertex;
  uint64_t total = indices ? indices->count : vertexCount;
  positions_ = total > first ? total - first : 0;
  count_ = static_cast<uint32_t>(std::min<uint64_t>(call.primitiveCount, TrianglesIn(call.type, positions_)));
}

bool TriangleSource::VertexAt(uint64_t position, uint32_t* vertex) const {
  if (position >= positions_) return false;
  int64_t number;
  if (indices_) {
    uint64_t at = call_.startIndex + position;
    uint32_t index = 0;
    if (indices_->wide) {
      memcpy(&index, indices_->bits + at * 4, 4);
    } else {
      uint16_t narrow;
      memcpy(&narrow, indices_->bits + at * 2, 2);
      index = narrow;
    }
    number = int64_t{index} + call_.baseVertex;
  } else {
    number = int64_t{call_.startVertex} + static_cast<int64_t>(position);
  }
  if (number < 0 || number >= vertexCount_) return false;
  *vertex = static_cast<uint32_t>(number);
  return true;
}

bool TriangleSource::Vertices(uint32_t t, uint32_t out[3]) const {
  uint64_t p[3];
  switch (call_.type) {
    case D3DPT_TRIANGLELIST: p[0] = 3ull * t, p[1] = p[0] + 1, p[2] = p[0] + 2; break;
    case D3DPT_TRIANGLEFAN: p[0] = 0, p[1] = t + 1ull, p[2] = t + 2ull; break;
    default:
      p[0] = t, p[1] = t + 1ull, p[2] = t + 2ull;
      if (t & 1) std::swap(p[0], p[1]);
      break;
  }
  for (int i = 0; i < 3; ++i) {
    if (!VertexAt(p[i], &out[i])) return false;
  }
  return true;
}

bool TriangleSource::VertexRange(uint32_t* first, uint32_t* last) const {
  bool any = false;
  for (uint64_t p = 0; p < positionsUsed(); ++p) {
    uint32_t v;
    if (!VertexAt(p, &v)) continue;
    *first = any ? std::min(*first, v) : v;
    *last = any ? std::max(*last, v) : v;
    any = true;
  }
  return any;
}

}  // namespace raster
