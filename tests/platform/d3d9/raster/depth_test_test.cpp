// The depth test: every compare function on two overlapping rectangles, depth writes,
// stencil bits kept, and clears limited to rectangles and the viewport.
#include <gtest/gtest.h>

#include <string>

#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::ScreenVertex;
using raster_test::Target;

constexpr D3DCOLOR kFirst = 0xffff0000u, kSecond = 0xff00ff00u;

TEST(DepthTest, EveryCompareFunctionOnOverlappingRectangles) {
  // The first rectangle stores depth 0.5; the second, at z, is drawn with the function.
  struct Case {
    DWORD func;
    float z;
    bool secondWins;
  };
  const Case kCases[] = {
      {D3DCMP_NEVER, 0.25f, false},        {D3DCMP_LESS, 0.25f, true},
      {D3DCMP_LESS, 0.5f, false},          {D3DCMP_EQUAL, 0.5f, true},
      {D3DCMP_EQUAL, 0.75f, false},        {D3DCMP_LESSEQUAL, 0.5f, true},
      {D3DCMP_LESSEQUAL, 0.75f, false},    {D3DCMP_GREATER, 0.75f, true},
      {D3DCMP_GREATER, 0.5f, false},       {D3DCMP_NOTEQUAL, 0.25f, true},
      {D3DCMP_NOTEQUAL, 0.5f, false},      {D3DCMP_GREATEREQUAL, 0.5f, true},
      {D3DCMP_GREATEREQUAL, 0.25f, false}, {D3DCMP_ALWAYS, 0.75f, true},
  };
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(8, 8);
    raster::PipelineState state = raster_test::ColorState(target);
    state.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
    Draw(renderer, state, target, Rect(0, 0, 6, 6, kFirst, 0.5f), D3DPT_TRIANGLESTRIP, 2);
    state.renderStates[D3DRS_ZFUNC] = c.func;
    Draw(renderer, state, target, Rect(2, 2, 8, 8, kSecond, c.z), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.At(3, 3), c.secondWins ? kSecond : kFirst) << "func " << c.func << " z " << c.z;
    EXPECT_EQ(target.At(1, 1), kFirst);
    uint32_t stored = target.depth[3 * 8 + 3] >> 8;
    uint32_t expected = c.secondWins ? uint32_t(c.z * 16777215.0 + 0.5) : uint32_t(0.5 * 16777215.0 + 0.5);
    EXPECT_EQ(stored, expected) << "func " << c.func;
  }
}

// The textured loop tests four pixels at a time; the general loop (taken here because
// of an alpha test that passes everything) one by one. A slanted and a level triangle
// over a flat rectangle give nearer, equal and farther pixels for every function; both loops
// must leave the same colours and the same depth words, stencil bits included, on 32-bit
// and 16-bit depth buffers (with and without stencil, four at a time or one by one), with
// one sample per pixel or several. The general loop also blends (ONE, ZERO), so that its
// colours go through the blending writer rather than straight into the target, and with
// the alpha test its multisampled depths wait for the shading instead of being stored as
// tested. Multisampled targets are drawn once with every sample and once with samples
// 0 and 2 alone (D3DRS_MULTISAMPLEMASK).
TEST(DepthTest, TexturedLoopMatchesTheGeneralLoopForEveryFunction) {
  std::vector<uint32_t> texels(16 * 16);
  for (uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xff000000u | (i * 2654435761u >> 8);
  raster_test::Texture texture(16, 16, texels);
  std::vector<ScreenVertex> triangles = {{0, 0, 0.3f, 1, 0, -0.7f, 0.2f},  // slanted
                                         {37, 3, 0.7f, 1, 0, 1.6f, -0.4f},
                                         {5, 29, 0.5f, 1, 0, 0.3f, 2.1f},
                                         {20, 31, 0.5f, 1, 0, 0.0f, 0.0f},  // level with the rectangle
                                         {39, 12, 0.5f, 1, 0, 1.0f, 0.5f},
                                         {39, 31, 0.5f, 1, 0, 1.0f, 1.0f}};
  struct Format {
    D3DFORMAT format;
    uint32_t fill;          // every depth word's first value: far, with stencil bits set
    uint32_t stencilMask;   // the stencil bits of one word
  };
  const Format kFormats[] = {{D3DFMT_D24S8, 0xffffff5au, 0xffu},
                             {D3DFMT_D16, 0xffffffffu, 0},
                             {D3DFMT_D15S1, 0xffffffffu, 1},
                             {D3DFMT_D32, 0xffffffffu, 0}};
  struct Samples {
    uint32_t count;
    DWORD mask;
  };
  for (Samples samples : {Samples{1, 0xffffffffu}, Samples{4, 0xffffffffu}, Samples{8, 0xffffffffu}, Samples{4, 5}}) {
    for (const Format& f : kFormats) {
      for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func) {
        Target results[2] = {Target(40, 32, 0, samples.count), Target(40, 32, 0, samples.count)};
        for (int general = 0; general < 2; ++general) {
          Target& target = results[general];
          target.depthFormat = f.format;
          for (uint32_t& d : target.depth) d = f.fill;
          raster::PipelineState state = raster_test::TextureState(target, &texture.view);
          state.samplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
          state.samplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
          state.renderStates[D3DRS_ALPHATESTENABLE] = general;
          state.renderStates[D3DRS_ALPHABLENDENABLE] = general;
          state.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
          state.renderStates[D3DRS_MULTISAMPLEMASK] = samples.mask;
          raster::Renderer renderer;
          Draw(renderer, state, target, Rect(2, 2, 38, 30, 0, 0.5f, 0, 0, 1, 1), D3DPT_TRIANGLESTRIP, 2);
          state.renderStates[D3DRS_ZFUNC] = func;
          Draw(renderer, state, target, triangles, D3DPT_TRIANGLELIST, 2);
        }
        std::string what = "samples " + std::to_string(samples.count) + " mask " + std::to_string(samples.mask) +
                           " format " + std::to_string(f.format) + " func " + std::to_string(func);
        EXPECT_EQ(results[0].color, results[1].color) << what;
        EXPECT_EQ(results[0].depth, results[1].depth) << what;
        if (samples.mask == 5) {  // samples 1 and 3 kept their first colour
          for (uint32_t plane : {1u, 3u}) EXPECT_EQ(results[0].SampleAt(6, 6, plane), 0u) << what;
        }
        // The rectangle's depth went in and the stencil bits stayed.
        uint32_t word = results[0].depth[3 * 40 + 3];
        if (results[0].DepthBytes() == 2) word &= 0xffff;  // the 16-bit word of pixel (6, 6)
        EXPECT_EQ(word & f.stencilMask, f.fill & f.stencilMask) << what;
        EXPECT_NE(word | f.stencilMask, f.fill | f.stencilMask) << what;
      }
    }
  }
}

