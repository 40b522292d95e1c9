// The alpha test: a pixel whose 8-bit alpha fails the comparison with ALPHAREF is
// dropped before it touches depth or colour.
#pragma once

#include <stdint.h>

#include "compare.h"
#include "pipeline.h"

namespace raster {

struct AlphaTest {
  bool enabled;
  uint32_t func;
  uint32_t reference;
};

inline AlphaTest SetupAlphaTest(const PipelineState& state) {
  return {state.renderStates[D3DRS_ALPHATESTENABLE] != 0, state.renderStates[D3DRS_ALPHAFUNC],
          state.renderStates[D3DRS_ALPHAREF] & 0xff};
}

inline bool AlphaTestPasses(const AlphaTest& test, uint32_t argb) {
  return !test.enabled || ComparePasses(test.func, argb >> 24, test.reference);
}

}  // namespace raster
