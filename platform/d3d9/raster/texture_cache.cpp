// Conversion of texture levels into the cache. Compressed levels are read a row of
// 4x4 blocks at a time.
#include "texture_cache.h"

#include <algorithm>

#include "formats.h"
#include "texel_formats.h"

namespace raster {
namespace {

size_t PaddedSize(const TextureLevelView& level) { return (size_t{level.width} + 1) * level.height; }

bool ConvertLevel(D3DFORMAT format, const FormatInfo& info, const TextureLevelView& level,
                  uint32_t* out) {
  uint32_t rows = info.blockSize;
  size_t width = level.width, pitch = width + 1;
  std::vector<uint32_t> blockRow(width * rows);
  for (uint32_t y = 0; y < level.height; y += rows) {
    const uint8_t* src = level.bits + size_t{y / rows} * level.pitch;
    if (!ConvertRowToArgb(format, src, level.width, blockRow.data())) return false;
    uint32_t count = std::min(rows, level.height - y);
    for (uint32_t row = 0; row < count; ++row) {
      uint32_t* dst = out + (y + row) * pitch;
      std::copy_n(blockRow.data() + row * width, width, dst);
      dst[width] = dst[0];
    }
  }
  return true;
}

bool Convert(const TextureView& view, TexelImage* image) {
  const FormatInfo* info = FindFormat(view.format);
  if (!info || view.levelCount == 0 || !view.levels) return false;
  image->levelCount = std::min(view.levelCount, kMaxLevels);
  size_t total = 0;
  for (uint32_t i = 0; i < image->levelCount; ++i) {
    total += PaddedSize(view.levels[i]);
  }
  image->storage.assign(total, 0);
  size_t at = 0;
  for (uint32_t i = 0; i < image->levelCount; ++i) {
    const TextureLevelView& level = view.levels[i];
    if (level.width == 0 || level.height == 0 || !level.bits) return false;
    uint32_t* out = image->storage.data() + at;
    if (!ConvertLevel(view.format, *info, level, out)) return false;
    image->levels[i] = {out, level.width, level.height, level.width + 1};
    at += PaddedSize(level);
  }
  return true;
}

}  // namespace

const TexelImage* TextureCache::Get(const TextureView& view) {
  auto found = images_.find(view.id);
  if (found != images_.end() && found->second.version == view.version) {
    return found->second.levelCount ? &found->second : nullptr;
  }
  TexelImage& image = images_[view.id];
  image.version = view.version;
  if (!Convert(view, &image)) image.levelCount = 0;
  return image.levelCount ? &image : nullptr;
}

}  // namespace raster
