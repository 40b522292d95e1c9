// The standard sample positions.
#include "sample_pattern.h"

namespace raster {
namespace {

struct Offsets {
  int8_t x, y;  // 1/16 pixel
};

constexpr Offsets kTwo[] = {{4, 4}, {-4, -4}};
constexpr Offsets kFour[] = {{-2, -6}, {6, -2}, {-6, 2}, {2, 6}};
constexpr Offsets kEight[] = {{1, -3}, {-1, 3}, {5, 1}, {-3, -5}, {-5, 5}, {-7, -1}, {3, 7}, {7, -7}};

}  // namespace

SamplePattern StandardPattern(uint32_t count, bool centred) {
  SamplePattern pattern{};
  pattern.count = count;
  const Offsets* offsets = count == 2 ? kTwo : count == 4 ? kFour : count == 8 ? kEight : nullptr;
  if (!offsets || centred) return pattern;
  for (uint32_t s = 0; s < count; ++s) {
    pattern.x[s] = offsets[s].x * 16;
    pattern.y[s] = offsets[s].y * 16;
    int32_t ax = pattern.x[s] < 0 ? -pattern.x[s] : pattern.x[s];
    int32_t ay = pattern.y[s] < 0 ? -pattern.y[s] : pattern.y[s];
    if (ax > pattern.reach) pattern.reach = ax;
    if (ay > pattern.reach) pattern.reach = ay;
  }
  return pattern;
}

}  // namespace raster
