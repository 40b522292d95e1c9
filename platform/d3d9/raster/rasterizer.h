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

// Calls row(y) for the band's rows of the triangle, block by block, top to bottom.
template <typename RowFn>
void ForEachBandRow(const Triangle& triangle, const RowBand& band, RowFn&& row) {
  int64_t stride = int64_t{kBandRows} * band.count;
  for (int64_t start = BandBlockStart(band, triangle.top); start <= triangle.bottom; start += stride) {
    int32_t last = static_cast<int32_t>(std::min<int64_t>(start + kBandRows - 1, triangle.bottom));
    for (int32_t y = std::max(static_cast<int32_t>(start), triangle.top); y <= last; ++y) row(y);
  }
}

// Visits the band's rows of the triangle, one span of covered pixels per row.
template <typename SpanFn>
void RasterizeTriangle(const Triangle& triangle, const RowBand& band, SpanFn&& span) {
  ForEachBandRow(triangle, band, [&](int32_t y) {
    int32_t left, right;
    if (RowSpan(triangle, y, &left, &right)) span(y, left, right);
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