TEST(DepthTest, WritesKeepStencilAndCanBeSwitchedOff) {
  Target target(4, 4);
  for (uint32_t& d : target.depth) d = 0xffffff5au;  // stencil 0x5a
  raster::PipelineState state = raster_test::ColorState(target);
  raster::Renderer renderer;
  Draw(renderer, state, target, Rect(0, 0, 2, 2, kFirst, 0.0f), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(target.depth[0], 0x0000005au);
  state.renderStates[D3DRS_ZWRITEENABLE] = FALSE;
  Draw(renderer, state, target, Rect(2, 2, 4, 4, kFirst, 0.0f), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(target.depth[2 * 4 + 2], 0xffffff5au);
  EXPECT_EQ(target.At(2, 2), kFirst);
}

TEST(DepthTest, SixteenBitDepthQuantises) {
  Target target(2, 2);
  std::vector<uint16_t> depth(4, 0xffff);
  raster::Targets views = target.Views();
  views.depth = {reinterpret_cast<uint8_t*>(depth.data()), 2, 2, 4, D3DFMT_D16};
  raster::PipelineState state = raster_test::ColorState(target);
  std::vector<raster_test::ScreenVertex> v = Rect(0, 0, 2, 2, kFirst, 0.25f);
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), uint32_t(v.size() * sizeof v[0]),
                              sizeof v[0], raster_test::kScreenFvf};
  raster::Renderer renderer;
  renderer.Draw(state, views, stream, {D3DPT_TRIANGLESTRIP, 2, 0, 0, 0});
  EXPECT_EQ(depth[0], 16384u);  // 0.25 * 65535 + 0.5
}

TEST(Clear, LimitedToRectanglesInsideTheViewport) {
  Target target(8, 8);
  for (uint32_t& d : target.depth) d = 0x000000a5u;
  raster::Renderer renderer;
  D3DVIEWPORT9 viewport{2, 2, 4, 4, 0, 1};
  D3DRECT rects[2] = {{0, 0, 3, 3}, {5, 5, 20, 20}};
  raster::Targets views = target.Views();
  renderer.Clear(views, viewport, 2, rects, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff123456u, 1.0f, 7);
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      bool inside = (x == 2 && y == 2) || (x == 5 && y == 5);
      EXPECT_EQ(target.At(x, y), inside ? 0xff123456u : 0u) << x << "," << y;
      EXPECT_EQ(target.depth[y * 8 + x], inside ? 0xffffffa5u : 0xa5u) << x << "," << y;
    }
  }
  renderer.Clear(views, target.Viewport(), 0, nullptr, D3DCLEAR_STENCIL, 0, 0.0f, 0x17);
  EXPECT_EQ(target.depth[0], 0x00000017u);
  EXPECT_EQ(target.depth[2 * 8 + 2], 0xffffff17u);
}

}  // namespace
