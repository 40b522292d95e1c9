// The generator's gradient noise: fixed by its seed, zero on the lattice, bounded, and
// continuous, which is what keeps the generated maps free of seams.
#include <gtest/gtest.h>

#include <cmath>

#include "noise.h"

namespace {

using media::GradientNoise;
using media::Vec3;

const Vec3 kSamples[] = {{0.31f, 0.77f, -0.12f}, {12.5f, -3.25f, 7.75f}, {-101.9f, 55.1f, 0.4f}};

TEST(GradientNoiseTest, SameSeedGivesSameValuesAndOtherSeedsDiffer) {
  GradientNoise a(7), b(7), c(8);
  int differing = 0;
  for (Vec3 p : kSamples) {
    EXPECT_EQ(a.At(p), b.At(p));
    EXPECT_EQ(a.Fractal(p, 5), b.Fractal(p, 5));
    differing += a.At(p) != c.At(p);
  }
  EXPECT_GT(differing, 0);
}

TEST(GradientNoiseTest, IsZeroOnLatticePointsIncludingNegativeOnes) {
  GradientNoise noise(3);
  for (Vec3 p : {Vec3{0, 0, 0}, Vec3{5, -2, 9}, Vec3{-1, -1, -1}, Vec3{1023, 1024, -1025}})
    EXPECT_EQ(noise.At(p), 0.0f) << p.x << " " << p.y << " " << p.z;
}

TEST(GradientNoiseTest, StaysBoundedAndVaries) {
  GradientNoise noise(11);
  float low = 0.0f, high = 0.0f;
  for (int i = 0; i < 4000; ++i) {
    Vec3 p{float(i) * 0.173f, float(i % 37) * 0.29f, float(i % 11) * -0.41f};
    float value = noise.At(p), ridge = noise.Ridged(p, 4);
    ASSERT_LE(std::fabs(value), 1.1f);  // "about [-1, 1]"
    ASSERT_GE(ridge, 0.0f);
    ASSERT_LE(ridge, 1.0f);
    low = std::min(low, value);
    high = std::max(high, value);
  }
  EXPECT_LT(low, -0.5f);
  EXPECT_GT(high, 0.5f);
}

// A step of 1/1000 lattice unit never moves the value by more than the noise's steepest
// slope allows; a jump would show up as a seam or crease in a map.
TEST(GradientNoiseTest, IsContinuousAcrossCellBoundaries) {
  GradientNoise noise(5);
  for (float x = -2.0f; x < 2.0f; x += 0.001f) {
    Vec3 p{x, 0.999f * x + 0.5f, 1.0f - x};
    ASSERT_LT(std::fabs(noise.At(p + Vec3{0.001f, 0.001f, 0.001f}) - noise.At(p)), 0.01f) << x;
  }
}

}  // namespace
