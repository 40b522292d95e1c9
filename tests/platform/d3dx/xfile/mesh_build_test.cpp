// Face adjacency: shared edges found through equal positions as well as equal indices,
// only between faces running along an edge in opposite directions, symmetric, and
// complete for a closed cube loaded from a file.
#include <gtest/gtest.h>

#include "x_test_writer.h"
#include "xfile/x_file.h"

namespace {

using d3dxfile::BuildAdjacency;
using d3dxfile::Float3;
using d3dxfile::kNoNeighbour;
constexpr uint32_t N = kNoNeighbour;

TEST(Adjacency, TwoTrianglesOfAQuadShareTheirDiagonal) {
  std::vector<Float3> positions = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  std::vector<uint32_t> indices = {0, 1, 2, 0, 2, 3};
  EXPECT_EQ(BuildAdjacency(indices, positions), (std::vector<uint32_t>{N, N, 1, 0, N, N}));
}

TEST(Adjacency, SplitVerticesAtOnePositionStillJoinFaces) {
  // The second triangle uses copies (4, 5) of vertices 0 and 2.
  std::vector<Float3> positions = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {1, 1, 0}};
  std::vector<uint32_t> indices = {0, 1, 2, 4, 5, 3};
  EXPECT_EQ(BuildAdjacency(indices, positions), (std::vector<uint32_t>{N, N, 1, 0, N, N}));
}

TEST(Adjacency, FacesRunningAlongAnEdgeTheSameWayAreNotNeighbours) {
  // Both triangles run 2 -> 0: one of them is wound the wrong way round.
  std::vector<Float3> positions = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  std::vector<uint32_t> indices = {0, 1, 2, 0, 3, 2};
  EXPECT_EQ(BuildAdjacency(indices, positions), std::vector<uint32_t>(6, N));
}

TEST(Adjacency, AnEdgeOfThreeFacesPairsOnceAndSymmetrically) {
  std::vector<Float3> positions = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}};
  // Faces 1 and 2 both run 1 -> 0 along face 0's edge 0 -> 1.
  std::vector<uint32_t> indices = {0, 1, 2, 1, 0, 3, 1, 0, 4};
  auto adjacency = BuildAdjacency(indices, positions);
  EXPECT_EQ(adjacency[0], 1u);
  EXPECT_EQ(adjacency[3], 0u);
  EXPECT_EQ(adjacency[6], N);
}

TEST(Adjacency, ClosedCubeWithSplitVerticesHasThreeNeighboursPerFace) {
  d3dxfile::XMesh mesh;
  ASSERT_EQ(d3dxfile::LoadXFile(xtest::ToBytes(xtest::Cube(xtest::kCubeFaceNormals)), mesh),
            d3dxfile::XFileResult::Ok);
  ASSERT_EQ(mesh.vertices.size(), 24u);
  std::vector<Float3> positions;
  for (const auto& v : mesh.vertices) positions.push_back(v.position);
  auto adjacency = BuildAdjacency(mesh.indices, positions);
  ASSERT_EQ(adjacency.size(), 36u);
  for (uint32_t slot = 0; slot < 36; ++slot) {
    uint32_t face = slot / 3, neighbour = adjacency[slot];
    ASSERT_NE(neighbour, N) << slot;
    EXPECT_NE(neighbour, face);
    int back = 0;
    for (int k = 0; k < 3; ++k) back += adjacency[3 * neighbour + k] == face;
    EXPECT_EQ(back, 1) << slot;
  }
  EXPECT_EQ(adjacency[2], 1u);  // the two halves of the first quad
  EXPECT_EQ(adjacency[3], 0u);
}

}  // namespace
