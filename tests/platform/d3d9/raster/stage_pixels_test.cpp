// The stage loop against the general loop: the same triangles drawn with each state the
// stage loop serves, once as it is and once with an alpha test that passes everything
// (which only the general loop runs), must leave the same colours and depth words in
// both 32-bit targets, over 32-bit and 16-bit depth buffers, with depth writes on and
// off. States it does not serve must keep
// the general loop.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "pixel_pipeline.h"
#include "test_scene.h"
#include "texture_cache.h"

namespace {

using raster_test::Target;

struct TwoSetVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u0, v0, u1, v1;
};
constexpr DWORD kTwoSetFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2;

// Overlapping triangles with perspective (rhw 0.4 to 2.2), coordinates beyond 0..1,
// colours and alphas varying across them or alpha 255 or 0 throughout, and depths in
// front of and behind the stored ones. Spans start and end at every column modulo 4.
const std::vector<TwoSetVertex>& Triangles() {
  static const std::vector<TwoSetVertex> kTriangles = {
      {0.5f, 1.0f, 0.2f, 1.0f, 0xff2080f0u, -0.6f, -0.3f, 0.1f, 0.9f},
      {36.0f, 3.5f, 0.8f, 0.4f, 0x40ff1020u, 1.7f, 0.2f, 1.2f, -0.5f},
      {6.0f, 28.0f, 0.5f, 2.2f, 0x9910ff80u, 0.4f, 2.3f, -0.8f, 0.3f},
      {3.0f, 26.0f, 0.1f, 1.5f, 0x00804020u, 1.3f, -0.2f, 0.6f, 1.8f},
      {33.0f, 27.5f, 0.9f, 0.7f, 0xffffffffu, -0.4f, 1.1f, 2.0f, 0.0f},
      {21.0f, 0.0f, 0.45f, 1.0f, 0xc0408020u, 0.5f, -1.2f, -0.3f, 0.7f},
      // Alpha 255 and 0 throughout, where a texture weighted out need not be sampled.
      {2.0f, 12.0f, 0.3f, 1.2f, 0xff30c060u, 0.2f, 0.9f, 1.4f, -0.2f},
      {20.0f, 13.0f, 0.3f, 0.8f, 0xff9030a0u, 1.1f, 0.1f, 0.3f, 0.6f},
      {9.0f, 27.0f, 0.3f, 1.0f, 0xff20f010u, -0.3f, 1.6f, 0.8f, 1.1f},
      {18.0f, 14.0f, 0.35f, 1.0f, 0x0030c060u, 0.7f, 0.4f, -0.6f, 0.2f},
      {36.0f, 15.0f, 0.35f, 1.6f, 0x009030a0u, 1.9f, 0.3f, 0.9f, 1.3f},
      {30.0f, 28.5f, 0.35f, 0.9f, 0x0020f010u, 0.1f, 1.2f, 0.4f, -0.9f},
  };
  return kTriangles;
}

std::vector<uint32_t> Noise(uint32_t count, uint32_t seed) {
  std::vector<uint32_t> out(count);
  for (uint32_t i = 0; i < count; ++i) out[i] = (i + seed) * 2654435761u ^ (i * 40503u << 7);
  return out;
}

enum TextureChoice { kNone = -1, kSquare, kWide, kOdd };

struct StageCase {
  DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
  int texture;  // TextureChoice
  DWORD coordinateSet;
};

struct Case {
  const char* name;
  StageCase stages[2];
  uint32_t stageCount;
  DWORD sourceBlend, destinationBlend;  // ONE, ZERO: no blending
  DWORD filter, address;
};

constexpr DWORD kTex = D3DTA_TEXTURE, kDif = D3DTA_DIFFUSE, kCur = D3DTA_CURRENT, kFac = D3DTA_TFACTOR;

