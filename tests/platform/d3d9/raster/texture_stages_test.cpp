// Texture stage operations on known colours, and bump environment mapping with a known
// matrix and luminance scale.
#include <gtest/gtest.h>

#include <string.h>

#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::Target;
using raster_test::Texture;

DWORD FloatBits(float f) {
  DWORD d;
  memcpy(&d, &f, 4);
  return d;
}

// Stage 0 combines a known texel with the diffuse colour; results by hand with
// products rounded as (a * b + 127) / 255.
TEST(TextureStages, ColourOperationsOnKnownArguments) {
  const uint32_t kTexel = 0x80c04020u, kDiffuse = 0x40608010u;
  struct Case {
    DWORD op;
    uint32_t expectedRgb;
  };
  const Case kCases[] = {
      {D3DTOP_SELECTARG1, 0xc04020},
      {D3DTOP_SELECTARG2, 0x608010},
      {D3DTOP_MODULATE, 0x482002},            // c0*60/255 = 72, 40*80 = 32, 20*10 = 2
      {D3DTOP_MODULATE2X, 0x904004},
      {D3DTOP_MODULATE4X, 0xff8008},
      {D3DTOP_ADD, 0xffc030},
      {D3DTOP_ADDSIGNED, 0xa04000},           // c0+60-80 = a0, 40+80-80, 20+10-80 < 0
      {D3DTOP_SUBTRACT, 0x600010},
      {D3DTOP_BLENDDIFFUSEALPHA, 0x787014},   // weight 0x40: (t*64 + d*191 + 127) / 255
      {D3DTOP_BLENDTEXTUREALPHA, 0x906018},   // weight 0x80
      {D3DTOP_BLENDCURRENTALPHA, 0x787014},   // CURRENT is the diffuse colour on stage 0
  };
  Texture texture(1, 1, {kTexel});
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(2, 2);
    raster::PipelineState state = raster_test::TextureState(target, &texture.view);
    state.stageStates[0][D3DTSS_COLOROP] = c.op;
    state.stageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    Draw(renderer, state, target, Rect(0, 0, 2, 2, kDiffuse), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.At(0, 0) & 0xffffff, c.expectedRgb) << "op " << c.op;
    EXPECT_EQ(target.At(0, 0) >> 24, 0x80u) << "op " << c.op;  // alpha: SELECTARG1 texture
  }
}

TEST(TextureStages, ArgumentModifiersAndAlphaOperation) {
  Texture texture(1, 1, {0x80c04020u});
  Target target(2, 2);
  raster::PipelineState state = raster_test::TextureState(target, &texture.view);
  state.stageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE | D3DTA_COMPLEMENT;
  state.stageStates[0][D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
  state.stageStates[0][D3DTSS_ALPHAARG2] = D3DTA_TFACTOR;
  state.renderStates[D3DRS_TEXTUREFACTOR] = 0x80000000u;
  // Stage 1 replicates CURRENT's alpha into the colour.
  state.stageStates[1][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.stageStates[1][D3DTSS_COLORARG1] = D3DTA_CURRENT | D3DTA_ALPHAREPLICATE;
  raster::Renderer renderer;
  Draw(renderer, state, target, Rect(0, 0, 2, 2, 0xffffffffu), D3DPT_TRIANGLESTRIP, 2);
  // Alpha 0x80 * 0x80 / 255 = 0x40, replicated; stage 1's alpha op is disabled.
  EXPECT_EQ(target.At(1, 1), 0x40404040u);
  state.stageStates[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
  Draw(renderer, state, target, Rect(0, 0, 2, 2, 0xffffffffu), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(target.At(1, 1), 0x403fbfdfu);  // complemented texel colour
}

// Stage 0 bump-maps with a V8U8 texel (du = 1, dv = 0.5); the matrix turns that into a
// shift of a quarter in u and a quarter in v, so stage 1 reads texel (1, 1) of a 4x4
// texture instead of (0, 0).
TEST(TextureStages, BumpEnvironmentMapShiftsTheNextStage) {
  uint16_t bump = uint16_t((64 << 8) | 127);  // v = 64 (about 0.5), u = 127 (1.0)
  Texture bumpMap(1, 1, {bump}, 1, D3DFMT_V8U8, 2);
  std::vector<uint32_t> texels(16);
  for (uint32_t i = 0; i < 16; ++i) texels[i] = 0xff000000u | i;
  Texture environment(4, 4, texels, 2);
  Target target(4, 4);
  raster::PipelineState state = raster_test::TextureState(target, &bumpMap.view);
  state.textures[1] = &environment.view;
  state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_BUMPENVMAP;
  state.stageStates[0][D3DTSS_BUMPENVMAT00] = FloatBits(0.25f);
  state.stageStates[0][D3DTSS_BUMPENVMAT01] = FloatBits(0.0f);
  state.stageStates[0][D3DTSS_BUMPENVMAT10] = FloatBits(0.0f);
  state.stageStates[0][D3DTSS_BUMPENVMAT11] = FloatBits(0.5f);
  state.stageStates[1][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.stageStates[1][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  state.stageStates[1][D3DTSS_TEXCOORDINDEX] = 0;
  raster::Renderer renderer;
  // Pixel (x, y) has (u, v) = (x / 4, y / 4); the shift adds one texel in u and
  // 0.5 * 64 / 127 * 4 = 1.008 texels in v.
  Draw(renderer, state, target, Rect(0, 0, 4, 4, 0xffffffffu), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(target.At(0, 0) & 0xff, 5u);   // texel (1, 1)
  EXPECT_EQ(target.At(2, 1) & 0xff, 11u);  // texel (3, 2)
  EXPECT_EQ(target.At(3, 3) & 0xff, 0u);   // texel (4, 4) wraps to (0, 0)
}

TEST(TextureStages, BumpLuminanceScalesTheNextStage) {
  uint32_t bump = 0x00ff0000u;  // luminance 255, du = dv = 0
  Texture bumpMap(1, 1, {bump}, 1, D3DFMT_X8L8V8U8, 4);
  Texture environment(1, 1, {0xffc86432u}, 2);
  Target target(2, 2);
  raster::PipelineState state = raster_test::TextureState(target, &bumpMap.view);
  state.textures[1] = &environment.view;
  state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_BUMPENVMAPLUMINANCE;
  state.stageStates[0][D3DTSS_BUMPENVLSCALE] = FloatBits(0.5f);
  state.stageStates[0][D3DTSS_BUMPENVLOFFSET] = FloatBits(0.0f);
  state.stageStates[1][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.stageStates[1][D3DTSS_TEXCOORDINDEX] = 0;
  raster::Renderer renderer;
  Draw(renderer, state, target, Rect(0, 0, 2, 2, 0xffffffffu), D3DPT_TRIANGLESTRIP, 2);
  // Luminance 0.5 -> 128: c8 * 128 / 255 = 100, 64 -> 50, 32 -> 25.
  EXPECT_EQ(target.At(0, 0) & 0xffffff, 0x643219u);
}

}  // namespace
