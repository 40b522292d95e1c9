// Attribute sort, vertex-cache ordering and vertex compaction. The cache ordering is
// Forsyth's greedy "linear-speed vertex cache optimisation": each step emits the
// remaining face whose vertices score best, by recent use in a simulated LRU cache and
// by how few faces still need them.
#include "xfile/mesh_optimize.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace d3dxfile {
namespace {

constexpr uint32_t kUnset = 0xFFFFFFFFu;
constexpr int kCacheSize = 32;

float VertexScore(int cachePosition, uint32_t facesLeft) {
  if (facesLeft == 0) return -1.0f;
  float score = 0.0f;
  if (cachePosition >= 0) {
    // The three vertices just used score alike: whichever face follows reuses them.
    score = cachePosition < 3 ? 0.75f
                              : std::pow(1.0f - float(cachePosition - 3) / (kCacheSize - 3), 1.5f);
  }
  return score + 2.0f / std::sqrt(float(facesLeft));
}

// Orders the faces of one subset. Vertices get subset-local numbers for the run.
class CacheOrderer {
 public:
  CacheOrderer(std::span<const uint32_t> indices, uint32_t vertexCount)
      : indices_(indices), localOf_(vertexCount, kUnset) {}

  void Order(std::span<uint32_t> faces) {
    NumberVertices(faces);
    std::vector<uint32_t> order(faces.size());
    std::vector<bool> emitted(faces.size(), false);
    size_t nextUnemitted = 0;
    for (uint32_t& slot : order) {
      uint32_t face = BestCachedFace();
      if (face == kUnset) {
        while (emitted[nextUnemitted]) ++nextUnemitted;
        face = static_cast<uint32_t>(nextUnemitted);
      }
      emitted[face] = true;
      slot = faces[face];
      Emit(face);
    }
    std::copy(order.begin(), order.end(), faces.begin());
    for (uint32_t global : globalOf_) localOf_[global] = kUnset;
  }

 private:
  void NumberVertices(std::span<const uint32_t> faces) {
    globalOf_.clear();
    corners_.resize(faces.size() * 3);
    for (size_t c = 0; c < corners_.size(); ++c) {
      uint32_t global = indices_[faces[c / 3] * size_t{3} + c % 3];
      if (localOf_[global] == kUnset) {
        localOf_[global] = static_cast<uint32_t>(globalOf_.size());
        globalOf_.push_back(global);
      }
      corners_[c] = localOf_[global];
    }
    // Faces of each vertex, the still-unemitted ones first.
    const size_t count = globalOf_.size();
    firstFace_.assign(count + 1, 0);
    for (uint32_t v : corners_) ++firstFace_[v + 1];
    std::partial_sum(firstFace_.begin(), firstFace_.end(), firstFace_.begin());
    facesLeft_.assign(count, 0);
    faceList_.resize(corners_.size());
    for (size_t c = 0; c < corners_.size(); ++c) {
      uint32_t v = corners_[c];
      faceList_[firstFace_[v] + facesLeft_[v]++] = static_cast<uint32_t>(c / 3);
    }
    score_.resize(count);
    for (size_t v = 0; v < count; ++v) score_[v] = VertexScore(-1, facesLeft_[v]);
    cache_.clear();
  }

  uint32_t BestCachedFace() const {
    uint32_t best = kUnset;
    float bestScore = -1e30f;
    for (uint32_t v : cache_) {
      for (uint32_t i = 0; i < facesLeft_[v]; ++i) {
        uint32_t face = faceList_[firstFace_[v] + i];
        const uint32_t* c = &corners_[face * size_t{3}];
        float score = score_[c[0]] + score_[c[1]] + score_[c[2]];
        if (score > bestScore) {
          bestScore = score;
          best = face;
        }
      }
    }
    return best;
  }

