// Deferred mip levels: level 1 from level 0, then each level from the one before.
#include "deferred_mips.h"

#include <new>

#include "texel_formats.h"

namespace d3dximpl {
namespace {

// 32-bit formats hold level 0's ARGB unchanged. X8R8G8B8 reads back opaque, which
// changes only alpha, and the filter works on each channel alone: the colours below
// come out the same and their alpha is dropped again when written.
bool GivesBackArgb(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

}  // namespace

DeferredMipChain::DeferredMipChain(D3DFORMAT format, d3dximage::ImageLevel top)
    : format_(format), topWidth_(top.width), topHeight_(top.height) {
  if (!GivesBackArgb(format)) last_ = std::move(top);
}

bool DeferredMipChain::Fill(UINT level, const D3DLOCKED_RECT& top, const D3DLOCKED_RECT& out) {
  (void)level;  // levels come in order, each made from last_
  try {
    if (last_.argb.empty()) {
      last_ = {topWidth_, topHeight_, d3dximage::Pixels(size_t(topWidth_) * topHeight_)};
      raster::ConvertRect(format_, static_cast<const uint8_t*>(top.pBits), uint32_t(top.Pitch),
                          D3DFMT_A8R8G8B8, reinterpret_cast<uint8_t*>(last_.argb.data()), topWidth_ * 4,
                          topWidth_, topHeight_);
    }
    d3dximage::ImageLevel next = d3dximage::NextMipLevel(last_);
    raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(next.argb.data()), next.width * 4,
                        format_, static_cast<uint8_t*>(out.pBits), uint32_t(out.Pitch), next.width,
                        next.height);
    last_ = std::move(next);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace d3dximpl
