// Depth formats and the depth-test state of a draw.
#include "depth_test.h"

#include "formats.h"

namespace raster {

bool DescribeDepth(const SurfaceView& surface, DepthBuffer* out) {
  const FormatInfo* info = FindFormat(surface.format);
  if (!surface.bits || !info || info->kind != FormatKind::Depth) return false;
  out->bits = surface.bits;
  out->pitch = surface.pitch;
  out->bytes = info->blockBytes;
  // Depth occupies the top bits of the word; stencil and padding sit below it.
  out->shift = info->blockBytes * 8 - info->depthBits;
  out->mask = static_cast<uint32_t>(((uint64_t{1} << info->depthBits) - 1) << out->shift);
  out->scale = static_cast<double>((uint64_t{1} << info->depthBits) - 1);
  out->planeBytes = size_t{surface.height} * surface.pitch;
  return true;
}

DepthTest SetupDepthTest(const PipelineState& state, const SurfaceView& depth) {
  DepthTest t{};
  // D3DZB_USEW is served as ordinary z buffering.
  bool enabled = state.renderStates[D3DRS_ZENABLE] != D3DZB_FALSE && DescribeDepth(depth, &t.buffer);
  t.test = enabled;
  t.write = enabled && state.renderStates[D3DRS_ZWRITEENABLE] != 0;
  t.orders = PassingOrders(state.renderStates[D3DRS_ZFUNC]);
  return t;
}

}  // namespace raster
