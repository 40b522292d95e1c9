// Texture sampling from the texel cache: addressing (wrap, mirror, clamp, border,
// mirror once), point and bilinear filtering with 8-bit weights, and mip selection
// from screen-space derivatives. Point sampling takes texel floor(u * width); linear
// filtering places texel centres at (i + 0.5) / width.
#pragma once

#include <stdint.h>

#include <bit>

#include "pipeline.h"
#include "simd4.h"
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

// A texel coordinate times 256 as an integer, floored, with NaN and huge values pinned
// so the conversion is always defined. `F` is float or Float4.
template <typename F>
inline auto FixedCoordinate(F texels) {
  F scaled = Min(Max(texels * F(256.0f), F(-1073741824.0f)), F(1073741824.0f));
  auto whole = Truncate(scaled);
  return whole + GreaterMask(ToFloat(whole), scaled);  // one less where truncation rounded up
}

// The fixed-point texel position of coordinate `u` on an axis of `size` texels: point
// sampling takes texel floor(u * size), linear filtering centres texel i at i + 0.5.
template <bool kLinear, typename F>
inline auto TexelPosition(F u, uint32_t size) {
  F texels = u * F(static_cast<float>(size));
  if (kLinear) texels = texels - F(0.5f);
  return FixedCoordinate(texels);
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

inline uint32_t FetchTexel(const TexelLevel& level, int32_t x, int32_t y, uint32_t border) {
  if (x < 0 || y < 0) return border;
  return level.texels[static_cast<size_t>(y) * level.width + static_cast<uint32_t>(x)];
}

// Per-channel a + (b - a) * f / 256 for f in 0..256, two channels per multiply.
inline uint32_t LerpTexel(uint32_t a, uint32_t b, uint32_t f) {
  uint32_t g = 256 - f;
  uint32_t rb = (((a & 0x00ff00ffu) * g + (b & 0x00ff00ffu) * f + 0x00800080u) >> 8) & 0x00ff00ffu;
  uint32_t ag = ((((a >> 8) & 0x00ff00ffu) * g + ((b >> 8) & 0x00ff00ffu) * f + 0x00800080u) >> 8) &
                0x00ff00ffu;
  return rb | (ag << 8);
}

// LerpTexel across x on both rows (weight wx), then across y (weight wy), both 0..255.
inline uint32_t FilterTexels(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11, uint32_t wx,
                             uint32_t wy) {
#ifdef __SSE2__
  // 16-bit lanes: a * (256 - f) + b * f + 128 stays below 2^16, so the sums are exact.
  const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128);
  auto pair = [&](uint32_t top, uint32_t bottom) {
    return _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(top)), _mm_cvtsi32_si128(static_cast<int>(bottom))),
        zero);
  };
  __m128i fx = _mm_set1_epi16(static_cast<short>(wx)), gx = _mm_set1_epi16(static_cast<short>(256 - wx));
  __m128i rows = _mm_add_epi16(_mm_mullo_epi16(pair(t00, t10), gx), _mm_mullo_epi16(pair(t01, t11), fx));
  rows = _mm_srli_epi16(_mm_add_epi16(rows, half), 8);  // top row in the low half, bottom high
  __m128i wv = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(256 - wy)),
                                  _mm_set1_epi16(static_cast<short>(wy)));
  __m128i weighted = _mm_mullo_epi16(rows, wv);
  __m128i sum = _mm_add_epi16(_mm_add_epi16(weighted, _mm_srli_si128(weighted, 8)), half);
  sum = _mm_srli_epi16(sum, 8);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
#else
  return LerpTexel(LerpTexel(t00, t01, wx), LerpTexel(t10, t11, wx), wy);
#endif
}

// The texel at fixed-point position (fx, fy) from TexelPosition<false>.
inline uint32_t PointTexel(const TexelLevel& level, const SamplerSetup& s, int32_t fx, int32_t fy) {
  int32_t x = AddressTexel(fx >> 8, level.width, s.addressU);
  int32_t y = AddressTexel(fy >> 8, level.height, s.addressV);
  return FetchTexel(level, x, y, s.border);
}

// The filtered value at fixed-point position (fx, fy) from TexelPosition<true>.
inline uint32_t BilinearTexel(const TexelLevel& level, const SamplerSetup& s, int32_t fx, int32_t fy) {
  int32_t x0 = AddressTexel(fx >> 8, level.width, s.addressU);
  int32_t x1 = AddressTexel((fx >> 8) + 1, level.width, s.addressU);
  int32_t y0 = AddressTexel(fy >> 8, level.height, s.addressV);
  int32_t y1 = AddressTexel((fy >> 8) + 1, level.height, s.addressV);
  return FilterTexels(FetchTexel(level, x0, y0, s.border), FetchTexel(level, x1, y0, s.border),
                      FetchTexel(level, x0, y1, s.border), FetchTexel(level, x1, y1, s.border),
                      static_cast<uint32_t>(fx & 255), static_cast<uint32_t>(fy & 255));
}

// Four bilinear footprints under WRAP on both axes of a power-of-two level, where
// addressing is a mask and the border never shows: the texels BilinearTexel fetches,
// as offsets row * width and column, and the weights 0..255.
struct WrapFootprints {
  Int4 top, bottom, left, right, wx, wy;
};

inline WrapFootprints FindWrapFootprints(const TexelLevel& level, Int4 fx, Int4 fy) {
  Int4 columns(static_cast<int32_t>(level.width - 1)), rows(static_cast<int32_t>(level.height - 1));
  Int4 one(1), fraction(255);
  int widthShift = std::countr_zero(level.width);
  Int4 x = fx >> 8, y = fy >> 8;
  return {(y & rows) << widthShift, ((y + one) & rows) << widthShift, x & columns,
          (x + one) & columns,      fx & fraction,                     fy & fraction};
}

inline uint32_t SamplePoint(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  return PointTexel(level, s, TexelPosition<false>(u, level.width), TexelPosition<false>(v, level.height));
}

inline uint32_t SampleBilinear(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  return BilinearTexel(level, s, TexelPosition<true>(u, level.width), TexelPosition<true>(v, level.height));
}

}  // namespace raster
