// OptimizeMesh: every triangle survives with its winding, faces are grouped by
// attribute with a matching attribute table, unused vertices go, vertices are
// numbered by first use, and the cache order beats a shuffled one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <random>

#include "xfile/mesh_optimize.h"

namespace {

using d3dxfile::OptimizeMesh;
using Triangle = std::array<uint32_t, 3>;

// A grid of (n x n) quads, two triangles each, faces shuffled with a fixed seed.
std::vector<uint32_t> ShuffledGrid(uint32_t n, uint32_t seed) {
  std::vector<Triangle> faces;
  for (uint32_t y = 0; y < n; ++y) {
    for (uint32_t x = 0; x < n; ++x) {
      uint32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
      faces.push_back({a, c, b});
      faces.push_back({b, c, d});
    }
  }
  std::shuffle(faces.begin(), faces.end(), std::mt19937(seed));
  std::vector<uint32_t> indices;
  for (const Triangle& f : faces) indices.insert(indices.end(), f.begin(), f.end());
  return indices;
}

// Cache misses per triangle of a 16-entry FIFO cache.
double MissesPerTriangle(const std::vector<uint32_t>& indices) {
  std::deque<uint32_t> cache;
  size_t misses = 0;
  for (uint32_t v : indices) {
    if (std::find(cache.begin(), cache.end(), v) != cache.end()) continue;
    ++misses;
    cache.push_back(v);
    if (cache.size() > 16) cache.pop_front();
  }
  return double(misses) / double(indices.size() / 3);
}

TEST(OptimizeMesh, EveryTriangleSurvivesWithItsCornerOrder) {
  auto indices = ShuffledGrid(12, 1);
  const size_t faces = indices.size() / 3;
  std::vector<uint32_t> attributes(faces);
  for (size_t f = 0; f < faces; ++f) attributes[f] = (f * 7) % 3;
  auto result = OptimizeMesh(indices, attributes, 13 * 13);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->faceRemap.size(), faces);
  std::vector<Triangle> before, after;
  for (size_t f = 0; f < faces; ++f) {
    before.push_back({indices[3 * f], indices[3 * f + 1], indices[3 * f + 2]});
    Triangle moved;
    for (int k = 0; k < 3; ++k) moved[k] = result->vertexRemap[result->indices[3 * f + k]];
    after.push_back(moved);
    uint32_t old = result->faceRemap[f];
    EXPECT_EQ(moved, (Triangle{indices[3 * old], indices[3 * old + 1], indices[3 * old + 2]}));
    EXPECT_EQ(result->attributes[f], attributes[old]);
  }
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(before, after);
}

TEST(OptimizeMesh, FacesGroupByAttributeAndTheTableDescribesEachGroup) {
  // Attributes 5, 0, 5, 2: the table has ids 0, 2, 5 in that order.
  std::vector<uint32_t> indices = {0, 1, 2, 3, 4, 5, 1, 2, 6, 4, 5, 7};
  std::vector<uint32_t> attributes = {5, 0, 5, 2};
  auto result = OptimizeMesh(indices, attributes, 9);  // vertex 8 is unused
  ASSERT_TRUE(result);
  EXPECT_EQ(result->attributes, (std::vector<uint32_t>{0, 2, 5, 5}));
  ASSERT_EQ(result->attributeTable.size(), 3u);
  const uint32_t expected[3][5] = {{0, 0, 1, 0, 3}, {2, 1, 1, 1, 3}, {5, 2, 2, 4, 4}};
  for (int i = 0; i < 3; ++i) {
    const auto& r = result->attributeTable[i];
    EXPECT_EQ((std::array<uint32_t, 5>{r.attribId, r.faceStart, r.faceCount, r.vertexStart,
                                      r.vertexCount}),
              (std::array<uint32_t, 5>{expected[i][0], expected[i][1], expected[i][2],
                                      expected[i][3], expected[i][4]}))
        << "subset " << i;
  }
  EXPECT_EQ(result->vertexRemap.size(), 8u);  // the unused vertex is gone
}

TEST(OptimizeMesh, VerticesAreNumberedByFirstUse) {
  auto indices = ShuffledGrid(6, 2);
  auto result = OptimizeMesh(indices, std::vector<uint32_t>(indices.size() / 3, 0), 49);
  ASSERT_TRUE(result);
  uint32_t next = 0;
  for (uint32_t v : result->indices) {
    ASSERT_LE(v, next);
    if (v == next) ++next;
  }
  EXPECT_EQ(next, 49u);
}

TEST(OptimizeMesh, CacheOrderNeedsFewerVertexFetchesThanAShuffle) {
  auto indices = ShuffledGrid(30, 3);
  auto result = OptimizeMesh(indices, std::vector<uint32_t>(indices.size() / 3, 0), 31 * 31);
  ASSERT_TRUE(result);
  double shuffled = MissesPerTriangle(indices), optimized = MissesPerTriangle(result->indices);
  EXPECT_GT(shuffled, 2.0);
  EXPECT_LT(optimized, 0.9);
}

TEST(OptimizeMesh, InconsistentInputIsRefused) {
  std::vector<uint32_t> indices = {0, 1, 2};
  EXPECT_FALSE(OptimizeMesh(indices, std::vector<uint32_t>{0}, 2));
  EXPECT_FALSE(OptimizeMesh(indices, std::vector<uint32_t>{0, 0}, 3));
  EXPECT_TRUE(OptimizeMesh(indices, std::vector<uint32_t>{0}, 3));
}

}  // namespace
