// Scan conversion: walks the rows of a set-up triangle that belong to one band of the
// target and hands each row's covered pixels, as one span, to the pixel pipeline.
// Pixel (x, y) is covered when its centre, the integer point (x, y), is inside the
// triangle or on a top or left edge. A multisampled target gets one span per sample,
// each from the same test at the sample's position.
#pragma once

#include <stdint.h>

#include <algorithm>

#include "sample_pattern.h"
#include "triangle_setup.h"

namespace raster {

// Rows belong to bands in blocks of 8: row y is band (y / 8) % count. Every row is
// computed the same way whatever band draws it, so the band count never changes pixels.
struct RowBand {
  uint32_t index;
  uint32_t count;
};

constexpr int32_t kBandRowsLog2 = 3;
constexpr int32_t kBandRows = 1 << kBandRowsLog2;

// The first row of the band's last block that starts at or before row y (y >= 0), or of
// its first block when that starts after y.
inline int32_t BandBlockStart(const RowBand& band, int32_t y) {
  int64_t block = y >> kBandRowsLog2, index = band.index;
  int64_t owned = block >= index ? block - (block - index) % band.count : index;
  return static_cast<int32_t>(owned << kBandRowsLog2);
}

// The covered columns of a triangle's rows one after another. Each edge bounds a row's
// columns by the floor of its edge function over its y step; that quotient and its
// remainder are worked out by division for the first row and then carried from row to
// row, exactly, by adding the quotient and remainder of the edge function's row step.
class RowWalk {
 public:
  // At row y; the point tested in each pixel is its centre moved by (sampleX, sampleY)
  // subpixels.
  RowWalk(const Triangle& triangle, int32_t y, int32_t sampleX = 0, int32_t sampleY = 0);
  // Covered columns [*left, *right] of the current row; false when it holds none.
  bool Span(int32_t* left, int32_t* right) const {
    int64_t low = left_, high = right_;
    for (const Bound& b : bounds_) {
      if (b.dy == 0) {
        if (b.quotient < 0) return false;
      } else if (b.dy > 0) {
        high = std::min(high, b.quotient);
      } else {
        low = std::max(low, -b.quotient);
      }
    }
    if (low > high) return false;
    *left = static_cast<int32_t>(low);
    *right = static_cast<int32_t>(high);
    return true;
  }

  // On to the next row.
  void Next() {
    for (Bound& b : bounds_) {
      b.remainder += b.stepRemainder;
      bool carry = b.remainder >= b.divisor;
      b.quotient += b.stepQuotient + carry;
      b.remainder -= carry ? b.divisor : 0;
    }
  }

 private:
  struct Bound {
    int64_t quotient, remainder, divisor;  // edge function = quotient * divisor + remainder
    int64_t stepQuotient, stepRemainder;   // the same for its change from a row to the next
    int64_t dy;
  };
  Bound bounds_[3];
  int64_t left_, right_;
};

// Covered columns [*left, *right] of row y; false when the row holds none. The point
// tested in each pixel is its centre moved by (sampleX, sampleY) subpixels.
bool RowSpan(const Triangle& triangle, int32_t y, int32_t* left, int32_t* right, int32_t sampleX = 0,
             int32_t sampleY = 0);

// The covered columns of one row, sample by sample (left > right where a sample covers
// none), and the columns [first, last] that any sample covers.
struct SampleSpans {
  int32_t left[kMaxSamples], right[kMaxSamples];
  int32_t first, last;
};

// False when no sample of row y is covered.
bool SampleRowSpans(const Triangle& triangle, int32_t y, const SamplePattern& pattern, SampleSpans* out);

// Calls rows(first, last) for each run of the band's rows of the triangle, block by
// block, top to bottom.
template <typename RowsFn>
void ForEachBandBlock(const Triangle& triangle, const RowBand& band, RowsFn&& rows) {
  int64_t stride = int64_t{kBandRows} * band.count;
  for (int64_t start = BandBlockStart(band, triangle.top); start <= triangle.bottom; start += stride) {
    int32_t first = std::max(static_cast<int32_t>(start), triangle.top);
    int32_t last = static_cast<int32_t>(std::min<int64_t>(start + kBandRows - 1, triangle.bottom));
    if (first <= last) rows(first, last);  // a block of the band may end above the triangle
  }
}

// Calls row(y) for the band's rows of the triangle, block by block, top to bottom.
template <typename RowFn>
void ForEachBandRow(const Triangle& triangle, const RowBand& band, RowFn&& row) {
  ForEachBandBlock(triangle, band, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y <= last; ++y) row(y);
  });
}

// Visits the band's rows of the triangle, one span of covered pixels per row.
template <typename SpanFn>
void RasterizeTriangle(const Triangle& triangle, const RowBand& band, SpanFn&& span) {
  ForEachBandBlock(triangle, band, [&](int32_t first, int32_t last) {
    RowWalk walk(triangle, first);
    for (int32_t y = first;; ++y) {
      int32_t left, right;
      if (walk.Span(&left, &right)) span(y, left, right);
      if (y == last) break;
      walk.Next();
    }
  });
}

// Visits the band's rows of the triangle with the spans of each sample of `pattern`.
template <typename SpansFn>
void RasterizeTriangleSamples(const Triangle& triangle, const RowBand& band, const SamplePattern& pattern,
                              SpansFn&& spans) {
  ForEachBandRow(triangle, band, [&](int32_t y) {
    SampleSpans row;
    if (SampleRowSpans(triangle, y, pattern, &row)) spans(y, row);
  });
}

}  // namespace raster
