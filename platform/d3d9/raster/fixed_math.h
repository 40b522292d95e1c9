// Logarithm, power and cosine from plain float arithmetic, so results never depend on
// which C library (or which of its per-CPU variants) the program runs with. Accurate
// to about 1e-4 relative, which is ample for lighting and mip-level selection.
#pragma once

#include <stdint.h>
#include <string.h>

namespace raster {

// Base-2 logarithm of x > 0; very negative for x <= 0 or NaN.
inline float Log2(float x) {
  if (!(x > 0)) return -1000.0f;
  uint32_t bits;
  memcpy(&bits, &x, 4);
  int32_t exponent = static_cast<int32_t>((bits >> 23) & 0xff) - 127;
  bits = (bits & 0x007fffffu) | 0x3f800000u;  // mantissa m in [1, 2)
  float m;
  memcpy(&m, &bits, 4);
  // log2(m) through t = (m - 1) / (m + 1): log2 m = 2/ln2 * (t + t^3/3 + t^5/5 + t^7/7).
  float t = (m - 1.0f) / (m + 1.0f);
  float t2 = t * t;
  float series = t * (1.0f + t2 * (1.0f / 3 + t2 * (1.0f / 5 + t2 * (1.0f / 7 + t2 / 9))));
  return static_cast<float>(exponent) + 2.8853900817779268f * series;
}

// 2^x, clamped to the float range.
inline float Exp2(float x) {
  if (!(x > -126.0f)) return 0.0f;
  if (x > 127.0f) x = 127.0f;
  float whole = static_cast<float>(static_cast<int32_t>(x));
  if (whole > x) whole -= 1.0f;
  float f = (x - whole) * 0.6931471805599453f;  // e^f with f in [0, ln 2)
  float series = 1.0f + f * (1.0f + f * (0.5f + f * (1.0f / 6 + f * (1.0f / 24 +
                 f * (1.0f / 120 + f * (1.0f / 720))))));
  uint32_t bits = static_cast<uint32_t>(static_cast<int32_t>(whole) + 127) << 23;
  float scale;
  memcpy(&scale, &bits, 4);
  return series * scale;
}

// x^y for x >= 0.
inline float Power(float x, float y) {
  if (y == 0.0f) return 1.0f;
  if (!(x > 0)) return 0.0f;
  return Exp2(y * Log2(x));
}

// cos(x) for any finite x.
inline float Cosine(float x) {
  constexpr float kTwoPi = 6.283185307179586f;
  if (!(x == x) || x > 1e6f || x < -1e6f) return 1.0f;
  float turns = x / kTwoPi;
  float whole = static_cast<float>(static_cast<int64_t>(turns));
  float r = (turns - whole) * kTwoPi;  // (-2 pi, 2 pi)
  if (r < 0) r = -r;
  if (r > 3.14159265f) r = kTwoPi - r;  // [0, pi]
  bool flip = r > 1.5707963f;
  if (flip) r = 3.14159265f - r;  // [0, pi/2]
  float r2 = r * r;
  float c = 1.0f - r2 * (0.5f - r2 * (1.0f / 24 - r2 * (1.0f / 720 - r2 * (1.0f / 40320 -
            r2 / 3628800))));
  return flip ? -c : c;
}

}  // namespace raster
