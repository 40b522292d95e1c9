// Sampling: point and linear filtering at known texel positions, the address modes
// beyond 0..1, and D3DRS_WRAP0 at a texture seam.
#include <gtest/gtest.h>

#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::Target;
using raster_test::Texture;

const uint32_t kA = 0xff000010u, kB = 0xff002000u, kC = 0xff300000u, kD = 0xff404040u;

Texture Row() { return Texture(4, 1, {kA, kB, kC, kD}); }

TEST(TextureSampling, PointSamplingTakesFloorOfUTimesWidth) {
  Texture texture(4, 4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  Target target(4, 4);
  raster::Renderer renderer;
  // Pixel (x, y) samples u = x / 4, v = y / 4: texel (x, y).
  Draw(renderer, raster_test::TextureState(target, &texture.view), target, Rect(0, 0, 4, 4, 0),
       D3DPT_TRIANGLESTRIP, 2);
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(target.At(x, y), y * 4 + x);
  }
}

TEST(TextureSampling, LinearFilteringHitsTexelCentresAndHalfways) {
  Texture texture = Row();
  raster::Renderer renderer;
  // Shifted by half a pixel, pixel x samples u = (x + 0.5) / 4: the centre of texel x.
  Target centres(4, 1);
  raster::PipelineState state = raster_test::TextureState(centres, &texture.view);
  state.samplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
  state.samplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
  state.samplerStates[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
  Draw(renderer, state, centres, Rect(-0.5f, -0.5f, 3.5f, 1.5f, 0, 0.5f, 0, 0, 1, 1), D3DPT_TRIANGLESTRIP, 2);
  EXPECT_EQ(centres.color, (std::vector<uint32_t>{kA, kB, kC, kD}));
  // Unshifted, pixel x samples halfway between texels x - 1 and x (clamped at 0).
  Target halves(4, 1);
  Draw(renderer, state, halves, Rect(0, -0.5f, 4, 1.5f, 0), D3DPT_TRIANGLESTRIP, 2);
  // (a + b + 1) / 2 per channel: 0x10 and 0 give 8, 0x20 and 0 give 0x10, ...
  EXPECT_EQ(halves.color, (std::vector<uint32_t>{kA, 0xff001008u, 0xff181000u, 0xff382020u}));
}

TEST(TextureSampling, AddressModesBeyondZeroToOne) {
  // Twelve pixels with u from -1 to 2: pixel x samples u = x / 4 - 1, texel x - 4.
  const uint32_t kBorder = 0xff0000ffu;
  struct Case {
    DWORD mode;
    std::vector<uint32_t> expected;
  };
  const Case kCases[] = {
      {D3DTADDRESS_WRAP, {kA, kB, kC, kD, kA, kB, kC, kD, kA, kB, kC, kD}},
      {D3DTADDRESS_MIRROR, {kD, kC, kB, kA, kA, kB, kC, kD, kD, kC, kB, kA}},
      {D3DTADDRESS_CLAMP, {kA, kA, kA, kA, kA, kB, kC, kD, kD, kD, kD, kD}},
      {D3DTADDRESS_BORDER, {kBorder, kBorder, kBorder, kBorder, kA, kB, kC, kD, kBorder, kBorder, kBorder, kBorder}},
      {D3DTADDRESS_MIRRORONCE, {kD, kC, kB, kA, kA, kB, kC, kD, kD, kD, kD, kD}},
  };
  Texture texture = Row();
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(12, 1);
    raster::PipelineState state = raster_test::TextureState(target, &texture.view);
    state.samplerStates[0][D3DSAMP_ADDRESSU] = c.mode;
    state.samplerStates[0][D3DSAMP_BORDERCOLOR] = kBorder;
    Draw(renderer, state, target, Rect(0, -0.5f, 12, 1.5f, 0, 0.5f, -1, 0, 2, 1), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.color, c.expected) << "mode " << c.mode;
  }
}

TEST(TextureSampling, Wrap0TakesTheShortWayAcrossTheSeam) {
  // u runs from 0.875 at x = 0 to 0.125 at x = 8. Wrapped, it goes through 1.0 (texels
  // 3 then 0); unwrapped, u * 4 = 3.5 - 0.375 x goes back through texels 3, 2, 1, 0.
  Texture texture = Row();
  raster::Renderer renderer;
  for (DWORD wrap : {DWORD(0), DWORD(D3DWRAPCOORD_0)}) {
    Target target(8, 1);
    raster::PipelineState state = raster_test::TextureState(target, &texture.view);
    state.renderStates[D3DRS_WRAP0] = wrap;
    Draw(renderer, state, target, Rect(0, -0.5f, 8, 1.5f, 0, 0.5f, 0.875f, 0, 0.125f, 1),
         D3DPT_TRIANGLESTRIP, 2);
    std::vector<uint32_t> expected = wrap ? std::vector<uint32_t>{kD, kD, kD, kD, kA, kA, kA, kA}
                                          : std::vector<uint32_t>{kD, kD, kC, kC, kC, kB, kB, kA};
    EXPECT_EQ(target.color, expected) << "wrap " << wrap;
  }
}

TEST(TextureSampling, MipFilterPicksTheLevelOfTheFootprint) {
  // Level 0 is 8x8 red, level 1 4x4 green, level 2 2x2 blue. A 2x2-pixel quad showing
  // the whole texture minifies by 4: level 2.
  std::vector<uint32_t> texels(64, 0xffff0000u);
  texels.resize(64 + 16, 0xff00ff00u);
  texels.resize(64 + 16 + 4, 0xff0000ffu);
  raster::TextureLevelView levels[3] = {{reinterpret_cast<const uint8_t*>(texels.data()), 8, 8, 32},
                                        {reinterpret_cast<const uint8_t*>(texels.data() + 64), 4, 4, 16},
                                        {reinterpret_cast<const uint8_t*>(texels.data() + 80), 2, 2, 8}};
  raster::TextureView view{7, 1, D3DFMT_A8R8G8B8, 3, levels};
  struct Case {
    float size;
    DWORD mip;
    uint32_t expected;
  };
  const Case kCases[] = {{2, D3DTEXF_POINT, 0xff0000ffu}, {4, D3DTEXF_POINT, 0xff00ff00u},
                         {8, D3DTEXF_POINT, 0xffff0000u}, {2, D3DTEXF_NONE, 0xffff0000u},
                         {16, D3DTEXF_LINEAR, 0xffff0000u}};
  raster::Renderer renderer;
  for (const Case& c : kCases) {
    Target target(16, 16);
    raster::PipelineState state = raster_test::TextureState(target, &view);
    state.samplerStates[0][D3DSAMP_MIPFILTER] = c.mip;
    Draw(renderer, state, target, Rect(0, 0, c.size, c.size, 0), D3DPT_TRIANGLESTRIP, 2);
    EXPECT_EQ(target.At(0, 0), c.expected) << "size " << c.size << " mip " << c.mip;
  }
}

}  // namespace
