// Inputs a careless or hostile caller may hand over: indices outside the buffers, huge
// primitive counts, degenerate and non-finite triangles, unknown vertex formats. None
// may crash, hang or read outside the given memory; valid triangles still draw.
#include <gtest/gtest.h>

#include <limits>

#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::ScreenVertex;
using raster_test::Target;

constexpr D3DCOLOR kRed = 0xffff0000u;

TEST(HostileInput, IndicesOutsideTheVertexStreamSkipOnlyTheirTriangle) {
  Target target(8, 8);
  std::vector<ScreenVertex> v = {{0, 0, 0.5f, 1, kRed, 0, 0}, {4, 0, 0.5f, 1, kRed, 0, 0},
                                 {0, 4, 0.5f, 1, kRed, 0, 0}, {8, 8, 0.5f, 1, kRed, 0, 0}};
  std::vector<uint16_t> indices = {0, 1, 2, 1, 3, 999, 3, 2, 1};
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), uint32_t(v.size() * sizeof v[0]),
                              sizeof v[0], raster_test::kScreenFvf};
  raster::IndexStream index{reinterpret_cast<const uint8_t*>(indices.data()), uint32_t(indices.size()), false};
  raster::Renderer renderer;
  raster::Targets views = target.Views();
  raster::PipelineState state = raster_test::ColorState(target);
  // Four triangles asked for, three present, one names vertex 999: two are drawn.
  renderer.DrawIndexed(state, views, stream, index, {D3DPT_TRIANGLELIST, 4, 0, 0, 0});
  EXPECT_EQ(target.At(1, 1), kRed);  // triangle 0, 1, 2
  EXPECT_EQ(target.At(6, 5), kRed);  // triangle 3, 2, 1 reaches (8, 8)
  // A negative base vertex and a start past the end draw nothing.
  Target other(8, 8);
  raster::Targets otherViews = other.Views();
  renderer.DrawIndexed(state, otherViews, stream, index, {D3DPT_TRIANGLELIST, 1, 0, -3, 0});
  renderer.DrawIndexed(state, otherViews, stream, index, {D3DPT_TRIANGLESTRIP, 5, 0, 0, 100});
  EXPECT_EQ(other.color, std::vector<uint32_t>(64, 0));
}

TEST(HostileInput, HugePrimitiveCountsStopAtTheEndOfTheBuffers) {
  Target target(8, 8);
  raster::Renderer renderer;
  raster::PipelineState state = raster_test::ColorState(target);
  Draw(renderer, state, target, Rect(0, 0, 8, 8, kRed), D3DPT_TRIANGLESTRIP, 0xffffffffu);
  EXPECT_EQ(target.At(7, 7), kRed);
  Draw(renderer, state, target, Rect(0, 0, 8, 8, 0), D3DPT_TRIANGLEFAN, 0);
  EXPECT_EQ(target.At(7, 7), kRed);  // zero primitives: nothing
  raster::VertexStream empty{nullptr, 0, 28, raster_test::kScreenFvf};
  raster::Targets views = target.Views();
  renderer.Draw(state, views, empty, {D3DPT_TRIANGLELIST, 1000, 0, 0, 0});
  renderer.Draw(state, views, empty, {D3DPT_LINELIST, 1, 0, 0, 0});
}

TEST(HostileInput, DegenerateAndNonFiniteTrianglesDrawNothing) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  const std::vector<std::vector<ScreenVertex>> kTriangles = {
      {{1, 1, 0.5f, 1, kRed, 0, 0}, {5, 5, 0.5f, 1, kRed, 0, 0}, {3, 3, 0.5f, 1, kRed, 0, 0}},
      {{kNan, 1, 0.5f, 1, kRed, 0, 0}, {5, 5, 0.5f, 1, kRed, 0, 0}, {1, 7, 0.5f, 1, kRed, 0, 0}},
      {{1, 1, 0.5f, 1, kRed, 0, 0}, {kInf, 5, 0.5f, 1, kRed, 0, 0}, {1, 7, 0.5f, 1, kRed, 0, 0}},
      {{1, 1, kNan, 1, kRed, 0, 0}, {7, 1, 0.5f, 1, kRed, 0, 0}, {1, 7, 0.5f, 1, kRed, 0, 0}},
      {{-1e30f, 1, 0.5f, 1, kRed, 0, 0}, {7, 1, 0.5f, 1, kRed, 0, 0}, {1, 7, 0.5f, 1, kRed, 0, 0}},
  };
  raster::Renderer renderer;
  for (const auto& triangle : kTriangles) {
    Target target(8, 8);
    Draw(renderer, raster_test::ColorState(target), target, triangle, D3DPT_TRIANGLELIST, 1);
    EXPECT_EQ(target.color, std::vector<uint32_t>(64, 0));
  }
  // The same through the transform: NaN and infinite positions and a zero matrix.
  struct V {
    float x, y, z;
  };
  const std::vector<V> kWorld = {{kNan, 0, 1}, {1, kInf, 1}, {0, 1, -kInf}};
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(kWorld.data()), uint32_t(kWorld.size() * sizeof(V)),
                              sizeof(V), D3DFVF_XYZ};
  Target target(8, 8);
  raster::PipelineState state = raster_test::ColorState(target);
  raster::Targets views = target.Views();
  renderer.Draw(state, views, stream, {D3DPT_TRIANGLELIST, 1, 0, 0, 0});
  state.projection = {};
  renderer.Draw(state, views, stream, {D3DPT_TRIANGLELIST, 1, 0, 0, 0});
  EXPECT_EQ(target.color, std::vector<uint32_t>(64, 0));
}

