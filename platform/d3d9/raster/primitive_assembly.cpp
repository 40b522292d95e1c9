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

template <bool kIndexed, bool kWide>
int64_t TriangleSource::NumberAt(uint64_t position) const {
  if (!kIndexed) return int64_t{call_.startVertex} + static_cast<int64_t>(position);
  uint64_t at = call_.startIndex + position;
  uint32_t index = 0;
  if (kWide) {
    memcpy(&index, indices_->bits + at * 4, 4);
  } else {
    uint16_t narrow;
    memcpy(&narrow, indices_->bits + at * 2, 2);
    index = narrow;
  }
  return int64_t{index} + call_.baseVertex;
}

bool TriangleSource::VertexAt(uint64_t position, uint32_t* vertex) const {
  if (position >= positions_) return false;
  int64_t number = !indices_ ? NumberAt<false, false>(position)
                   : indices_->wide ? NumberAt<true, true>(position)
                                    : NumberAt<true, false>(position);
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

template <bool kIndexed, bool kWide>
bool TriangleSource::NumberRange(uint64_t used, uint32_t* first, uint32_t* last) const {
  int64_t low = INT64_MAX, high = -1;
  for (uint64_t p = 0; p < used; ++p) {
    int64_t number = NumberAt<kIndexed, kWide>(p);
    if (number < 0 || number >= vertexCount_) continue;
    low = std::min(low, number);
    high = std::max(high, number);
  }
  if (high < 0) return false;
  *first = static_cast<uint32_t>(low);
  *last = static_cast<uint32_t>(high);
  return true;
}

bool TriangleSource::VertexRange(uint32_t* first, uint32_t* last) const {
  uint64_t used = positionsUsed();
  if (!indices_) return NumberRange<false, false>(used, first, last);
  return indices_->wide ? NumberRange<true, true>(used, first, last) : NumberRange<true, false>(used, first, last);
}

}  // namespace raster
