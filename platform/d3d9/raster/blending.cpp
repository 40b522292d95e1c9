// Blend factors and operations per channel.
#include "blending.h"

#include <algorithm>

namespace raster {
namespace {

int32_t Channel(uint32_t argb, int shift) { return static_cast<int32_t>((argb >> shift) & 0xff); }

// The factor (0..255) of one channel; `shift` 24 is alpha.
int32_t Factor(uint32_t mode, uint32_t src, uint32_t dst, uint32_t constant, int shift) {
  int32_t sa = Channel(src, 24), da = Channel(dst, 24);
  switch (mode) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return Channel(src, shift);
    case D3DBLEND_INVSRCCOLOR: return 255 - Channel(src, shift);
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    case D3DBLEND_DESTALPHA: return da;
    case D3DBLEND_INVDESTALPHA: return 255 - da;
    case D3DBLEND_DESTCOLOR: return Channel(dst, shift);
    case D3DBLEND_INVDESTCOLOR: return 255 - Channel(dst, shift);
    case D3DBLEND_SRCALPHASAT: return shift == 24 ? 255 : std::min(sa, 255 - da);
    case D3DBLEND_BLENDFACTOR: return Channel(constant, shift);
    case D3DBLEND_INVBLENDFACTOR: return 255 - Channel(constant, shift);
    default: return 255;
  }
}

int32_t Combine(uint32_t op, int32_t s, int32_t d, int32_t fs, int32_t fd) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return (s * fs - d * fd + 127) / 255;
    case D3DBLENDOP_REVSUBTRACT: return (d * fd - s * fs + 127) / 255;
    case D3DBLENDOP_MIN: return std::min(s, d);
    case D3DBLENDOP_MAX: return std::max(s, d);
    default: return (s * fs + d * fd + 127) / 255;
  }
}

}  // namespace

BlendSetup SetupBlend(const PipelineState& state) {
  const DWORD* rs = state.renderStates;
  BlendSetup b{};
  b.enabled = rs[D3DRS_ALPHABLENDENABLE] != 0;
  b.source = rs[D3DRS_SRCBLEND];
  b.destination = rs[D3DRS_DESTBLEND];
  // The BOTH modes set the destination factor from the source one.
  if (b.source == D3DBLEND_BOTHSRCALPHA) b.source = D3DBLEND_SRCALPHA, b.destination = D3DBLEND_INVSRCALPHA;
  if (b.source == D3DBLEND_BOTHINVSRCALPHA) b.source = D3DBLEND_INVSRCALPHA, b.destination = D3DBLEND_SRCALPHA;
  b.op = rs[D3DRS_BLENDOP];
  b.factor = rs[D3DRS_BLENDFACTOR];
  DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  b.writeMask = (mask & D3DCOLORWRITEENABLE_RED ? 0x00ff0000u : 0) |
                (mask & D3DCOLORWRITEENABLE_GREEN ? 0x0000ff00u : 0) |
                (mask & D3DCOLORWRITEENABLE_BLUE ? 0x000000ffu : 0) |
                (mask & D3DCOLORWRITEENABLE_ALPHA ? 0xff000000u : 0);
  return b;
}

uint32_t BlendPixel(const BlendSetup& blend, uint32_t source, uint32_t destination) {
  uint32_t out = source;
  if (blend.enabled) {
    out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      int32_t fs = Factor(blend.source, source, destination, blend.factor, shift);
      int32_t fd = Factor(blend.destination, source, destination, blend.factor, shift);
      int32_t v = Combine(blend.op, Channel(source, shift), Channel(destination, shift), fs, fd);
      out |= static_cast<uint32_t>(std::clamp(v, 0, 255)) << shift;
    }
  }
  return (out & blend.writeMask) | (destination & ~blend.writeMask);
}

}  // namespace raster
