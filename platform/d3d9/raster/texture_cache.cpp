// Conversion of texture levels into the cache. Compressed levels are read a row of
// 4x4 blocks at a time.
#include "texture_cache.h"

#include <algorithm>
#include <atomic>

#include "formats.h"
#include "row_bands.h"
#include "texel_formats.h"

namespace raster {
namespace {

// Rows [first, last) of a level (whole block rows for a compressed one): plain formats
// convert straight into the cache's rows, compressed ones a row of blocks at a time
// through a scratch buffer.
bool ConvertLevelRows(D3DFORMAT format, const FormatInfo& info, const TextureLevelView& level, uint32_t* out,
                      uint32_t first, uint32_t last) {
  uint32_t rows = info.blockSize;
  size_t width = level.width, pitch = width + 1;
  std::vector<uint32_t> blockRow(rows > 1 ? width * rows : 0);
  for (uint32_t y = first; y < last; y += rows) {
    const uint8_t* src = level.bits + size_t{y / rows} * level.pitch;
    uint32_t* dst = out + y * pitch;
    if (!ConvertRowToArgb(format, src, level.width, rows > 1 ? blockRow.data() : dst)) return false;
    uint32_t count = std::min(rows, level.height - y);
    for (uint32_t row = 0; row < count; ++row, dst += pitch) {
      if (rows > 1) std::copy_n(blockRow.data() + row * width, width, dst);
      dst[width] = dst[0];
    }
  }
  return true;
}

bool ConvertLevel(D3DFORMAT format, const FormatInfo& info, const TextureLevelView& level, uint32_t* out) {
  std::atomic<bool> converted{true};
  InRowBands(level.width, level.height, info.blockSize, [&](uint32_t first, uint32_t last) {
    if (!ConvertLevelRows(format, info, level, out, first, last)) converted = false;
  });
  return converted;
}

// Whether a level can be sampled where it lies: it carries its wrap texels, and its
// texels are A8R8G8B8 already, or X8R8G8B8 with every X byte 0xFF (as in a loaded
// picture), so that they read as the opaque colours a converted copy would hold.
bool SampledInPlace(D3DFORMAT format, const TextureLevelView& level) {
  if (!level.wrapTexels || level.pitch != (uint64_t{level.width} + 1) * 4 ||
      (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
    return false;
  if (format == D3DFMT_A8R8G8B8) return true;
  std::atomic<bool> opaque{true};
  InRowBands(level.width, level.height, 1, [&](uint32_t first, uint32_t last) {
    uint32_t all = 0xFF000000u;
    for (uint32_t y = first; y < last; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(level.bits + size_t{y} * level.pitch);
      for (uint32_t x = 0; x < level.width; ++x) all &= row[x];
    }
    if (all != 0xFF000000u) opaque = false;
  });
  return opaque;
}

// Converts levels convertedCount .. count-1; false leaves the image unusable.
bool ConvertLevels(const TextureView& view, uint32_t count, TexelImage* image) {
  const FormatInfo* info = FindFormat(view.format);
  if (!info || !view.levels) return false;
  for (uint32_t i = image->convertedCount; i < count; ++i) {
    const TextureLevelView& level = view.levels[i];
    if (level.width == 0 || level.height == 0 || !level.bits) return false;
    FreshVector<uint32_t>& storage = image->storage[i];
    const uint32_t* texels = reinterpret_cast<const uint32_t*>(level.bits);
    if (SampledInPlace(view.format, level)) {
      FreshVector<uint32_t>().swap(storage);  // a copy made before is not needed now
    } else {
      storage.resize((size_t{level.width} + 1) * level.height);
      if (!ConvertLevel(view.format, *info, level, storage.data())) return false;
      texels = storage.data();
    }
    image->levels[i] = {texels, level.width, level.height, level.width + 1};
    image->convertedCount = i + 1;
  }
  return true;
}

}  // namespace

const TexelImage* TextureCache::Get(const TextureView& view, uint32_t levelsNeeded) {
  auto [found, added] = images_.try_emplace(view.id);
  TexelImage& image = found->second;
  if (added || image.version != view.version) {
    image.version = view.version;
    image.levelCount = std::min(view.levelCount, kMaxLevels);
    image.convertedCount = 0;
  }
  uint32_t count = std::clamp(levelsNeeded, 1u, std::max(image.levelCount, 1u));
  if (image.levelCount && !ConvertLevels(view, count, &image)) image.levelCount = 0;
  return image.levelCount ? &image : nullptr;
}

}  // namespace raster
