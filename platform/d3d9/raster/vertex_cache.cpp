#include "vertex_cache.h"

#include "clipping.h"

namespace raster {

void VertexCache::Start(const VertexTransform* transform, const uint8_t* bits, uint32_t stride, uint32_t first,
                        uint32_t last, const Viewport& viewport, uint32_t varyings) {
  transform_ = transform;
  bits_ = bits;
  stride_ = stride;
  first_ = first;
  viewport_ = viewport;
  varyings_ = varyings;
  size_t count = size_t{last} - first + 1;
  if (clip_.size() < count) {
    clip_.resize(count);
    screen_.resize(count);
    outcodes_.resize(count);
  }
  steps_.assign(count, 0);
}

// The vertex's slot, with its position worked out.
size_t VertexCache::Slot(uint32_t number) {
  size_t slot = number - first_;
  if (!(steps_[slot] & kPositioned)) {
    transform_->Position(bits_ + uint64_t{number} * stride_, &clip_[slot]);
    outcodes_[slot] = static_cast<uint8_t>(ClipOutcode(clip_[slot].pos));
    steps_[slot] |= kPositioned;
  }
  return slot;
}

uint32_t VertexCache::Outcode(uint32_t number) { return outcodes_[Slot(number)]; }

const ClipVertex& VertexCache::Clip(uint32_t number) {
  size_t slot = Slot(number);
  if (!(steps_[slot] & kVaryings)) {
    transform_->Varyings(bits_ + uint64_t{number} * stride_, &clip_[slot]);
    steps_[slot] |= kVaryings;
  }
  return clip_[slot];
}

const ScreenVertex* VertexCache::Placed(uint32_t number) {
  size_t slot = Slot(number);
  if (!(steps_[slot] & kPlaced)) {
    bool onScreen = ProjectPosition(clip_[slot].pos, viewport_, &screen_[slot]);
    steps_[slot] |= onScreen ? kPlaced | kOnScreen : kPlaced;
  }
  return steps_[slot] & kOnScreen ? &screen_[slot] : nullptr;
}

const ScreenVertex& VertexCache::Screen(uint32_t number) {
  size_t slot = number - first_;
  if (!(steps_[slot] & kProjected)) {
    ProjectVaryings(Clip(number), varyings_, &screen_[slot]);
    steps_[slot] |= kProjected;
  }
  return screen_[slot];
}

}  // namespace raster
