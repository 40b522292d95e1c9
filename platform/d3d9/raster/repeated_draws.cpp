// Draws that repeat: their inputs as bytes, and the pixels they wrote found by drawing
// into two differently filled copies of the targets.
#include "repeated_draws.h"

#include <string.h>

#include <algorithm>

#include "formats.h"

namespace raster {
namespace {

void AppendBytes(std::vector<uint8_t>* out, const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  out->insert(out->end(), p, p + count);
}

template <class T>
void Append(std::vector<uint8_t>* out, const T& value) {
  AppendBytes(out, &value, sizeof value);
}

// Member by member, so that no padding byte takes part.
void AppendState(const PipelineState& s, std::vector<uint8_t>* out) {
  Append(out, s.world);
  Append(out, s.view);
  Append(out, s.projection);
  Append(out, s.textureTransform);
  Append(out, s.renderStates);
  Append(out, s.stageStates);
  Append(out, s.samplerStates);
  Append(out, s.material);
  Append(out, s.lightCount);
  AppendBytes(out, s.lights, sizeof(D3DLIGHT9) * std::min(s.lightCount, kMaxLights));
  Append(out, s.viewport);
  // A texture by identity and contents: its id is never reused, its version changes
  // with every change of its texels.
  for (const TextureView* texture : s.textures) {
    uint64_t identity[3] = {texture != nullptr, texture ? texture->id : 0, texture ? texture->version : 0};
    Append(out, identity);
  }
}

void AppendShape(const SurfaceView& s, std::vector<uint8_t>* out) {
  uint32_t shape[7] = {s.bits != nullptr, s.width, s.height, s.pitch, uint32_t(s.format), s.samples, s.nonmaskable};
  Append(out, shape);
}

void BuildKey(const DrawInputs& in, std::vector<uint8_t>* key) {
  key->clear();
  AppendState(in.state, key);
  AppendShape(in.targets.color, key);
  AppendShape(in.targets.depth, key);
  const DrawCall& c = in.call;
  uint32_t call[8] = {uint32_t(c.type), c.primitiveCount, c.startVertex, uint32_t(c.baseVertex), c.startIndex,
                      in.vertices.size, in.vertices.stride, in.vertices.fvf};
  Append(key, call);
  // The vertices the draw names, and the indices it reads.
  const VertexStream& v = in.vertices;
  uint64_t from = uint64_t{in.firstVertex} * v.stride;
  AppendBytes(key, v.bits + from, uint64_t{in.lastVertex} * v.stride + in.vertexSize - from);
  if (in.indices) {
    uint32_t width = in.indices->wide ? 4 : 2;
    Append(key, width);
    AppendBytes(key, in.indices->bits + uint64_t{c.startIndex} * width, in.source.positionsUsed() * width);
  }
}

// Bytes of one pixel of a surface, 0 when it has none.
uint32_t PixelBytes(const SurfaceView& surface) {
  const FormatInfo* info = surface.bits ? FindFormat(surface.format) : nullptr;
  return info && info->blockSize == 1 ? info->blockBytes : 0;
}

size_t PlaneRows(const SurfaceView& surface) { return size_t{surface.height} * surface.samples; }

uint8_t* RowAt(const SurfaceView& surface, size_t row) { return surface.bits + row * surface.pitch; }

// A depth word's reader and writer for words of `bytes` bytes.
DepthBuffer Words(uint32_t bytes) {
  DepthBuffer words{};
  words.bytes = bytes;
  return words;
}

}  // namespace

bool IgnoresTargets(const DrawPipeline& pipeline) {
  return !pipeline.readsTarget && (!pipeline.depth.test || pipeline.depth.orders == kAllOrders);
}

DrawnPixels::Scratch::Scratch(const Targets& shape, uint8_t fill) : targets(shape) {
  color.assign(PlaneRows(shape.color) * shape.color.pitch, fill);
  targets.color.bits = color.data();
  if (shape.depth.bits) {
    depth.assign(PlaneRows(shape.depth) * shape.depth.pitch, fill);
    targets.depth.bits = depth.data();
  }
}

// A pixel both draws left as they found it differs between the copies in every bit it
// kept; one the draw wrote is the same in both, but for the bits in `keep`.
void DrawnPixels::KeepPlane(const SurfaceView& a, const SurfaceView& b, uint32_t bytes, uint32_t keep,
                            Plane* out) {
  *out = Plane{};
  out->bytes = bytes;
  out->keep = keep;
  if (!bytes) return;
  const DepthBuffer words = Words(bytes);
  for (size_t row = 0; row < PlaneRows(a); ++row) {
    const uint8_t* pa = RowAt(a, row);
    const uint8_t* pb = RowAt(b, row);
    for (uint32_t x = 0; x < a.width;) {
      auto written = [&](uint32_t i) {
        return keep ? ((LoadDepthWord(words, pa + i * bytes) ^ LoadDepthWord(words, pb + i * bytes)) & ~keep) == 0
                    : memcmp(pa + i * bytes, pb + i * bytes, bytes) == 0;
      };
      if (!written(x)) {
        ++x;
        continue;
      }
      uint32_t end = x + 1;
      while (end < a.width && written(end)) ++end;
      out->runs.push_back({static_cast<uint32_t>(row), x, end - x, out->values.size()});
      AppendBytes(&out->values, pa + size_t{x} * bytes, size_t{end - x} * bytes);
      x = end;
    }
  }
}

void DrawnPixels::Keep(const Targets& targets, const Scratch& first, const Scratch& second) {
  captured_ = false;
  KeepPlane(first.targets.color, second.targets.color, PixelBytes(targets.color), 0, &color_);
  DepthBuffer depth;
  bool hasDepth = DescribeDepth(targets.depth, &depth);
  uint32_t wordBits = hasDepth ? depth.bytes * 8 : 0;
  uint32_t keep = hasDepth ? ~depth.mask & static_cast<uint32_t>((uint64_t{1} << wordBits) - 1) : 0;
  KeepPlane(first.targets.depth, second.targets.depth, hasDepth ? depth.bytes : 0, keep, &depth_);
  captured_ = true;
}

// Band `band` of `bands` takes an equal share of the planes' rows.
void DrawnPixels::ReplayRows(const Plane& plane, const SurfaceView& surface, uint32_t band, uint32_t bands) {
  size_t rows = PlaneRows(surface);
  uint32_t top = static_cast<uint32_t>(rows * band / bands), bottom = static_cast<uint32_t>(rows * (band + 1) / bands);
  auto run = std::lower_bound(plane.runs.begin(), plane.runs.end(), top,
                              [](const Run& r, uint32_t row) { return r.row < row; });
  for (; run != plane.runs.end() && run->row < bottom; ++run) {
    uint8_t* to = RowAt(surface, run->row) + size_t{run->left} * plane.bytes;
    const uint8_t* from = plane.values.data() + run->at;
    if (!plane.keep) {
      memcpy(to, from, size_t{run->count} * plane.bytes);
      continue;
    }
    const DepthBuffer words = Words(plane.bytes);
    for (uint32_t i = 0; i < run->count; ++i, to += plane.bytes, from += plane.bytes)
      StoreDepthWord(words, to, (LoadDepthWord(words, from) & ~plane.keep) | (LoadDepthWord(words, to) & plane.keep));
  }
}

void DrawnPixels::Replay(const Targets& targets, BandWorkers& workers) const {
  workers.Run([&](uint32_t band) {
    ReplayRows(color_, targets.color, band, workers.count());
    if (depth_.bytes) ReplayRows(depth_, targets.depth, band, workers.count());
  });
}

DrawnPixels* RepeatedDraws::Find(const DrawInputs& inputs) {
  // Keeping a draw takes two scratch copies of its targets and its pixels: not for
  // targets so large that memory would run short before an allocation could fail.
  const Targets& t = inputs.targets;
  uint64_t targetBytes = uint64_t{PlaneRows(t.color)} * t.color.pitch + uint64_t{PlaneRows(t.depth)} * t.depth.pitch;
  if (targetBytes > kMaxTargetBytes) return nullptr;
  BuildKey(inputs, &probe_);
  ++clock_;
  for (Entry& entry : entries_) {
    if (entry.key != probe_) continue;
    entry.lastUse = clock_;
    return &entry.pixels;
  }
  // A first sighting: it takes the place of the draw used longest ago.
  if (entries_.size() < kEntries) {
    entries_.emplace_back();
  }
  Entry& slot = *std::min_element(entries_.begin(), entries_.end(),
                                  [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
  slot = Entry{};
  slot.key.swap(probe_);
  slot.lastUse = clock_;
  return nullptr;
}

}  // namespace raster
