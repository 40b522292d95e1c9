// StretchRect: copies a rectangle between default-pool surfaces (back buffer, render
// targets, offscreen plain surfaces), converting the format and resolving a
// multisampled source, with nearest-texel stretching. Depth/stencil surfaces, texture
// levels and linear filtering are not served (StretchRectFilterCaps says so).
#include <new>
#include <vector>

#include "device.h"
#include "resolve.h"
#include "texel_formats.h"
#include "validation.h"

namespace d3d9impl {
namespace {

// The surfaces StretchRect reads and writes.
bool Stretchable(Surface* surface) {
  return surface && surface->Pool() == D3DPOOL_DEFAULT && surface->Owner() != SurfaceOwner::TextureLevel &&
         !(surface->Usage() & D3DUSAGE_DEPTHSTENCIL) && !surface->Pixels().Locked();
}

// `rect`, or the whole surface when null; false when it is empty or reaches outside.
bool RectOn(const PixelStore& pixels, const RECT* rect, RECT* out) {
  *out = rect ? *rect : RECT{0, 0, LONG(pixels.Width()), LONG(pixels.Height())};
  return out->left >= 0 && out->top >= 0 && out->left < out->right && out->top < out->bottom &&
         uint32_t(out->right) <= pixels.Width() && uint32_t(out->bottom) <= pixels.Height();
}

// The source index of destination index `i` of `count` stretched from `sourceCount`:
// the source pixel under the destination pixel's centre.
uint32_t Nearest(uint32_t i, uint32_t count, uint32_t sourceCount) {
  return uint32_t((uint64_t{2} * i + 1) * sourceCount / (uint64_t{2} * count));
}

}  // namespace

HRESULT Device::StretchRect(IDirect3DSurface9* sourceSurface, const RECT* sourceRect, IDirect3DSurface9* destSurface,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
  auto* source = static_cast<Surface*>(sourceSurface);
  auto* dest = static_cast<Surface*>(destSurface);
  if (!Stretchable(source) || !Stretchable(dest) || source == dest)
    return InvalidCall("StretchRect: needs two unlocked default-pool colour surfaces");
  if (dest->Multisampled()) return InvalidCall("StretchRect: the destination is multisampled");
  RECT from, to;
  if (!RectOn(source->Pixels(), sourceRect, &from) || !RectOn(dest->Pixels(), destRect, &to))
    return InvalidCall("StretchRect: a rectangle is empty or outside its surface");
  const uint32_t sourceWidth = uint32_t(from.right - from.left), sourceHeight = uint32_t(from.bottom - from.top);
  const uint32_t width = uint32_t(to.right - to.left), height = uint32_t(to.bottom - to.top);
  bool stretched = sourceWidth != width || sourceHeight != height;
  if (filter != D3DTEXF_NONE && filter != D3DTEXF_POINT && (filter != D3DTEXF_LINEAR || stretched))
    return InvalidCall("StretchRect: only point filtering stretches");
  PixelStore& out = dest->Pixels();
  if (!raster::FindRowFromArgb(out.Format())) return InvalidCall("StretchRect: the destination format cannot be written");
  std::vector<uint32_t> image, row(width);
  try {
    image.resize(size_t{sourceWidth} * sourceHeight);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (!raster::ResolveToArgb(source->Pixels().ReadView(), uint32_t(from.left), uint32_t(from.top), sourceWidth,
                             sourceHeight, reinterpret_cast<uint8_t*>(image.data()), sourceWidth * 4))
    return InvalidCall("StretchRect: the source format cannot be read");
  const raster::FormatInfo* info = raster::FindFormat(out.Format());
  uint8_t* bits = out.Bits();
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* line = image.data() + size_t{Nearest(y, height, sourceHeight)} * sourceWidth;
    for (uint32_t x = 0; x < width; ++x) row[x] = line[Nearest(x, width, sourceWidth)];
    raster::ConvertRowFromArgb(out.Format(), row.data(), width,
                               bits + size_t(to.top + LONG(y)) * out.Pitch() + size_t(to.left) * info->blockBytes);
  }
  return D3D_OK;
}

}  // namespace d3d9impl
