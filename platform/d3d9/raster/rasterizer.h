// Scan conversion: walks the rows of a set-up triangle that belong to one band of the
// target and hands each row's covered pixels, as one span, to the pixel pipeline.
// Pixel (x, y) is covered when its centre, the integer point (x, y), is inside the
// triangle or on a top or left edge.
#pragma once

#include <stdint.h>

#include "triangle_setup.h"

namespace raster {

// Rows belong to bands in blocks of 8: row y is band (y / 8) % count. Every row is
// computed the same way whatever band draws it, so the band count never changes pixels.
struct RowBand {
  uint32_t index;
  uint32_t count;
};

constexpr int32_t kBandRowsLog2 = 3;

inline bool OwnsRow(const RowBand& band, int32_t y) {
  return static_cast<uint32_t>(y >> kBandRowsLog2) % band.count == band.index;
}

// Covered columns [*left, *right] of row y; false when the row holds none.
bool RowSpan(const Triangle& triangle, int32_t y, int32_t* left, int32_t* right);

template <typename SpanFn>
void RasterizeTriangle(const Triangle& triangle, const RowBand& band, SpanFn&& span) {
  for (int32_t y = triangle.top; y <= triangle.bottom; ++y) {
    int32_t left, right;
    if (OwnsRow(band, y) && RowSpan(triangle, y, &left, &right)) span(y, left, right);
  }
}

}  // namespace raster