const Case kServed[] = {
    {"day and night by the diffuse alpha",
     {{D3DTOP_MODULATE, kTex, kDif, D3DTOP_SELECTARG1, kDif, kDif, kSquare, 0},
      {D3DTOP_BLENDDIFFUSEALPHA, kCur, kTex, D3DTOP_SELECTARG1, kCur, kCur, kWide, 0}},
     2, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"clouds over what is drawn",
     {{D3DTOP_MODULATE, kTex, kDif, D3DTOP_SELECTARG1, kTex, kTex, kSquare, 0}},
     1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"a glow added by its alpha",
     {{D3DTOP_SELECTARG1, kDif, kDif, D3DTOP_SELECTARG1, kDif, kDif, kNone, 0}},
     1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"no stage: the diffuse colour over what is drawn", {}, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
     D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"factor, then a texture of the second set added",
     {{D3DTOP_SELECTARG2, kDif, kFac, D3DTOP_MODULATE, kFac, kDif, kNone, 0},
      {D3DTOP_ADD, kTex, kCur, D3DTOP_ADD, kCur, kTex, kWide, 1}},
     2, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTEXF_LINEAR, D3DTADDRESS_MIRROR},
    {"blends by the texture's, the factor's and the current alpha",
     {{D3DTOP_BLENDTEXTUREALPHA, kTex, kFac, D3DTOP_BLENDFACTORALPHA, kTex, kDif, kSquare, 1},
      {D3DTOP_BLENDCURRENTALPHA, kDif, kTex, D3DTOP_BLENDCURRENTALPHA, kTex, kFac, kOdd, 0}},
     2, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"the current alpha of an uninterpolated diffuse colour",
     {{D3DTOP_BLENDCURRENTALPHA, kTex, kFac, D3DTOP_SELECTARG1, kTex, kTex, kSquare, 0}},
     1, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"point sampling of a texture that is no power of two, clamped",
     {{D3DTOP_MODULATE, kTex, kDif, D3DTOP_MODULATE, kTex, kDif, kOdd, 0},
      {D3DTOP_MODULATE, kCur, kTex, D3DTOP_DISABLE, kCur, kCur, kSquare, 1}},
     2, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_POINT, D3DTADDRESS_CLAMP},
    {"linear filtering of a texture that is no power of two, mirrored",
     {{D3DTOP_SELECTARG1, kTex, kDif, D3DTOP_SELECTARG2, kTex, kDif, kOdd, 1}},
     1, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_LINEAR, D3DTADDRESS_MIRROR},
    {"a texture argument without a texture reads white",
     {{D3DTOP_MODULATE, kTex, kDif, D3DTOP_MODULATE, kTex, kDif, kNone, 0}},
     1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"night picture first, day second, the day's alpha",
     {{D3DTOP_SELECTARG1, kTex, kDif, D3DTOP_SELECTARG1, kTex, kDif, kWide, 0},
      {D3DTOP_BLENDDIFFUSEALPHA, kTex, kCur, D3DTOP_SELECTARG2, kDif, kCur, kSquare, 1}},
     2, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_LINEAR, D3DTADDRESS_WRAP},
    {"a first stage whose colour the second does not read",
     {{D3DTOP_MODULATE, kTex, kDif, D3DTOP_SELECTARG1, kDif, kDif, kSquare, 0},
      {D3DTOP_BLENDDIFFUSEALPHA, kFac, kTex, D3DTOP_MODULATE, kCur, kTex, kOdd, 0}},
     2, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_POINT, D3DTADDRESS_WRAP},
};

class StagePixels : public ::testing::Test {
 protected:
  StagePixels()
      : textures_{{8, 8, Noise(64, 1), 1}, {16, 4, Noise(64, 2), 2}, {6, 5, Noise(30, 3), 3}} {}

  raster::PipelineState StateFor(const Case& c) {
    raster::PipelineState state = raster::DefaultPipelineState(target_.Viewport());
    state.renderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    state.renderStates[D3DRS_TEXTUREFACTOR] = 0x80c03070u;
    if (c.sourceBlend != D3DBLEND_ONE || c.destinationBlend != D3DBLEND_ZERO) {
      state.renderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
      state.renderStates[D3DRS_SRCBLEND] = c.sourceBlend;
      state.renderStates[D3DRS_DESTBLEND] = c.destinationBlend;
    }
    for (uint32_t i = 0; i < 3; ++i) state.stageStates[i][D3DTSS_COLOROP] = D3DTOP_DISABLE;
    for (uint32_t i = 0; i < c.stageCount; ++i) {
      const StageCase& s = c.stages[i];
      DWORD* ts = state.stageStates[i];
      ts[D3DTSS_COLOROP] = s.colorOp;
      ts[D3DTSS_COLORARG1] = s.colorArg1;
      ts[D3DTSS_COLORARG2] = s.colorArg2;
      ts[D3DTSS_ALPHAOP] = s.alphaOp;
      ts[D3DTSS_ALPHAARG1] = s.alphaArg1;
      ts[D3DTSS_ALPHAARG2] = s.alphaArg2;
      ts[D3DTSS_TEXCOORDINDEX] = s.coordinateSet;
      // No operation served reads argument 0; left CURRENT, it would make stage 0 ask
      // for the diffuse colour in every case.
      ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = D3DTA_TFACTOR;
      state.textures[i] = s.texture == kNone ? nullptr : &textures_[s.texture].view;
      DWORD* ss = state.samplerStates[i];
      ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = c.filter;
      ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = c.address;
    }
    return state;
  }

  // A D16 depth buffer lies in the first half of the target's depth words.
  raster::Targets Views(D3DFORMAT format, D3DFORMAT depthFormat = D3DFMT_D24S8) {
    raster::Targets views = target_.Views();
    views.color.format = format;
    views.depth.format = depthFormat;
    views.depth.pitch = target_.width * (depthFormat == D3DFMT_D16 ? 2 : 4);
    return views;
  }

