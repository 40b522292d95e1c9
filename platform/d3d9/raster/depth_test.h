// Depth buffer access and the depth test. Depth is quantised to the buffer's integer
// precision before comparing, and writes keep the stencil (and unused) bits as they are.
#pragma once

#include <stdint.h>
#include <string.h>

#include "compare.h"
#include "pipeline.h"
#include "simd4.h"

namespace raster {

struct DepthBuffer {
  uint8_t* bits;
  uint32_t pitch;
  uint32_t bytes;  // 2 or 4 per pixel
  uint32_t shift;  // lowest bit of the depth value
  uint32_t mask;   // depth bits within the stored word
  double scale;    // largest depth value
  size_t planeBytes;  // from one sample's plane to the next in a multisampled buffer
};

// False (and `out` untouched) when the surface is not a depth format.
bool DescribeDepth(const SurfaceView& surface, DepthBuffer* out);

struct DepthTest {
  DepthBuffer buffer;
  bool test;   // ZENABLE and a depth buffer present
  bool write;  // ... and ZWRITEENABLE
  uint32_t orders;  // PassingOrders of ZFUNC
};

DepthTest SetupDepthTest(const PipelineState& state, const SurfaceView& depth);

// z within 0..1; NaN gives 0. `F` is float or Float4.
template <typename F>
inline F ClampDepth(F z) {
  return Min(Max(z, F(0.0f)), F(1.0f));
}

inline uint32_t QuantizeDepth(const DepthBuffer& b, float z) {
  return static_cast<uint32_t>(static_cast<double>(ClampDepth(z)) * b.scale + 0.5);
}

// QuantizeDepth of four values; double lanes when every result fits an int32 lane.
inline void QuantizeDepth(const DepthBuffer& b, Float4 z, uint32_t out[4]) {
  if (b.scale < 2147483648.0) {
    Store(out, ScaleAndRound(ClampDepth(z), b.scale));
    return;
  }
  float lanes[4];
  Store(lanes, z);
  for (int i = 0; i < 4; ++i) out[i] = QuantizeDepth(b, lanes[i]);
}

inline uint8_t* DepthAt(const DepthBuffer& b, int32_t x, int32_t y) {
  return b.bits + static_cast<size_t>(y) * b.pitch + static_cast<size_t>(x) * b.bytes;
}

// The stored word of 2 or 4 bytes; fixed-size copies keep these inline.
inline uint32_t LoadDepthWord(const DepthBuffer& b, const uint8_t* p) {
  if (b.bytes == 4) {
    uint32_t word;
    memcpy(&word, p, 4);
    return word;
  }
  uint16_t word;
  memcpy(&word, p, 2);
  return word;
}

inline void StoreDepthWord(const DepthBuffer& b, uint8_t* p, uint32_t word) {
  if (b.bytes == 4) {
    memcpy(p, &word, 4);
  } else {
    uint16_t narrow = static_cast<uint16_t>(word);
    memcpy(p, &narrow, 2);
  }
}

inline uint32_t LoadDepth(const DepthBuffer& b, const uint8_t* p) {
  return (LoadDepthWord(b, p) & b.mask) >> b.shift;
}

// `word` with its depth bits replaced by `value`.
inline uint32_t MergeDepth(const DepthBuffer& b, uint32_t word, uint32_t value) {
  return (word & ~b.mask) | ((value << b.shift) & b.mask);
}

inline void StoreDepth(const DepthBuffer& b, uint8_t* p, uint32_t value) {
  StoreDepthWord(b, p, MergeDepth(b, LoadDepthWord(b, p), value));
}

// The depth test of a pixel whose colour is certain to be written when it passes: the
// stored word is read once, and `value` stored if writes are on.
inline bool TestAndStoreDepth(const DepthTest& t, uint8_t* p, uint32_t value) {
  uint32_t word = LoadDepthWord(t.buffer, p);
  if (!OrderPasses(t.orders, value, (word & t.buffer.mask) >> t.buffer.shift)) return false;
  if (t.write) StoreDepthWord(t.buffer, p, MergeDepth(t.buffer, word, value));
  return true;
}

// The depth test of `n` (at most 4) adjacent pixels starting at `p` with quantised
// depths `value`; bit k set when pixel k passes (all of them when the test is off).
inline uint32_t TestAndStoreDepths(const DepthTest& t, uint8_t* p, const uint32_t value[4], uint32_t n) {
  if (!t.test) return (1u << n) - 1;
  uint32_t passed = 0;
  for (uint32_t k = 0; k < n; ++k) passed |= uint32_t{TestAndStoreDepth(t, p + k * t.buffer.bytes, value[k])} << k;
  return passed;
}

// Whether TestAndStoreDepths4 serves this test: a buffer of 2- or 4-byte words whose
// depth values fit in 31 bits, so they compare as signed lanes.
inline bool TestsFourAtOnce(const DepthTest& t) {
  return t.test && (t.buffer.bytes == 4 || t.buffer.bytes == 2) && t.buffer.scale < 2147483648.0;
}

// The bits of a stored depth word.
inline uint32_t WholeWord(const DepthBuffer& b) { return b.bytes == 4 ? 0xffffffffu : 0xffffu; }

#ifdef __SSE2__
// Four depth words widened to 32-bit lanes, and back.
inline __m128i LoadDepthWords4(const DepthBuffer& b, const uint8_t* p) {
  if (b.bytes == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

inline void StoreDepthWords4(const DepthBuffer& b, uint8_t* p, __m128i words) {
  if (b.bytes == 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), words);
    return;
  }
  // Every lane holds 0..65535: moved to -32768..32767, the signed pack keeps it whole.
  __m128i bias = _mm_set1_epi32(0x8000);
  __m128i packed = _mm_packs_epi32(_mm_sub_epi32(words, bias), _mm_sub_epi32(words, bias));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_xor_si128(packed, _mm_set1_epi16(-0x8000)));
}

