#include "surface_pixels.h"

#include "texel_formats.h"

namespace d3dximpl {

bool RectInside(const RECT& r, const D3DSURFACE_DESC& desc) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         UINT(r.right) <= desc.Width && UINT(r.bottom) <= desc.Height;
}

d3dximage::Pixels ReadRect(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, const RECT& r) {
  d3dximage::Pixels pixels;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, &r, D3DLOCK_READONLY))) return pixels;
  uint32_t width = uint32_t(r.right - r.left), height = uint32_t(r.bottom - r.top);
  pixels.resize(size_t(width) * height);
  if (!raster::ConvertRect(desc.Format, static_cast<const uint8_t*>(locked.pBits), uint32_t(locked.Pitch),
                           D3DFMT_A8R8G8B8, reinterpret_cast<uint8_t*>(pixels.data()), width * 4, width,
                           height))
    pixels.clear();
  surface->UnlockRect();
  return pixels;
}

bool WriteRect(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, const RECT& r, const uint32_t* pixels) {
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, &r, 0))) return false;
  uint32_t width = uint32_t(r.right - r.left), height = uint32_t(r.bottom - r.top);
  bool converted = raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(pixels), width * 4,
                                       desc.Format, static_cast<uint8_t*>(locked.pBits), uint32_t(locked.Pitch),
                                       width, height);
  surface->UnlockRect();
  return converted;
}

}  // namespace d3dximpl
