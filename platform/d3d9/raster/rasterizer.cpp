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

bool RowSpan(const Triangle& t, int32_t y, int32_t* left, int32_t* right, int32_t sampleX, int32_t sampleY) {
  int64_t low = t.left, high = t.right;
  int64_t pointY = int64_t{y} * kSubpixels + sampleY;
  for (const Edge& e : t.edges) {
    // E at pixel column px is c - dy * 256 * px.
    int64_t c = e.dx * (pointY - e.y) + e.dy * (e.x - sampleX) - e.bias;
    if (e.dy == 0) {
      if (c < 0) return false;
    } else if (e.dy > 0) {
      high = std::min(high, FloorDiv(c, e.dy * kSubpixels));
    } else {
      low = std::max(low, -FloorDiv(c, -e.dy * kSubpixels));
    }
  }
  if (low > high) return false;
  *left = static_cast<int32_t>(low);
  *right = static_cast<int32_t>(high);
  return true;
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
