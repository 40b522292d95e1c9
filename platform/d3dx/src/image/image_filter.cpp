// Resampling with a triangle (tent) filter and mirrored edges, as the texture loader
// asks for (D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR): mip chains and fitting a
// picture into the device's largest texture. Channels are filtered independently.
#include <algorithm>
#include <bit>
#include <cmath>

#include "image_file.h"

namespace d3dximage {
namespace {

// Reflects an index outside 0..size-1 back inside, edge pixels repeated (-1 -> 0).
uint32_t Mirror(int64_t i, uint32_t size) {
  int64_t period = 2 * int64_t(size);
  int64_t m = ((i % period) + period) % period;
  return uint32_t(m < size ? m : period - 1 - m);
}

// The source pixels and weights that make each destination pixel along one axis.
struct AxisTaps {
  std::vector<uint32_t> first;  // per destination pixel: its first tap, plus an end mark
  std::vector<uint32_t> index;
  std::vector<float> weight;
};

// The tent is as wide as the scale factor when shrinking (so every source pixel
// counts) and one pixel when enlarging (plain linear interpolation).
AxisTaps ComputeTaps(uint32_t sourceSize, uint32_t destSize) {
  AxisTaps taps;
  const double ratio = double(sourceSize) / destSize;
  const double radius = std::max(1.0, ratio);
  for (uint32_t d = 0; d < destSize; ++d) {
    taps.first.push_back(uint32_t(taps.index.size()));
    const double centre = (d + 0.5) * ratio - 0.5;
    double total = 0;
    for (int64_t i = int64_t(std::ceil(centre - radius)); i <= int64_t(std::floor(centre + radius)); ++i) {
      double w = 1.0 - std::abs(double(i) - centre) / radius;
      if (w <= 0) continue;
      taps.index.push_back(Mirror(i, sourceSize));
      taps.weight.push_back(float(w));
      total += w;
    }
    for (size_t t = taps.first.back(); t < taps.weight.size(); ++t) taps.weight[t] = float(taps.weight[t] / total);
  }
  taps.first.push_back(uint32_t(taps.index.size()));
  return taps;
}

// Filters `count` lines of 4-channel samples along one axis: a sample's neighbours
// along the axis are `step` floats apart, lines `lineStep` apart.
template <typename In, typename Out>
void FilterAxis(const AxisTaps& taps, const In* in, size_t inStep, size_t inLineStep, Out* out,
                size_t outStep, size_t outLineStep, size_t lines, auto load, auto store) {
  const size_t dest = taps.first.size() - 1;
  for (size_t line = 0; line < lines; ++line) {
    for (size_t d = 0; d < dest; ++d) {
      float sum[4] = {0, 0, 0, 0};
      for (uint32_t t = taps.first[d]; t < taps.first[d + 1]; ++t) {
        const In* s = in + line * inLineStep + taps.index[t] * inStep;
        for (unsigned c = 0; c < 4; ++c) sum[c] += taps.weight[t] * load(s, c);
      }
      store(out + line * outLineStep + d * outStep, sum);
    }
  }
}

}  // namespace

uint32_t FullMipCount(uint32_t width, uint32_t height) {
  return uint32_t(std::bit_width(std::max({width, height, 1u})));
}

ImageLevel Resize(const ImageLevel& source, uint32_t width, uint32_t height) {
  ImageLevel result{width, height, Pixels(size_t(width) * height)};
  const AxisTaps across = ComputeTaps(source.width, width);
  const AxisTaps down = ComputeTaps(source.height, height);
  // Rows first into floats (width x source height, 4 channels), then columns.
  std::vector<float> middle(size_t(width) * source.height * 4);
  auto loadArgb = [](const uint32_t* p, unsigned c) { return float((*p >> (8 * c)) & 0xFF); };
  auto storeFloat = [](float* p, const float* sum) { std::copy_n(sum, 4, p); };
  auto loadFloat = [](const float* p, unsigned c) { return p[c]; };
  auto storeArgb = [](uint32_t* p, const float* sum) {
    uint32_t v = 0;
    for (unsigned c = 0; c < 4; ++c) v |= uint32_t(std::clamp(sum[c] + 0.5f, 0.0f, 255.0f)) << (8 * c);
    *p = v;
  };
  FilterAxis(across, source.argb.data(), 1, source.width, middle.data(), 4, size_t(width) * 4,
             source.height, loadArgb, storeFloat);
  FilterAxis(down, middle.data(), size_t(width) * 4, 4, result.argb.data(), width, 1, width,
             loadFloat, storeArgb);
  return result;
}

ImageLevel NextMipLevel(const ImageLevel& level) {
  return Resize(level, std::max(1u, level.width / 2), std::max(1u, level.height / 2));
}

void BuildMipChain(std::vector<ImageLevel>& levels, uint32_t levelCount) {
  if (levels.empty()) return;
  const uint32_t full = FullMipCount(levels[0].width, levels[0].height);
  const uint32_t count = levelCount == 0 ? full : std::min(levelCount, full);
  levels.resize(1);
  levels.reserve(count);
  while (levels.size() < count) levels.push_back(NextMipLevel(levels.back()));
}

}  // namespace d3dximage
