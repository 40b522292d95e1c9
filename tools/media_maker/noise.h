// Seeded 3D gradient noise and its fractal sums, written here so that the media are the
// same on every machine: a seeded shuffle picks the gradients, nothing comes from a
// library generator whose output is implementation-defined.
#pragma once

#include <array>
#include <cstdint>

#include "sphere.h"

namespace media {

class GradientNoise {
 public:
  explicit GradientNoise(uint64_t seed);

  // Smooth noise in about [-1, 1], zero at every lattice point. The pattern repeats
  // every kPeriod lattice units, far more than the spheres sampled here span.
  float At(Vec3 p) const;
  // The weighted mean of `octaves` layers, each at twice the frequency and `gain` times
  // the weight of the one before, widened back to about [-1, 1].
  float Fractal(Vec3 p, int octaves, float gain = 0.5f) const;
  // Like Fractal, but of (1 - |noise|) squared: sharp ridges, in about [0, 1].
  float Ridged(Vec3 p, int octaves) const;

  static constexpr int kPeriod = 1024;

 private:
  std::array<uint16_t, kPeriod> permutation_;
};

}  // namespace media