  // The span loop BuildDrawPipeline picks.
  raster::SpanFunction LoopFor(const raster::PipelineState& state, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    const raster::TexelImage* images[raster::kMaxStages] = {};
    for (uint32_t i = 0; i < raster::kMaxStages; ++i) {
      if (state.textures[i]) images[i] = cache_.Get(*state.textures[i], 1);
    }
    raster::DrawPipeline pipeline{};
    EXPECT_TRUE(raster::BuildDrawPipeline(state, Views(format), images, &pipeline));
    return pipeline.shade;
  }

  raster::SpanFunction GeneralLoop() {
    raster::PipelineState state = StateFor(kServed[0]);
    state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
    return LoopFor(state);
  }

  // The colour and depth words the triangles leave over a patterned target.
  std::pair<std::vector<uint32_t>, std::vector<uint32_t>> Draw(const raster::PipelineState& state, D3DFORMAT format,
                                                                D3DFORMAT depthFormat,
                                                                const std::vector<TwoSetVertex>& v = Triangles()) {
    target_.color = Noise(static_cast<uint32_t>(target_.color.size()), 7);
    target_.depth = Noise(static_cast<uint32_t>(target_.depth.size()), 9);
    raster::VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), uint32_t(v.size() * sizeof v[0]),
                                sizeof v[0], kTwoSetFvf};
    raster::Renderer renderer;
    renderer.Draw(state, Views(format, depthFormat), stream, {D3DPT_TRIANGLELIST, uint32_t(v.size() / 3), 0, 0, 0});
    return {target_.color, target_.depth};
  }

  Target target_{37, 29};
  raster_test::Texture textures_[3];
  raster::TextureCache cache_;
};

TEST_F(StagePixels, EachServedStateGivesTheGeneralLoopsPixels) {
  raster::SpanFunction general = GeneralLoop();
  for (const Case& c : kServed) {
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
      for (D3DFORMAT depthFormat : {D3DFMT_D24S8, D3DFMT_D16}) {
        for (DWORD depthWrites : {TRUE, FALSE}) {
          std::string label = std::string(c.name) + (format == D3DFMT_X8R8G8B8 ? ", X8R8G8B8" : ", A8R8G8B8") +
                              (depthFormat == D3DFMT_D16 ? ", D16" : ", D24S8") +
                              (depthWrites ? "" : ", no depth writes");
          raster::PipelineState state = StateFor(c);
          state.renderStates[D3DRS_ZWRITEENABLE] = depthWrites;
          EXPECT_NE(LoopFor(state, format), general) << label;
          auto fast = Draw(state, format, depthFormat);
          state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
          state.renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
          auto reference = Draw(state, format, depthFormat);
          EXPECT_EQ(fast.first, reference.first) << label;
          EXPECT_EQ(fast.second, reference.second) << label;
          EXPECT_NE(fast.first, Noise(static_cast<uint32_t>(fast.first.size()), 7)) << label << ": nothing drawn";
        }
      }
    }
  }
}

// Coordinates far beyond the texture, not numbers at all, or divided by a w close to 0
// or huge: the stage loop pins them as the general loop does, and draws the same.
TEST_F(StagePixels, ExtremeValuesGiveTheGeneralLoopsPixels) {
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const std::vector<TwoSetVertex> kExtreme = {
      {1.0f, 1.0f, 0.2f, 1e-20f, 0xff2080f0u, 1e30f, -1e30f, kNaN, 0.5f},
      {35.0f, 2.0f, 0.3f, 1e20f, 0x00ff1020u, -3e9f, 2e9f, 1e15f, -1e15f},
      {4.0f, 27.0f, 0.4f, 0.5f, 0x80ffffffu, kNaN, kNaN, 0.25f, 4e9f},
      {20.0f, 5.0f, 0.1f, 3e-38f, 0xffffffffu, 65536.5f, -65536.5f, 0.5f, 0.5f},
      {36.0f, 28.0f, 0.1f, 2.0f, 0x00000000u, 0.0f, 1.0f, kNaN, kNaN},
      {2.0f, 20.0f, 0.1f, 1e10f, 0x7f7f7f7fu, 1e-30f, 7.5f, -2.5f, 1e38f},
  };
  for (const Case& c : kServed) {
    raster::PipelineState state = StateFor(c);
    auto fast = Draw(state, D3DFMT_A8R8G8B8, D3DFMT_D24S8, kExtreme);
    state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
    state.renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    auto reference = Draw(state, D3DFMT_A8R8G8B8, D3DFMT_D24S8, kExtreme);
    EXPECT_EQ(fast.first, reference.first) << c.name;
    EXPECT_EQ(fast.second, reference.second) << c.name;
    EXPECT_NE(fast.first, Noise(static_cast<uint32_t>(fast.first.size()), 7)) << c.name << ": nothing drawn";
  }
}

