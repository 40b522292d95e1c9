// Alpha test, alpha blending factors and the colour write mask, on values worked out by
// hand: out = (src * srcFactor + dst * dstFactor + 127) / 255 per channel.
#include <gtest/gtest.h>

#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::Target;

TEST(AlphaTest, ReferenceComparison) {
  struct Case {
    DWORD func;
    uint32_t alpha;
    bool drawn;
  };
  const Case kCases[] = {{D3DCMP_GREATEREQUAL, 0x08, true}, {D3DCMP_GREATEREQUAL, 0x07, false},
                         {D3DCMP_LESS, 0x07, true},         {D3DCMP_EQUAL, 0x09, false},
                         {D3DCMP_NEVER, 0xff, false},       {D3DCMP_ALWAYS, 0x00, true}};
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(2, 2);
    raster::PipelineState state = raster_test::ColorState(target);
    state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
    state.renderStates[D3DRS_ALPHAREF] = 0x08;
    state.renderStates[D3DRS_ALPHAFUNC] = c.func;
    D3DCOLOR color = (c.alpha << 24) | 0xff00;
    Draw(renderer, state, target, Rect(0, 0, 2, 2, color, 0.25f), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.At(0, 0), c.drawn ? color : 0u) << "func " << c.func << " alpha " << c.alpha;
    // A rejected pixel leaves the depth buffer alone.
    EXPECT_EQ(target.depth[0] == 0xffffff00u, !c.drawn);
  }
}

TEST(Blending, FactorsOnKnownColours) {
  const uint32_t kSource = 0x80ff4000u, kDest = 0x400080ffu;
  struct Case {
    DWORD src, dst;
    uint32_t expected;
  };
  const Case kCases[] = {
      {D3DBLEND_ONE, D3DBLEND_ZERO, kSource},
      {D3DBLEND_ZERO, D3DBLEND_ONE, kDest},
      {D3DBLEND_ONE, D3DBLEND_ONE, 0xc0ffc0ffu},
      // a: (128*128 + 64*127 + 127) / 255 = 96; r: 255*128/255 = 128;
      // g: (64*128 + 128*127 + 127) / 255 = 96; b: (255*127 + 127) / 255 = 127.
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x6080607fu},
      {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, 0x504070bfu},
      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, 0x20002000u},
      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, 0x60ff2000u},
      {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, 0x60ff70ffu},
  };
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(2, 2, kDest);
    raster::PipelineState state = raster_test::ColorState(target);
    state.renderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
    state.renderStates[D3DRS_SRCBLEND] = c.src;
    state.renderStates[D3DRS_DESTBLEND] = c.dst;
    Draw(renderer, state, target, Rect(0, 0, 2, 2, kSource), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.At(1, 1), c.expected) << "src " << c.src << " dst " << c.dst;
  }
}

TEST(Blending, ColourWriteMaskKeepsMaskedChannels) {
  Target target(2, 2, 0x11223344u);
  raster::PipelineState state = raster_test::ColorState(target);
  state.renderStates[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA;
  raster::Renderer renderer;
  Draw(renderer, state, target, Rect(0, 0, 2, 2, 0xaabbccddu), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(target.At(0, 0), 0xaabb3344u);
}

TEST(Blending, SixteenBitTargetsStoreRoundedChannels) {
  Target target(2, 2);
  std::vector<uint16_t> color(4, 0);
  raster::Targets views = target.Views();
  views.color = {reinterpret_cast<uint8_t*>(color.data()), 2, 2, 4, D3DFMT_R5G6B5};
  raster::PipelineState state = raster_test::ColorState(target);
  std::vector<raster_test::ScreenVertex> v = Rect(0, 0, 2, 2, 0xff808080u);
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), uint32_t(v.size() * sizeof v[0]),
                              sizeof v[0], raster_test::kScreenFvf};
  raster::Renderer renderer;
  renderer.Draw(state, views, stream, {D3DPT_TRIANGLESTRIP, 2, 0, 0, 0});
  // 0x80 -> (128 * 31 + 127) / 255 = 16 and (128 * 63 + 127) / 255 = 32.
  EXPECT_EQ(color[3], uint16_t((16 << 11) | (32 << 5) | 16));
}

}  // namespace
