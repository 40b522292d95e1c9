// Texture levels converted into 32-bit A8R8G8B8 texels, kept per texture id until the
// texture's version changes or the device forgets it. Sampling reads only these copies
// (or, for 32-bit levels laid out as they are, the levels themselves).
// A level is converted the first time a draw may sample it, so a texture drawn without
// a mip filter costs only its first level here.
#pragma once

#include <stdint.h>

#include <unordered_map>

#include "fresh_memory.h"
#include "pipeline.h"

namespace raster {

constexpr uint32_t kMaxLevels = 16;

// Rows are `pitch` = width + 1 texels apart: after each row a copy of its first texel,
// so a filter reads a texel and its right neighbour under wrapping with one load. A
// level already in this layout (see TextureLevelView::wrapTexels) is read in place.
struct TexelLevel {
  const uint32_t* texels;
  uint32_t width;
  uint32_t height;
  uint32_t pitch;
};

struct TexelImage {
  uint64_t version = 0;
  uint32_t levelCount = 0;      // the texture's levels (0: it cannot be sampled)
  uint32_t convertedCount = 0;  // levels[0 .. convertedCount) hold texels
  TexelLevel levels[kMaxLevels] = {};
  FreshVector<uint32_t> storage[kMaxLevels];
};

class TextureCache {
 public:
  // The texture with at least its first `levelsNeeded` levels converted (at least one);
  // null when its format cannot be read or it has no levels.
  const TexelImage* Get(const TextureView& view, uint32_t levelsNeeded);
  void Forget(uint64_t id) { images_.erase(id); }

 private:
  std::unordered_map<uint64_t, TexelImage> images_;
};

}  // namespace raster
