// A draw repeated with the same inputs is drawn, then kept, then copied back: every
// time its targets must hold what a renderer that never saw it draws over the same
// contents, whatever the targets held before, and a change of any input must show.
#include <gtest/gtest.h>

#include <functional>

#include "test_scene.h"

namespace {

using raster_test::ScreenVertex;
using raster_test::Target;

// A textured fan that covers part of the target, one texel transparent (the alpha test
// drops it), with a depth test that always passes: it ignores what the target holds.
class RepeatedDraws : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = 12;

  raster::PipelineState State(const Target& target) {
    raster::PipelineState state = raster_test::TextureState(target, &texture_.view);
    state.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
    state.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;
    state.renderStates[D3DRS_ALPHAREF] = 0x80;
    state.renderStates[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
    return state;
  }
  // Prior contents that differ from one repetition to the next, stencil bits included.
  static Target Filled(uint32_t round, uint32_t samples, D3DFORMAT depthFormat) {
    Target target(kSize, kSize, 0xff000000u | (0x10203u * (round + 1)), samples);
    target.depthFormat = depthFormat;
    for (size_t i = 0; i < target.depth.size(); ++i) target.depth[i] = 0x9e3779b9u * uint32_t(i + round + 1);
    return target;
  }
  void DrawWith(raster::Renderer& renderer, const raster::PipelineState& state, Target& target) {
    raster::VertexStream stream{reinterpret_cast<const uint8_t*>(vertices_.data()),
                                uint32_t(vertices_.size() * sizeof(ScreenVertex)), sizeof(ScreenVertex),
                                raster_test::kScreenFvf};
    raster::IndexStream index{reinterpret_cast<const uint8_t*>(indices_.data()), uint32_t(indices_.size()), false};
    raster::Targets views = target.Views();
    renderer.DrawIndexed(state, views, stream, index, {D3DPT_TRIANGLELIST, 2, 0, 0, 0});
  }
  // The same draw, `rounds` times on one renderer, each over other contents, against a
  // fresh renderer each time; `change` may alter the inputs before a round.
  template <class Change>
  void ExpectFreshPixels(uint32_t samples, D3DFORMAT depthFormat, uint32_t rounds, const Change& change) {
    raster::Renderer repeating;
    for (uint32_t round = 0; round < rounds; ++round) {
      Target target = Filled(round, samples, depthFormat), expected = target;
      raster::PipelineState state = State(target);
      change(round, &state);
      DrawWith(repeating, state, target);
      raster::Renderer fresh;
      DrawWith(fresh, state, expected);
      ASSERT_EQ(target.color, expected.color) << "round " << round;
      ASSERT_EQ(target.depth, expected.depth) << "round " << round;
      EXPECT_NE(target.color, Filled(round, samples, depthFormat).color) << "the draw shows";
    }
  }

  raster_test::Texture texture_{2, 2, {0xffff0000u, 0x0000ff00u, 0xff0000ffu, 0xffffffffu}};
  std::vector<ScreenVertex> vertices_ = {{1.3f, 0.7f, 0.25f, 1, 0xffffffffu, 0, 0},
                                         {10.6f, 2.2f, 0.5f, 1, 0xffffffffu, 1, 0},
                                         {2.1f, 11.4f, 0.75f, 1, 0xffffffffu, 0, 1},
                                         {11.2f, 10.1f, 0.1f, 1, 0xffffffffu, 1, 1}};
  std::vector<uint16_t> indices_ = {0, 1, 2, 2, 1, 3};
};

TEST_F(RepeatedDraws, GiveTheDrawnPixelsOverAnyContentsForEveryDepthFormatAndSampleCount) {
  for (D3DFORMAT depth : {D3DFMT_D24S8, D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D32}) {
    for (uint32_t samples : {1u, 4u}) {
      SCOPED_TRACE(testing::Message() << "depth format " << depth << ", " << samples << " samples");
      ExpectFreshPixels(samples, depth, 4, [](uint32_t, raster::PipelineState*) {});
    }
  }
}

TEST_F(RepeatedDraws, WithoutDepthWritesOrWithASampleMaskLeaveTheRestAsItWas) {
  ExpectFreshPixels(1, D3DFMT_D24S8, 3, [](uint32_t, raster::PipelineState* state) {
    state->renderStates[D3DRS_ZWRITEENABLE] = FALSE;
  });
  ExpectFreshPixels(4, D3DFMT_D24S8, 3, [](uint32_t, raster::PipelineState* state) {
    state->renderStates[D3DRS_MULTISAMPLEMASK] = 0x5;
  });
}

TEST_F(RepeatedDraws, FollowEveryChangeOfTheirInputs) {
  // Each change comes after the draw was seen twice (and kept), and is kept in turn.
  std::vector<std::function<void()>> changes = {
      [&] { texture_.texels[3] = 0xff00ffffu, ++texture_.view.version; },
      [&] { vertices_[3].x = 7.5f; },
      [&] { vertices_[1].color = 0xff808080u; },
      [&] { indices_[5] = 0; },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "change " << i);
    ExpectFreshPixels(1, D3DFMT_D24S8, 5, [&](uint32_t round, raster::PipelineState*) {
      if (round == 3) changes[i]();
    });
  }
  ExpectFreshPixels(1, D3DFMT_D24S8, 5, [](uint32_t round, raster::PipelineState* state) {
    if (round >= 3) state->stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG2;  // diffuse
  });
  ExpectFreshPixels(1, D3DFMT_D24S8, 5, [](uint32_t round, raster::PipelineState* state) {
    if (round >= 3) state->viewport.Width = 6;
  });
}

TEST_F(RepeatedDraws, ThatReadTheirTargetsAreDrawnEachTime) {
  ExpectFreshPixels(1, D3DFMT_D24S8, 4, [](uint32_t, raster::PipelineState* state) {
    state->renderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
    state->renderStates[D3DRS_SRCBLEND] = D3DBLEND_SRCCOLOR;
    state->renderStates[D3DRS_DESTBLEND] = D3DBLEND_DESTCOLOR;
  });
  ExpectFreshPixels(1, D3DFMT_D24S8, 4, [](uint32_t, raster::PipelineState* state) {
    state->renderStates[D3DRS_ZFUNC] = D3DCMP_LESS;
  });
  ExpectFreshPixels(1, D3DFMT_D24S8, 4, [](uint32_t, raster::PipelineState* state) {
    state->renderStates[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_RED;
  });
}

}  // namespace