// The depth test of four stored words in lanes with quantised depths `value`: all ones
// in the lanes that pass; `word` becomes what to store back (failing lanes unchanged).
inline __m128i DepthTestLanes(const DepthTest& t, __m128i* word, Int4 value) {
  __m128i mask = _mm_set1_epi32(static_cast<int>(t.buffer.mask));
  __m128i shift = _mm_cvtsi32_si128(static_cast<int>(t.buffer.shift));
  __m128i stored = _mm_srl_epi32(_mm_and_si128(*word, mask), shift);
  auto when = [&t](uint32_t order, __m128i lanes) { return t.orders & order ? lanes : _mm_setzero_si128(); };
  __m128i pass = _mm_or_si128(_mm_or_si128(when(1, _mm_cmplt_epi32(value.v, stored)),
                                           when(2, _mm_cmpeq_epi32(value.v, stored))),
                              when(4, _mm_cmpgt_epi32(value.v, stored)));
  __m128i merged = _mm_or_si128(_mm_andnot_si128(mask, *word), _mm_and_si128(_mm_sll_epi32(value.v, shift), mask));
  *word = _mm_or_si128(_mm_and_si128(pass, merged), _mm_andnot_si128(pass, *word));
  return pass;
}
#endif

// TestAndStoreDepths of four pixels at once for a test that TestsFourAtOnce, with the
// quantised depths in lanes; only the lanes whose bit `lanes` holds take part. Failing
// and left-out pixels get their stored word back unchanged.
inline uint32_t TestAndStoreDepths4(const DepthTest& t, uint8_t* p, Int4 value, uint32_t lanes = 15) {
#ifdef __SSE2__
  if (t.orders == kAllOrders && lanes == 15 && t.buffer.mask == WholeWord(t.buffer)) {
    // Every pixel passes and depth fills its whole word: nothing stored needs reading.
    if (t.write)
      StoreDepthWords4(t.buffer, p, _mm_sll_epi32(value.v, _mm_cvtsi32_si128(static_cast<int>(t.buffer.shift))));
    return 15;
  }
  __m128i original = LoadDepthWords4(t.buffer, p), word = original;
  __m128i pass = DepthTestLanes(t, &word, value);
  if (lanes != 15) {
    __m128i bits = _mm_setr_epi32(1, 2, 4, 8);
    pass = _mm_and_si128(pass, _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(static_cast<int>(lanes)), bits), bits));
    word = _mm_or_si128(_mm_and_si128(pass, word), _mm_andnot_si128(pass, original));
  }
  if (t.write) StoreDepthWords4(t.buffer, p, word);
  return static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(pass)));
#else
  uint32_t values[4], passed = 0;
  Store(values, value);
  for (uint32_t k = 0; k < 4; ++k) {
    if (lanes >> k & 1) passed |= uint32_t{TestAndStoreDepth(t, p + k * t.buffer.bytes, values[k])} << k;
  }
  return passed;
#endif
}

// The depth test of `n` (at most 4) adjacent pixels starting at `p` with depths `z`
// before quantisation: four at once where TestsFourAtOnce allows it; fewer than four,
// or 2-byte words, word by word into lanes and back.
[[gnu::always_inline]] inline uint32_t TestAndStoreDepthsOf(const DepthTest& t, uint8_t* p, Float4 z, uint32_t n) {
#ifdef __SSE2__
  if (TestsFourAtOnce(t)) {
    Int4 values = ScaleAndRound(ClampDepth(z), t.buffer.scale);
    if (n == 4) return TestAndStoreDepths4(t, p, values);
    uint32_t bytes = t.buffer.bytes;
    auto load = [&](uint32_t k) { return static_cast<int>(k < n ? LoadDepthWord(t.buffer, p + k * bytes) : 0); };
    __m128i word = _mm_setr_epi32(load(0), load(1), load(2), load(3));
    uint32_t passed = static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(DepthTestLanes(t, &word, values))));
    if (t.write) {
      for (uint32_t k = 0; k < n; ++k, word = _mm_srli_si128(word, 4))
        StoreDepthWord(t.buffer, p + k * bytes, static_cast<uint32_t>(_mm_cvtsi128_si32(word)));
    }
    return passed & ((1u << n) - 1);
  }
#endif
  uint32_t depth[4];
  if (t.test) QuantizeDepth(t.buffer, z, depth);
  return TestAndStoreDepths(t, p, depth, n);
}

}  // namespace raster
