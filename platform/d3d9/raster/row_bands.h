// Large whole-image conversions (texture uploads, the renderer's texel copies) split into
// bands of rows, one thread each: every row is converted on its own, so the result is
// the same for any number of threads.
#pragma once

#include <stdint.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace raster {

// Images smaller than this are converted on the calling thread alone.
constexpr uint64_t kBandedPixels = 1u << 20;

// Runs work(first, last) over rows [0, height) in bands that start at multiples of
// `step` rows (a compressed format's block rows).
template <class Work>
void InRowBands(uint32_t width, uint32_t height, uint32_t step, const Work& work) {
  const uint32_t threads = uint64_t{width} * height >= kBandedPixels
                               ? std::clamp<uint32_t>(std::thread::hardware_concurrency(), 1, 64)
                               : 1;
  const uint32_t band = (height / threads + step - 1) / step * step;
  std::vector<std::thread> helpers;
  for (uint32_t first = band; band > 0 && first < height; first += band)
    helpers.emplace_back([&work, first, last = std::min(height, first + band)] { work(first, last); });
  work(0, helpers.empty() ? height : band);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace raster
