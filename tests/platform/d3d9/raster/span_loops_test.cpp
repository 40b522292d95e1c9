// Which span loop a draw takes: a texture on stage 0 selected as it is, without alpha
// test or blending, takes the lean loop, one build per filter and target; a state that
// neither it nor the stage loop serves the general loop. The pixel comparisons of the
// loops rely on this.
#include <gtest/gtest.h>

#include "pixel_pipeline.h"
#include "test_scene.h"
#include "texture_cache.h"

namespace {

using raster_test::Target;

class SpanLoops : public ::testing::Test {
 protected:
  raster::SpanFunction LoopFor(const raster::PipelineState& state, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    raster::Targets views = target_.Views();
    views.color.format = format;
    const raster::TexelImage* images[raster::kMaxStages] = {cache_.Get(texture_.view, texture_.view.levelCount)};
    raster::DrawPipeline pipeline{};
    EXPECT_TRUE(raster::BuildDrawPipeline(state, views, images, &pipeline));
    return pipeline.shade;
  }
  raster::PipelineState Textured(DWORD filter) {
    raster::PipelineState state = raster_test::TextureState(target_, &texture_.view);
    state.samplerStates[0][D3DSAMP_MAGFILTER] = filter;
    state.samplerStates[0][D3DSAMP_MINFILTER] = filter;
    return state;
  }

  Target target_{8, 8};
  raster_test::Texture texture_{4, 4, std::vector<uint32_t>(16, 0xff336699u)};
  raster::TextureCache cache_;
};

TEST_F(SpanLoops, TexturedOpaqueStatesTakeALeanLoopOfTheirOwn) {
  raster::PipelineState alphaTested = Textured(D3DTEXF_LINEAR);
  alphaTested.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
  raster::PipelineState modulated = Textured(D3DTEXF_LINEAR);
  modulated.stageStates[0][D3DTSS_COLOROP] = D3DTOP_MODULATE2X;
  modulated.stageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  raster::SpanFunction general = LoopFor(alphaTested);
  EXPECT_EQ(LoopFor(modulated), general);
  const raster::SpanFunction lean[] = {LoopFor(Textured(D3DTEXF_LINEAR)), LoopFor(Textured(D3DTEXF_POINT)),
                                       LoopFor(Textured(D3DTEXF_LINEAR), D3DFMT_R5G6B5)};
  for (raster::SpanFunction loop : lean) EXPECT_NE(loop, general);
  EXPECT_NE(lean[0], lean[1]) << "point and linear filtering";
  EXPECT_NE(lean[0], lean[2]) << "a 32-bit target written in place, a 16-bit one through the converter";
}

}  // namespace