  void Emit(uint32_t face) {
    const uint32_t* c = &corners_[face * size_t{3}];
    for (int k = 0; k < 3; ++k) {
      uint32_t* list = &faceList_[firstFace_[c[k]]];
      uint32_t* end = list + facesLeft_[c[k]];
      std::iter_swap(std::find(list, end, face), end - 1);
      --facesLeft_[c[k]];
    }
    // The face's vertices move to the front; what falls off the end leaves the cache.
    std::vector<uint32_t> next;
    for (int k = 0; k < 3; ++k) {
      if (std::find(next.begin(), next.end(), c[k]) == next.end()) next.push_back(c[k]);
    }
    for (uint32_t v : cache_) {
      if (std::find(c, c + 3, v) == c + 3) next.push_back(v);
    }
    for (size_t i = kCacheSize; i < next.size(); ++i) Rescore(next[i], -1);
    next.resize(std::min<size_t>(next.size(), kCacheSize));
    for (size_t i = 0; i < next.size(); ++i) Rescore(next[i], static_cast<int>(i));
    cache_ = std::move(next);
  }

  void Rescore(uint32_t v, int cachePosition) { score_[v] = VertexScore(cachePosition, facesLeft_[v]); }

  std::span<const uint32_t> indices_;
  std::vector<uint32_t> localOf_;   // global vertex -> local number, kUnset outside a run
  std::vector<uint32_t> globalOf_;  // local number -> global vertex
  std::vector<uint32_t> corners_;   // local vertex of each corner of the run's faces
  std::vector<uint32_t> firstFace_, facesLeft_, faceList_;
  std::vector<float> score_;
  std::vector<uint32_t> cache_;
};

bool IsValid(std::span<const uint32_t> indices, std::span<const uint32_t> attributes,
             uint32_t vertexCount) {
  return attributes.size() < kUnset && indices.size() == attributes.size() * 3 &&
         std::all_of(indices.begin(), indices.end(), [=](uint32_t i) { return i < vertexCount; });
}

// Numbers vertices by first use in the new face order and rewrites the indices.
void CompactVertices(std::span<const uint32_t> indices, uint32_t vertexCount,
                     MeshOptimization& result) {
  std::vector<uint32_t> newOf(vertexCount, kUnset);
  result.indices.reserve(indices.size());
  for (uint32_t face : result.faceRemap) {
    for (int k = 0; k < 3; ++k) {
      uint32_t old = indices[face * size_t{3} + k];
      if (newOf[old] == kUnset) {
        newOf[old] = static_cast<uint32_t>(result.vertexRemap.size());
        result.vertexRemap.push_back(old);
      }
      result.indices.push_back(newOf[old]);
    }
  }
}

AttributeRange RangeOf(const MeshOptimization& result, uint32_t faceStart, uint32_t faceEnd) {
  auto first = result.indices.begin() + faceStart * size_t{3};
  auto last = result.indices.begin() + faceEnd * size_t{3};
  auto [low, high] = std::minmax_element(first, last);
  return {result.attributes[faceStart], faceStart, faceEnd - faceStart, *low, *high - *low + 1};
}

}  // namespace

std::optional<MeshOptimization> OptimizeMesh(std::span<const uint32_t> indices,
                                             std::span<const uint32_t> attributes,
                                             uint32_t vertexCount) {
  if (!IsValid(indices, attributes, vertexCount)) return std::nullopt;
  MeshOptimization result;
  result.faceRemap.resize(attributes.size());
  std::iota(result.faceRemap.begin(), result.faceRemap.end(), 0u);
  std::stable_sort(result.faceRemap.begin(), result.faceRemap.end(),
                   [&](uint32_t a, uint32_t b) { return attributes[a] < attributes[b]; });
  CacheOrderer orderer(indices, vertexCount);
  std::vector<std::pair<uint32_t, uint32_t>> subsets;  // [first face, end face)
  const auto faceCount = static_cast<uint32_t>(result.faceRemap.size());
  for (uint32_t start = 0, end = 0; start < faceCount; start = end) {
    uint32_t attribute = attributes[result.faceRemap[start]];
    while (end < faceCount && attributes[result.faceRemap[end]] == attribute) ++end;
    orderer.Order(std::span<uint32_t>(result.faceRemap).subspan(start, end - start));
    result.attributes.insert(result.attributes.end(), end - start, attribute);
    subsets.emplace_back(start, end);
  }
  CompactVertices(indices, vertexCount, result);
  for (auto [start, end] : subsets) result.attributeTable.push_back(RangeOf(result, start, end));
  return result;
}

}  // namespace d3dxfile
