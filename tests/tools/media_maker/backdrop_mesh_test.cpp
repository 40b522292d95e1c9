// The backdrop sphere as built, before it is written: closed, wound for an eye at its
// centre, with texture coordinates that follow the directions of its vertices.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "backdrop_mesh.h"

namespace {

using media::SphereMesh;
using media::Vec3;

constexpr int kRings = 8, kSegments = 12;

TEST(BackdropMeshTest, EveryTriangleIsClockwiseSeenFromTheCentre) {
  SphereMesh mesh = media::BuildInsideSphere(10.0f, kRings, kSegments);
  ASSERT_EQ(mesh.triangles.size(), size_t(3 * 2 * kSegments * (kRings - 1)));
  for (size_t t = 0; t < mesh.triangles.size(); t += 3) {
    Vec3 a = mesh.vertices[mesh.triangles[t]].position, b = mesh.vertices[mesh.triangles[t + 1]].position,
         c = mesh.vertices[mesh.triangles[t + 2]].position;
    // Left-handed: a triangle is clockwise on screen when (b - a) x (c - a) faces the eye.
    Vec3 normal = media::Cross(b - a, c - a);
    EXPECT_LT(media::Dot(normal, a + b + c), 0.0f) << "triangle " << t / 3;
    EXPECT_GT(media::Dot(normal, normal), 1e-6f) << "triangle " << t / 3 << " has no area";
  }
}

// Closed: every edge, taken by position, borders exactly two triangles, once in each
// direction. A gap at a pole or at the seam would leave edges with one triangle.
TEST(BackdropMeshTest, IsClosedAcrossTheSeamAndThePoles) {
  SphereMesh mesh = media::BuildInsideSphere(10.0f, kRings, kSegments);
  auto key = [&](uint32_t index) {
    Vec3 p = mesh.vertices[index].position;
    return std::make_tuple(p.x, p.y, p.z);
  };
  std::map<std::pair<decltype(key(0)), decltype(key(0))>, int> directed;
  for (size_t t = 0; t < mesh.triangles.size(); t += 3)
    for (int e = 0; e < 3; ++e)
      ++directed[{key(mesh.triangles[t + e]), key(mesh.triangles[t + (e + 1) % 3])}];
  for (const auto& [edge, count] : directed) {
    EXPECT_EQ(count, 1);
    EXPECT_EQ(directed.count({edge.second, edge.first}), 1u) << "an edge without a neighbour";
  }
}

TEST(BackdropMeshTest, VerticesLieOnTheSphereWithCoordinatesOfTheirDirection) {
  SphereMesh mesh = media::BuildInsideSphere(10.0f, kRings, kSegments);
  for (const SphereMesh::Vertex& vertex : mesh.vertices) {
    Vec3 p = vertex.position;
    EXPECT_NEAR(std::sqrt(media::Dot(p, p)), 10.0f, 1e-4f);
    EXPECT_NEAR(std::acos(p.y / 10.0f) / media::kPi, vertex.v, 1e-5f);
    if (vertex.v > 0.0f && vertex.v < 1.0f && vertex.u > 0.0f && vertex.u < 1.0f) {
      Vec3 expected = media::DirectionAt(vertex.u, vertex.v) * 10.0f;
      EXPECT_NEAR(p.x, expected.x, 1e-4f);
      EXPECT_NEAR(p.z, expected.z, 1e-4f);
    }
  }
}

TEST(BackdropMeshTest, WritesATextXFileWithOneOpaqueTexturedMaterial) {
  std::string text = media::BackdropXFile(media::BuildInsideSphere(10.0f, 2, 3), "sky.jpg");
  EXPECT_EQ(text.rfind("xof 0302txt 0032\n", 0), 0u);
  for (const char* part : {"MeshNormals {", "MeshTextureCoords {", "MeshMaterialList {",
                           "1.000000;1.000000;1.000000;1.000000;;", "TextureFilename { \"sky.jpg\"; }"})
    EXPECT_NE(text.find(part), std::string::npos) << part;
}

}  // namespace
