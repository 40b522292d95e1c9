// The globe strip: vertex and triangle counts of both tessellations, the poles, the
// winding seen from outside, and the sphere-map coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene_test_support.h"

namespace {

class GlobeGeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
    app_.device = test_.device;
    D3DXMatrixScaling(&app_.world, 1, 1, 1);
    D3DXMatrixScaling(&app_.view, 1, 1, 1);
  }
  void TearDown() override {
    if (app_.vertexBuffer) app_.vertexBuffer->Release();
    app_.device = nullptr;
  }
  std::vector<GlobeVertex> Vertices() {
    GlobeVertex* data = nullptr;
    app_.vertexBuffer->Lock(0, 0, reinterpret_cast<void**>(&data), D3DLOCK_READONLY);
    std::vector<GlobeVertex> vertices(data, data + app_.vertexCount);
    app_.vertexBuffer->Unlock();
    return vertices;
  }
  testsupport::TestDevice test_;
  GlobeApp app_;
};

D3DXVECTOR3 At(const GlobeVertex& v) { return {v.x, v.y, v.z}; }

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

TEST_F(GlobeGeometryTest, BothTessellationsHaveTheirCountsAndEveryRealTriangleFacesOutClockwise) {
  for (int high : {1, 0}) {
    app_.highTessellation = high;
    ASSERT_EQ(app_.CreateGlobeVertexBuffer(), S_OK);
    EXPECT_EQ(app_.vertexCount, high ? 930 : 110);
    app_.FillGlobeVertices();
    std::vector<GlobeVertex> v = Vertices();
    int bands = high ? 15 : 5, columns = high ? 31 : 11;
    for (int j = 0; j < columns; ++j) {
      EXPECT_NEAR(v[2 * j].y, 1.0f, 1e-6f) << "band 0's upper vertices are the north pole";
      EXPECT_NEAR(v[v.size() - 1 - 2 * j].y, -1.0f, 1e-6f) << "the last band's lower vertices, the south pole";
    }
    int clockwise = 0, flat = 0;
    for (int b = 0; b < bands; ++b)
      for (int j = 0; j + 1 < columns; ++j) {
        const GlobeVertex* base = &v[size_t(b) * columns * 2 + size_t(j) * 2];
        D3DXVECTOR3 upper = At(base[0]), lower = At(base[1]), next = At(base[2]);
        D3DXVECTOR3 normal = Cross({lower.x - upper.x, lower.y - upper.y, lower.z - upper.z},
                                   {next.x - upper.x, next.y - upper.y, next.z - upper.z});
        float outward = normal.x * (upper.x + lower.x + next.x) + normal.y * (upper.y + lower.y + next.y) +
                        normal.z * (upper.z + lower.z + next.z);
        if (std::fabs(outward) < 1e-6f) ++flat;
        else if (outward > 0) ++clockwise;
        else ADD_FAILURE() << "counter-clockwise from outside: band " << b << " column " << j;
      }
    EXPECT_EQ(flat, columns - 1) << "only the triangles on the north pole have no area";
    EXPECT_EQ(clockwise, (bands - 1) * (columns - 1));
    EXPECT_FLOAT_EQ(v[0].mapU, 1.0f);
    EXPECT_FLOAT_EQ(v[2 * (columns - 1)].mapU, 0.0f) << "the seam column repeats at u = 0";
    EXPECT_FLOAT_EQ(v[1].mapV, 1.0f / float(bands));
  }
}

// The fill follows the buffer it fills: switching highTessellation without a new buffer
// must neither write past the small buffer nor leave the large one half written.
TEST_F(GlobeGeometryTest, TheFillUsesTheTessellationOfTheBufferNotTheCurrentFlag) {
  app_.highTessellation = 0;
  ASSERT_EQ(app_.CreateGlobeVertexBuffer(), S_OK);
  app_.highTessellation = 1;
  app_.FillGlobeVertices();
  std::vector<GlobeVertex> coarse = Vertices();
  ASSERT_EQ(coarse.size(), 110u);
  EXPECT_NEAR(coarse.back().y, -1.0f, 1e-6f) << "the coarse strip still ends on the south pole";
  EXPECT_FLOAT_EQ(coarse[1].mapV, 1.0f / 5.0f);

  app_.highTessellation = 1;
  ASSERT_EQ(app_.CreateGlobeVertexBuffer(), S_OK);
  app_.highTessellation = 0;
  app_.FillGlobeVertices();
  std::vector<GlobeVertex> fine = Vertices();
  ASSERT_EQ(fine.size(), 930u);
  EXPECT_NEAR(fine.back().y, -1.0f, 1e-6f) << "every vertex of the fine strip is written";
  EXPECT_FLOAT_EQ(fine[1].mapV, 1.0f / 15.0f);
}

TEST_F(GlobeGeometryTest, SphereMapOfThePolesUnderKnownTransforms) {
  ASSERT_EQ(app_.CreateGlobeVertexBuffer(), S_OK);
  app_.FillGlobeVertices();
  GlobeVertex pole = Vertices()[0];
  EXPECT_FLOAT_EQ(pole.sphereU, 0.5f);
  EXPECT_NEAR(pole.sphereV, 0.5f - 1.37f / std::sqrt(2.0f), 1e-6f);
  // A world that turns the north pole to face the camera, (0, 0, -1).
  D3DXMATRIX turn{};
  turn._11 = 1;
  turn._23 = -1;
  turn._32 = 1;
  turn._44 = 1;
  app_.world = turn;
  app_.FillGlobeVertices();
  pole = Vertices()[0];
  EXPECT_NEAR(pole.sphereU, 0.5f, 1e-6f);
  EXPECT_NEAR(pole.sphereV, 0.5f, 1e-6f);
}

}  // namespace
