// Four-lane float and int32 arithmetic for the span loops: SSE2 where the compiler offers
// it, plain arrays elsewhere. Each operation is the IEEE single-precision operation of
// every lane, so both builds give the bits scalar code gives. Scalar overloads of the
// same names let one template serve a single value or four.
#pragma once

#include <stdint.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace raster {

// ---- one lane ----

inline float Max(float a, float b) { return a > b ? a : b; }  // b when either is NaN
inline float Min(float a, float b) { return a < b ? a : b; }  // b when either is NaN
inline int32_t Truncate(float v) { return static_cast<int32_t>(v); }  // |v| < 2^31
inline float ToFloat(int32_t v) { return static_cast<float>(v); }
inline int32_t GreaterMask(float a, float b) { return a > b ? -1 : 0; }

// ---- four lanes ----

#ifdef __SSE2__

struct Float4 {
  __m128 v;
  Float4() = default;
  explicit Float4(__m128 lanes) : v(lanes) {}
  explicit Float4(float all) : v(_mm_set1_ps(all)) {}
  Float4(float a, float b, float c, float d) : v(_mm_setr_ps(a, b, c, d)) {}
};

struct Int4 {
  __m128i v;
  Int4() = default;
  explicit Int4(__m128i lanes) : v(lanes) {}
  explicit Int4(int32_t all) : v(_mm_set1_epi32(all)) {}
};

inline Float4 operator+(Float4 a, Float4 b) { return Float4(_mm_add_ps(a.v, b.v)); }
inline Float4 operator-(Float4 a, Float4 b) { return Float4(_mm_sub_ps(a.v, b.v)); }
inline Float4 operator*(Float4 a, Float4 b) { return Float4(_mm_mul_ps(a.v, b.v)); }
inline Float4 operator/(Float4 a, Float4 b) { return Float4(_mm_div_ps(a.v, b.v)); }
inline Float4 Max(Float4 a, Float4 b) { return Float4(_mm_max_ps(a.v, b.v)); }
inline Float4 Min(Float4 a, Float4 b) { return Float4(_mm_min_ps(a.v, b.v)); }
inline Int4 Truncate(Float4 a) { return Int4(_mm_cvttps_epi32(a.v)); }
inline Float4 ToFloat(Int4 a) { return Float4(_mm_cvtepi32_ps(a.v)); }
inline Int4 LaneNumbers() { return Int4(_mm_setr_epi32(0, 1, 2, 3)); }  // 0, 1, 2, 3
inline Int4 Load(const uint32_t* in) { return Int4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))); }
inline Int4 GreaterMask(Float4 a, Float4 b) { return Int4(_mm_castps_si128(_mm_cmpgt_ps(a.v, b.v))); }
inline Int4 operator+(Int4 a, Int4 b) { return Int4(_mm_add_epi32(a.v, b.v)); }
inline Int4 operator-(Int4 a, Int4 b) { return Int4(_mm_sub_epi32(a.v, b.v)); }
inline Int4 operator&(Int4 a, Int4 b) { return Int4(_mm_and_si128(a.v, b.v)); }
inline Int4 operator|(Int4 a, Int4 b) { return Int4(_mm_or_si128(a.v, b.v)); }
inline Int4 operator^(Int4 a, Int4 b) { return Int4(_mm_xor_si128(a.v, b.v)); }
inline Int4 GreaterMask(Int4 a, Int4 b) { return Int4(_mm_cmpgt_epi32(a.v, b.v)); }
inline Int4 EqualMask(Int4 a, Int4 b) { return Int4(_mm_cmpeq_epi32(a.v, b.v)); }
// Lanes of a where `mask` is all ones, of b where it is zero.
inline Int4 Select(Int4 mask, Int4 a, Int4 b) {
  return Int4(_mm_or_si128(_mm_and_si128(mask.v, a.v), _mm_andnot_si128(mask.v, b.v)));
}
inline Int4 operator>>(Int4 a, int bits) { return Int4(_mm_sra_epi32(a.v, _mm_cvtsi32_si128(bits))); }
inline Int4 operator<<(Int4 a, int bits) { return Int4(_mm_sll_epi32(a.v, _mm_cvtsi32_si128(bits))); }
inline void Store(float* out, Float4 a) { _mm_storeu_ps(out, a.v); }
inline void Store(int32_t* out, Int4 a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a.v); }
inline void Store(uint32_t* out, Int4 a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a.v); }

