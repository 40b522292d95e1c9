// SplitMix64: a small seeded generator whose sequence is the same on every machine,
// unlike the distributions of <random>, whose output the standard leaves open.
#pragma once

#include <cstdint>

namespace media {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t NextBits() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  float Next() { return float(NextBits() >> 40) * (1.0f / 16777216.0f); }  // uniform in [0, 1)

 private:
  uint64_t state_;
};

}  // namespace media
