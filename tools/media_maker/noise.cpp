// Gradient noise on an integer lattice: each corner's gradient is one of the twelve
// cube-edge directions, picked by hashing the corner through a seeded permutation; corners blend with
// the quintic fade so that the noise and its slope are continuous.
#include "noise.h"

#include <cmath>
#include <utility>

#include "random.h"

namespace media {
namespace {

// std::floor is a library call on the baseline x86-64 instruction set; this is not.
int FloorToInt(float value) {
  int truncated = static_cast<int>(value);
  return value < float(truncated) ? truncated - 1 : truncated;
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
float Lerp(float a, float b, float t) { return a + (b - a) * t; }

// The dot product of gradient number `corner` (0..15) with an offset (dx, dy, dz).
float Gradient(int corner, float dx, float dy, float dz) {
  // The twelve cube-edge directions, four of them twice to fill sixteen slots; a table
  // rather than a switch keeps the unpredictable choice free of branches.
  static constexpr int8_t kGradients[16][3] = {{1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1},  {-1, 0, 1},
                                               {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1},
                                               {1, 1, 0}, {-1, 1, 0}, {0, -1, 1}, {0, -1, -1}};
  const int8_t* g = kGradients[corner & 15];
  return float(g[0]) * dx + float(g[1]) * dy + float(g[2]) * dz;
}

// Each octave is shifted so that the lattice points of different octaves never line up.
constexpr Vec3 kOctaveShift = {19.19f, 7.37f, 31.71f};

// The weighted mean of `octaves` layers, each at twice the frequency and `gain` times
// the weight of the one before.
template <class Layer>
float LayeredSum(Vec3 p, int octaves, float gain, Layer layer) {
  float sum = 0.0f, weight = 1.0f, total = 0.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += weight * layer(p);
    total += weight;
    weight *= gain;
    p = p * 2.0f + kOctaveShift;
  }
  return sum / total;
}

}  // namespace

GradientNoise::GradientNoise(uint64_t seed) {
  for (int i = 0; i < kPeriod; ++i) permutation_[size_t(i)] = uint16_t(i);
  Random random(seed);
  for (int i = kPeriod - 1; i > 0; --i)  // Fisher-Yates
    std::swap(permutation_[size_t(i)], permutation_[size_t(random.NextBits() % uint64_t(i + 1))]);
}

float GradientNoise::At(Vec3 p) const {
  int x = FloorToInt(p.x), y = FloorToInt(p.y), z = FloorToInt(p.z);
  float dx = p.x - float(x), dy = p.y - float(y), dz = p.z - float(z);
  // Corners are hashed by chained look-ups, perm[perm[perm[x] + y] + z], sharing the
  // partial results between the eight corners.
  auto perm = [this](int i) { return int(permutation_[size_t(i & (kPeriod - 1))]); };
  int x0 = perm(x), x1 = perm(x + 1);
  int y00 = perm(x0 + y), y01 = perm(x0 + y + 1), y10 = perm(x1 + y), y11 = perm(x1 + y + 1);
  float u = Fade(dx), v = Fade(dy), w = Fade(dz);
  // The four corners of the cell's face at z + dz0, blended in x and y.
  auto face = [&](int dz0) {
    float d = dz - float(dz0);
    return Lerp(Lerp(Gradient(perm(y00 + z + dz0), dx, dy, d), Gradient(perm(y10 + z + dz0), dx - 1, dy, d), u),
                Lerp(Gradient(perm(y01 + z + dz0), dx, dy - 1, d), Gradient(perm(y11 + z + dz0), dx - 1, dy - 1, d), u),
                v);
  };
  return Lerp(face(0), face(1), w);
}

float GradientNoise::Fractal(Vec3 p, int octaves, float gain) const {
  // A sum of layers rarely reaches its bound; 1.4 widens it back to about [-1, 1].
  return 1.4f * LayeredSum(p, octaves, gain, [this](Vec3 q) { return At(q); });
}

float GradientNoise::Ridged(Vec3 p, int octaves) const {
  return LayeredSum(p, octaves, 0.5f, [this](Vec3 q) {
    float ridge = 1.0f - std::fabs(At(q));
    return ridge * ridge;
  });
}

}  // namespace media
