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
inline auto TexelPosition(F u, F size) {
  F texels = u * size;
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
  return level.texels[static_cast<size_t>(y) * level.pitch + static_cast<uint32_t>(x)];
}

// Per-channel a + (b - a) * f / 256 for f in 0..256, two channels per multiply.
inline uint32_t LerpTexel(uint32_t a, uint32_t b, uint32_t f) {
  uint32_t g = 256 - f;
  uint32_t rb = (((a & 0x00ff00ffu) * g + (b & 0x00ff00ffu) * f + 0x00800080u) >> 8) & 0x00ff00ffu;
  uint32_t ag = ((((a >> 8) & 0x00ff00ffu) * g + ((b >> 8) & 0x00ff00ffu) * f + 0x00800080u) >> 8) &
                0x00ff00ffu;
  return rb | (ag << 8);
}

#ifdef __SSE2__
// Per 16-bit lane (a * (256 - f) + b * f + 128) >> 8 for f in 0..256: LerpTexel on
// channels widened to 16 bits. The sum stays below 2^16, so it is exact.
inline __m128i LerpLanes(__m128i a, __m128i b, __m128i f) {
  __m128i g = _mm_sub_epi16(_mm_set1_epi16(256), f);
  __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, g), _mm_mullo_epi16(b, f)), _mm_set1_epi16(128));
  return _mm_srli_epi16(sum, 8);
}
#endif

// LerpTexel across x on both rows (weight wx), then across y (weight wy), both 0..255.
inline uint32_t FilterTexels(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11, uint32_t wx,
                             uint32_t wy) {
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  auto pair = [&](uint32_t top, uint32_t bottom) {
    return _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(top)), _mm_cvtsi32_si128(static_cast<int>(bottom))),
        zero);
  };
  // Top row in the low half, bottom row in the high half.
  __m128i rows = LerpLanes(pair(t00, t10), pair(t01, t11), _mm_set1_epi16(static_cast<short>(wx)));
  __m128i sum = LerpLanes(rows, _mm_srli_si128(rows, 8), _mm_set1_epi16(static_cast<short>(wy)));
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

// Addressing of one axis of a power-of-two level under WRAP or MIRROR, four lanes at a
// time; the same texels AddressTexel picks.
class PowerOfTwoAxis {
 public:
  PowerOfTwoAxis(uint32_t size, uint32_t mode)
      : last_(static_cast<int32_t>(size - 1)), size_(static_cast<int32_t>(size)),
        period_(static_cast<int32_t>(2 * size - 1)), mirror_(mode == D3DTADDRESS_MIRROR) {}

  static bool Serves(uint32_t size, uint32_t mode) {
    return std::has_single_bit(size) && size <= (1u << 30) && (mode == D3DTADDRESS_WRAP || mode == D3DTADDRESS_MIRROR);
  }

  Int4 Address(Int4 i) const {
    if (!mirror_) return i & last_;
    Int4 m = i & period_;  // i modulo twice the size; the upper half runs backwards
    return m ^ (EqualMask(m & size_, size_) & period_);
  }

  // For bilinear filtering between texels Address(i) and Address(i + 1), weight `f` on
  // the second: the texel starting a one-load pair and the weight of the pair's second
  // texel. Wrapping reads past the row's end into the copied first texel; mirroring
  // may turn the pair around, or give one texel twice.
  void Pair(Int4 i, Int4 f, Int4* first, Int4* weight) const {
    Int4 x0 = Address(i);
    if (!mirror_) {
      *first = x0;
      *weight = f;
      return;
    }
    Int4 x1 = Address(i + Int4(1));
    Int4 reversed = GreaterMask(x0, x1);
    *first = Select(reversed, x1, x0);
    *weight = Select(EqualMask(x0, x1), Int4(0), Select(reversed, Int4(256) - f, f));
  }

 private:
  Int4 last_, size_, period_;
  bool mirror_;
};

// BilinearTexel at four fixed-point positions on a level whose axes PowerOfTwoAxis
// serves, where the border never shows; one colour per lane. Each row's texel pair is
// one 8-byte load, thanks to the copied column after each row. Always inlined: the span
// loop keeps its constants in registers, which a call would cost about a tenth of its time.
[[gnu::always_inline]] inline Int4 FilterPowerOfTwo(const TexelLevel& level, const PowerOfTwoAxis& u,
                                                    const PowerOfTwoAxis& v, Int4 fx, Int4 fy) {
  Int4 fraction(255);
  int widthShift = std::countr_zero(level.width);
  Int4 y = fy >> 8;
  Int4 left, wx;
  u.Pair(fx >> 8, fx & fraction, &left, &wx);
  Int4 topRow = v.Address(y), bottomRow = v.Address(y + Int4(1));
  Int4 wy = fy & fraction;
  uint32_t at[2][4];  // offsets of the top and bottom pairs' first texels; rows are width + 1 apart
  Store(at[0], (topRow << widthShift) + topRow + left);
  Store(at[1], (bottomRow << widthShift) + bottomRow + left);
  const uint32_t* texels = level.texels;
#ifdef __SSE2__
  auto pair = [texels](uint32_t offset) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + offset));
  };
  // Texel pairs of two pixels: left texels in the low half, right texels in the high half.
  auto pairs = [&](const uint32_t* offsets, int first) {
    return _mm_unpacklo_epi32(pair(offsets[first]), pair(offsets[first + 1]));
  };
  // Each lane's weight in both of its 16-bit halves, then in all four channels of a pixel.
  __m128i wx2 = _mm_or_si128(wx.v, _mm_slli_epi32(wx.v, 16)), wy2 = _mm_or_si128(wy.v, _mm_slli_epi32(wy.v, 16));
  const __m128i zero = _mm_setzero_si128();
  auto lerpX = [&](__m128i texelPairs, __m128i x16) {
    return LerpLanes(_mm_unpacklo_epi8(texelPairs, zero), _mm_unpackhi_epi8(texelPairs, zero), x16);
  };
  auto twoPixels = [&](int first, __m128i x16, __m128i y16) {  // 16-bit channels
    return LerpLanes(lerpX(pairs(at[0], first), x16), lerpX(pairs(at[1], first), x16), y16);
  };
  __m128i low = twoPixels(0, _mm_unpacklo_epi32(wx2, wx2), _mm_unpacklo_epi32(wy2, wy2));
  __m128i high = twoPixels(2, _mm_unpackhi_epi32(wx2, wx2), _mm_unpackhi_epi32(wy2, wy2));
  return Int4(_mm_packus_epi16(low, high));
#else
  int32_t weightX[4], weightY[4];
  Store(weightX, wx);
  Store(weightY, wy);
  Int4 out;
  for (int i = 0; i < 4; ++i) {
    const uint32_t* top = texels + at[0][i];
    const uint32_t* bottom = texels + at[1][i];
    out.v[i] = static_cast<int32_t>(FilterTexels(top[0], top[1], bottom[0], bottom[1],
                                                 static_cast<uint32_t>(weightX[i]),
                                                 static_cast<uint32_t>(weightY[i])));
  }
  return out;
#endif
}

inline uint32_t SamplePoint(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  return PointTexel(level, s, TexelPosition<false>(u, static_cast<float>(level.width)),
                    TexelPosition<false>(v, static_cast<float>(level.height)));
}

inline uint32_t SampleBilinear(const TexelLevel& level, const SamplerSetup& s, float u, float v) {
  return BilinearTexel(level, s, TexelPosition<true>(u, static_cast<float>(level.width)),
                       TexelPosition<true>(v, static_cast<float>(level.height)));
}

}  // namespace raster
