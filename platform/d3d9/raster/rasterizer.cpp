// Exact row spans from the integer edge functions: for each edge the inequality
// E(x, y) - bias >= 0 is solved for x with floor division, so no pixel on a shared
// edge is drawn twice or missed.
#include "rasterizer.h"

#include <algorithm>

namespace raster {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

RowWalk::RowWalk(const Triangle& t, int32_t y, int32_t sampleX, int32_t sampleY) : left_(t.left), right_(t.right) {
  int64_t pointY = int64_t{y} * kSubpixels + sampleY;
  for (int i = 0; i < 3; ++i) {
    const Edge& e = t.edges[i];
    // E at pixel column px is c - dy * 256 * px; a horizontal edge only asks c >= 0,
    // which the floor of c over 1 tells as well.
    int64_t c = e.dx * (pointY - e.y) + e.dy * (e.x - sampleX) - e.bias;
    int64_t step = e.dx * kSubpixels;
    Bound& b = bounds_[i];
    b.dy = e.dy;
    b.divisor = e.dy == 0 ? 1 : (e.dy > 0 ? e.dy : -e.dy) * kSubpixels;
    b.quotient = FloorDiv(c, b.divisor);
    b.remainder = c - b.quotient * b.divisor;
    b.stepQuotient = FloorDiv(step, b.divisor);
    b.stepRemainder = step - b.stepQuotient * b.divisor;
  }
}

bool RowSpan(const Triangle& t, int32_t y, int32_t* left, int32_t* right, int32_t sampleX, int32_t sampleY) {
  return RowWalk(t, y, sampleX, sampleY).Span(left, right);
}

bool SampleRowSpans(const Triangle& t, int32_t y, const SamplePattern& pattern, SampleSpans* out) {
  out->first = INT32_MAX;
  out->last = INT32_MIN;
  for (uint32_t s = 0; s < pattern.count; ++s) {
    if (!RowSpan(t, y, &out->left[s], &out->right[s], pattern.x[s], pattern.y[s])) {
      out->left[s] = 0;
      out->right[s] = -1;
      continue;
    }
    out->first = std::min(out->first, out->left[s]);
    out->last = std::max(out->last, out->right[s]);
  }
  return out->first <= out->last;
}

}  // namespace raster
