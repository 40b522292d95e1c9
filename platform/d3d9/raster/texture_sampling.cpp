// Sampler state interpretation and the general sampling path with mip levels. The
// level of detail is log2 of the larger texel-space derivative length, plus the bias.
#include "texture_sampling.h"

#include <string.h>

#include <algorithm>

#include "fixed_math.h"

namespace raster {
namespace {

uint32_t Filter(const SamplerSetup& s, const TexelLevel& level, uint32_t filter, float u,
                float v) {
  return filter == D3DTEXF_POINT ? SamplePoint(level, s, u, v) : SampleBilinear(level, s, u, v);
}

float LevelOfDetail(const SamplerSetup& s, const float g[4]) {
  const TexelLevel& base = s.image->levels[0];
  float w = static_cast<float>(base.width), h = static_cast<float>(base.height);
  float x2 = g[0] * w * g[0] * w + g[1] * h * g[1] * h;
  float y2 = g[2] * w * g[2] * w + g[3] * h * g[3] * h;
  return 0.5f * Log2(std::max(x2, y2)) + s.lodBias;
}

}  // namespace

uint32_t LevelsSampled(const DWORD* samplerStates, uint32_t levelCount) {
  return samplerStates[D3DSAMP_MIPFILTER] == D3DTEXF_NONE ? std::min(levelCount, 1u) : levelCount;
}

SamplerSetup SetupSampler(const PipelineState& state, uint32_t stage, const TexelImage* image) {
  const DWORD* ss = state.samplerStates[stage];
  SamplerSetup s{};
  s.image = image;
  s.addressU = ss[D3DSAMP_ADDRESSU];
  s.addressV = ss[D3DSAMP_ADDRESSV];
  s.border = ss[D3DSAMP_BORDERCOLOR];
  // Anisotropic and the quad filters fall back to linear.
  auto filter = [](DWORD f) { return f == D3DTEXF_POINT ? D3DTEXF_POINT : D3DTEXF_LINEAR; };
  s.magFilter = filter(ss[D3DSAMP_MAGFILTER]);
  s.minFilter = filter(ss[D3DSAMP_MINFILTER]);
  DWORD mip = ss[D3DSAMP_MIPFILTER];
  s.mipFilter = mip == D3DTEXF_NONE ? D3DTEXF_NONE : filter(mip);
  memcpy(&s.lodBias, &ss[D3DSAMP_MIPMAPLODBIAS], sizeof s.lodBias);
  if (!(s.lodBias == s.lodBias)) s.lodBias = 0;
  uint32_t levels = image ? image->levelCount : 1;
  s.firstLevel = std::min<uint32_t>(ss[D3DSAMP_MAXMIPLEVEL], levels - 1);
  bool mipmapped = LevelsSampled(ss, levels) > 1;
  s.needsLod = mipmapped || s.magFilter != s.minFilter;
  if (s.mipFilter == D3DTEXF_NONE) s.firstLevel = 0;
  return s;
}

uint32_t SampleTexture(const SamplerSetup& s, float u, float v, const float gradients[4]) {
  const TexelImage& image = *s.image;
  if (!s.needsLod) return Filter(s, image.levels[0], s.magFilter, u, v);
  float lod = LevelOfDetail(s, gradients);
  if (lod <= 0.0f) return Filter(s, image.levels[s.firstLevel], s.magFilter, u, v);
  if (s.mipFilter == D3DTEXF_NONE) return Filter(s, image.levels[0], s.minFilter, u, v);
  uint32_t last = image.levelCount - 1;
  float level = std::min(lod + static_cast<float>(s.firstLevel), static_cast<float>(last));
  if (s.mipFilter == D3DTEXF_POINT) {
    uint32_t nearest = static_cast<uint32_t>(level + 0.5f);
    return Filter(s, image.levels[std::min(nearest, last)], s.minFilter, u, v);
  }
  uint32_t lower = static_cast<uint32_t>(level);
  uint32_t upper = std::min(lower + 1, last);
  uint32_t weight = static_cast<uint32_t>((level - static_cast<float>(lower)) * 256.0f);
  return LerpTexel(Filter(s, image.levels[lower], s.minFilter, u, v),
                   Filter(s, image.levels[upper], s.minFilter, u, v), weight);
}

}  // namespace raster