TEST(HostileInput, UnknownVertexFormatsAreRefused) {
  EXPECT_EQ(raster::VertexSize(0), 0u);
  EXPECT_EQ(raster::VertexSize(D3DFVF_XYZW), 0u);
  EXPECT_EQ(raster::VertexSize(D3DFVF_XYZ | 0x900), 0u);  // nine texture sets
  EXPECT_EQ(raster::VertexSize(0x212), 40u);               // the globe's vertex
  EXPECT_EQ(raster::VertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), 28u);
  EXPECT_EQ(raster::VertexSize(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(0)), 28u);
  Target target(4, 4);
  std::vector<ScreenVertex> v = Rect(0, 0, 4, 4, kRed);
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), uint32_t(v.size() * sizeof v[0]),
                              sizeof v[0], D3DFVF_XYZW};
  raster::Renderer renderer;
  raster::Targets views = target.Views();
  renderer.Draw(raster_test::ColorState(target), views, stream, {D3DPT_TRIANGLESTRIP, 2, 0, 0, 0});
  EXPECT_EQ(target.At(0, 0), 0u);
}

TEST(HostileInput, LeanAndGeneralSpanLoopsAgree) {
  // Alpha test ALWAYS changes nothing but takes the general loop. Coordinates run well
  // past 0..1 both ways, so every addressing mode turns and mirrors.
  struct Case {
    uint32_t width, height;
    DWORD addressU, addressV;
  };
  const Case kCases[] = {
      {32, 32, D3DTADDRESS_MIRROR, D3DTADDRESS_WRAP}, {32, 32, D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR},
      {16, 8, D3DTADDRESS_MIRROR, D3DTADDRESS_MIRROR}, {8, 16, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP},
      {1, 2, D3DTADDRESS_MIRROR, D3DTADDRESS_MIRROR},  {2, 1, D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR},
      {12, 8, D3DTADDRESS_MIRROR, D3DTADDRESS_WRAP},   {16, 16, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR},
  };
  std::vector<ScreenVertex> fan = {{3, 2, 0.1f, 1.0f, 0, -1.3f, -0.6f}, {60, 9, 0.3f, 0.3f, 0, 2.2f, -1.1f},
                                   {55, 61, 0.6f, 0.2f, 0, 2.0f, 2.4f}, {1, 50, 0.9f, 0.6f, 0, -0.8f, 1.7f}};
  for (const Case& c : kCases) {
    std::vector<uint32_t> texels(c.width * c.height);
    for (uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xff000000u | (i * 2246822519u >> 8);
    raster_test::Texture texture(c.width, c.height, texels);
    std::vector<uint32_t> results[2];
    for (int general = 0; general < 2; ++general) {
      Target target(64, 64);
      raster::PipelineState state = raster_test::TextureState(target, &texture.view);
      state.samplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
      state.samplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
      state.samplerStates[0][D3DSAMP_ADDRESSU] = c.addressU;
      state.samplerStates[0][D3DSAMP_ADDRESSV] = c.addressV;
      state.renderStates[D3DRS_ALPHATESTENABLE] = general;
      raster::Renderer renderer;
      Draw(renderer, state, target, fan, D3DPT_TRIANGLEFAN, 2);
      results[general] = target.color;
    }
    EXPECT_EQ(results[0], results[1]) << c.width << "x" << c.height << " address " << c.addressU << "/"
                                      << c.addressV;
  }
}

}  // namespace