// Lanes of (int32_t)((double)a * scale + 0.5) in double precision; every result must lie
// in 0 .. 2^31 - 1.
inline Int4 ScaleAndRound(Float4 a, double scale) {
  __m128d s = _mm_set1_pd(scale), half = _mm_set1_pd(0.5);
  __m128d low = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(a.v), s), half);
  __m128d high = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(a.v, a.v)), s), half);
  return Int4(_mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high)));
}

// Rows become columns: lane j of r[i] moves to lane i of r[j].
inline void Transpose(Float4 r[4]) { _MM_TRANSPOSE4_PS(r[0].v, r[1].v, r[2].v, r[3].v); }

#else

struct Float4 {
  float v[4];
  Float4() = default;
  explicit Float4(float all) : v{all, all, all, all} {}
  Float4(float a, float b, float c, float d) : v{a, b, c, d} {}
};

struct Int4 {
  int32_t v[4];
  Int4() = default;
  explicit Int4(int32_t all) : v{all, all, all, all} {}
};

template <typename Out, typename In, typename Op>
inline Out EachLane(In a, In b, Op op) {
  Out out;
  for (int i = 0; i < 4; ++i) out.v[i] = op(a.v[i], b.v[i]);
  return out;
}

inline Float4 operator+(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return x + y; }); }
inline Float4 operator-(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return x - y; }); }
inline Float4 operator*(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return x * y; }); }
inline Float4 operator/(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return x / y; }); }
inline Float4 Max(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return Max(x, y); }); }
inline Float4 Min(Float4 a, Float4 b) { return EachLane<Float4>(a, b, [](float x, float y) { return Min(x, y); }); }
inline Int4 GreaterMask(Float4 a, Float4 b) {
  return EachLane<Int4>(a, b, [](float x, float y) { return GreaterMask(x, y); });
}
inline Int4 operator+(Int4 a, Int4 b) {
  // Wrapping like the hardware lanes, without signed overflow.
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(y));
  });
}
inline Int4 operator-(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(y));
  });
}
inline Int4 operator&(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) { return x & y; });
}
inline Int4 operator|(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) { return x | y; });
}
inline Int4 operator^(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) { return x ^ y; });
}
inline Int4 GreaterMask(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) { return x > y ? -1 : 0; });
}
inline Int4 EqualMask(Int4 a, Int4 b) {
  return EachLane<Int4>(a, b, [](int32_t x, int32_t y) { return x == y ? -1 : 0; });
}
inline Int4 Select(Int4 mask, Int4 a, Int4 b) { return (mask & a) | ((mask ^ Int4(-1)) & b); }
inline Int4 operator>>(Int4 a, int bits) {  // arithmetic, as C++20 defines it for int32_t
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = a.v[i] >> bits;
  return out;
}
inline Int4 operator<<(Int4 a, int bits) {  // modulo 2^32, as C++20 defines it for int32_t
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = a.v[i] << bits;
  return out;
}
inline Int4 Truncate(Float4 a) {
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = Truncate(a.v[i]);
  return out;
}
inline Float4 ToFloat(Int4 a) {
  Float4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = ToFloat(a.v[i]);
  return out;
}
inline Int4 LaneNumbers() {
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = i;
  return out;
}
inline Int4 Load(const uint32_t* in) {
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = static_cast<int32_t>(in[i]);
  return out;
}
inline void Store(float* out, Float4 a) {
  for (int i = 0; i < 4; ++i) out[i] = a.v[i];
}
inline void Store(int32_t* out, Int4 a) {
  for (int i = 0; i < 4; ++i) out[i] = a.v[i];
}
inline void Store(uint32_t* out, Int4 a) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint32_t>(a.v[i]);
}
inline Int4 ScaleAndRound(Float4 a, double scale) {
  Int4 out;
  for (int i = 0; i < 4; ++i) out.v[i] = static_cast<int32_t>(static_cast<double>(a.v[i]) * scale + 0.5);
  return out;
}

inline void Transpose(Float4 r[4]) {
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) {
      float swap = r[i].v[j];
      r[i].v[j] = r[j].v[i];
      r[j].v[i] = swap;
    }
  }
}

#endif

}  // namespace raster
