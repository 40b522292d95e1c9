// Texture sampling from the texel cache: addressing (wrap, mirror, clamp, border,
// mirror once), point and bilinear filtering with 8-bit weights, and mip selection
// from screen-space derivatives. Point sampling takes texel floor(u * width); linear
// filtering places texel centres at (i + 0.5) / width.
#pragma once

#include <stdint.h>

#include "pipeline.h"
#include "texture_cache.h"

namespace raster {

struct SamplerSetup {
  const TexelImage* image;
  uint32_t addressU, addressV;
  uint32_t border;
  uint32_t magFilter, minFilter, mipFilter;
  float lodBias;
  uint32_t firstLevel;  // D3DSAMP_MAXMIPLEVEL: the largest level that may be used
  bool needsLod;        // false when every pixel uses level 0 with one filter
};

SamplerSetup SetupSampler(const PipelineState& state, uint32_t stage, const TexelImage* image);

// `gradients` holds du/dx, dv/dx, du/dy, dv/dy; read only when `needsLod` is set.
uint32_t SampleTexture(const SamplerSetup& sampler, float u, float v, const float gradients[4]);

// ---- pieces shared with the fast span loops ----

// A texel coordinate times 256 as an integer, with NaN and huge values pinned so the
// conversion is always defined.
inline int32_t FixedCoordinate(float texels) {
  float scaled = texels * 256.0f;
  if (!(scaled > -1073741824.0f)) return -1073741824;
  if (scaled > 1073741824.0f) return 1073741824;
  int32_t whole = static_cast<int32_t>(scaled);
  return static_cast<float>(whole) > scaled ? whole - 1 : whole;  // floor
}

// Index of texel `i` on an axis of `size` texels, or -1 for the border colour.
inline int32_t AddressTexel(int32_t i, uint32_t size, uint32_t mode) {
  int32_t n = static_cast<int32_t>(size);
  switch (mode) {
    case D3DTADDRESS_CLAMP: return i < 0 ? 0 : (i >= n ? n - 1 : i);
    case D3DTADDRESS_BORDER: return i < 0 || i >= n ? -1 : i;
    case D3DTADDRESS_MIRROR: {
      int32_t m = i % (2 * n);
      if (m < 0) m += 2 * n;
      return m < n ? m : 2 * n - 1 - m;
    }
    case D3DTADDRESS_MIRRORONCE: {
      int32_t m = i < 0 ? -1 - i : i;
      return m >= n ? n - 1 : m;
    }
    default: {
      if ((size & (size - 1)) == 0) return i & (n - 1);
      int32_t m = i % n;
      return m < 0 ? m + n : m;
    }
  }
}

// Per-channel a + (b - a) * f / 256 for f in 0..256, two channels per multiply.
inline uint32_t LerpTexel(uint32_t a, uint32_t b, uint32_t f) {
  uint32_t g = 256 - f;
  uint32_t rb = (((a & 0x00ff00ffu) * g + (b & 0x00ff00ffu) * f + 0x00800080u) >> 8) & 0x00ff00ffu;
  uint32_t ag = ((((a >> 8) & 0x00ff00ffu) * g + ((b >> 8) & 0x00ff00ffu) * f + 0x00800080u) >> 8) &
                0x00ff00ffu;
  return rb | (ag << 8);
}

inline uint32_t FetchTexel(const TexelLevel& level, int32_t x, int32_t y, uint32_t border) {
  if (x < 0 || y < 0) return border;
  return level.texels[static_cast<size_t>(y) * level.width + static_cast<uint32_t>(x)];
}

inline uint32_t SamplePoint(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  int32_t x = AddressTexel(FixedCoordinate(u * level.width) >> 8, level.width, s.addressU);
  int32_t y = AddressTexel(FixedCoordinate(v * level.height) >> 8, level.height, s.addressV);
  return FetchTexel(level, x, y, s.border);
}

inline uint32_t SampleBilinear(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  int32_t fx = FixedCoordinate(u * level.width - 0.5f);
  int32_t fy = FixedCoordinate(v * level.height - 0.5f);
  int32_t x0 = AddressTexel(fx >> 8, level.width, s.addressU);
  int32_t x1 = AddressTexel((fx >> 8) + 1, level.width, s.addressU);
  int32_t y0 = AddressTexel(fy >> 8, level.height, s.addressV);
  int32_t y1 = AddressTexel((fy >> 8) + 1, level.height, s.addressV);
  uint32_t wx = static_cast<uint32_t>(fx & 255), wy = static_cast<uint32_t>(fy & 255);
  uint32_t top = LerpTexel(FetchTexel(level, x0, y0, s.border), FetchTexel(level, x1, y0, s.border), wx);
  uint32_t bottom =
      LerpTexel(FetchTexel(level, x0, y1, s.border), FetchTexel(level, x1, y1, s.border), wx);
  return LerpTexel(top, bottom, wy);
}

}  // namespace raster