// A cloud cover: texels of alpha 0 over most of the picture, some opaque, the rest in
// between, so that many four-pixel groups are clear throughout and others only in part.
TEST_F(StagePixels, ClearTexelsOfABlendedTextureGiveTheGeneralLoopsPixels) {
  std::vector<uint32_t> cover = Noise(16 * 16, 5);
  for (uint32_t i = 0; i < cover.size(); ++i) {
    uint32_t x = i % 16, y = i / 16;
    uint32_t alpha = (x / 4 + y / 4) % 3 == 0 ? cover[i] >> 24 : (x / 4 + y / 4) % 3 == 1 ? 0 : 255;
    cover[i] = (cover[i] & 0x00ffffffu) | alpha << 24;
  }
  raster_test::Texture clouds(16, 16, cover, 4);
  for (DWORD alphaOp : {DWORD{D3DTOP_SELECTARG1}, DWORD{D3DTOP_SELECTARG2}}) {
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
      for (DWORD destination : {DWORD{D3DBLEND_INVSRCALPHA}, DWORD{D3DBLEND_ONE}}) {
        raster::PipelineState state = StateFor(kServed[1]);
        state.textures[0] = &clouds.view;
        state.stageStates[0][D3DTSS_ALPHAOP] = alphaOp;
        state.stageStates[0][D3DTSS_ALPHAARG2] = D3DTA_TEXTURE;
        state.renderStates[D3DRS_DESTBLEND] = destination;
        auto fast = Draw(state, format, D3DFMT_D24S8);
        state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
        state.renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
        auto reference = Draw(state, format, D3DFMT_D24S8);
        std::string label = std::to_string(alphaOp) + " " + std::to_string(format) + " " + std::to_string(destination);
        EXPECT_EQ(fast.first, reference.first) << label;
        EXPECT_EQ(fast.second, reference.second) << label;
        EXPECT_NE(fast.first, Noise(static_cast<uint32_t>(fast.first.size()), 7)) << label << ": nothing drawn";
      }
    }
  }
}

TEST_F(StagePixels, OtherStatesKeepTheGeneralLoop) {
  raster::SpanFunction general = GeneralLoop();
  const Case& globe = kServed[0];
  const Case& clouds = kServed[1];
  struct Refused {
    const char* why;
    const Case& base;
    void (*change)(raster::PipelineState&);
    D3DFORMAT format;
  };
  const Refused kRefused[] = {
      {"an operation outside the set", globe,
       [](raster::PipelineState& s) { s.stageStates[1][D3DTSS_COLOROP] = D3DTOP_MODULATE2X; }, D3DFMT_A8R8G8B8},
      {"an argument modifier", globe,
       [](raster::PipelineState& s) { s.stageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE | D3DTA_COMPLEMENT; },
       D3DFMT_A8R8G8B8},
      {"the specular colour as an argument", globe,
       [](raster::PipelineState& s) { s.stageStates[1][D3DTSS_ALPHAARG1] = D3DTA_SPECULAR; }, D3DFMT_A8R8G8B8},
      {"a third stage", globe,
       [](raster::PipelineState& s) {
         s.stageStates[2][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
         s.stageStates[2][D3DTSS_COLORARG1] = D3DTA_CURRENT;
       },
       D3DFMT_A8R8G8B8},
      {"specular added", globe, [](raster::PipelineState& s) { s.renderStates[D3DRS_SPECULARENABLE] = TRUE; },
       D3DFMT_A8R8G8B8},
      {"a minifying filter unlike the magnifying one", globe,
       [](raster::PipelineState& s) { s.samplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_POINT; }, D3DFMT_A8R8G8B8},
      {"another blend factor", clouds,
       [](raster::PipelineState& s) { s.renderStates[D3DRS_DESTBLEND] = D3DBLEND_DESTCOLOR; }, D3DFMT_A8R8G8B8},
      {"another blend operation", clouds,
       [](raster::PipelineState& s) { s.renderStates[D3DRS_BLENDOP] = D3DBLENDOP_REVSUBTRACT; }, D3DFMT_A8R8G8B8},
      {"a colour write mask", globe,
       [](raster::PipelineState& s) { s.renderStates[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_RED; },
       D3DFMT_A8R8G8B8},
      {"a 16-bit target", globe, [](raster::PipelineState&) {}, D3DFMT_R5G6B5},
  };
  for (const Refused& r : kRefused) {
    raster::PipelineState state = StateFor(r.base);
    r.change(state);
    EXPECT_EQ(LoopFor(state, r.format), general) << r.why;
  }
}

}  // namespace
