// D3DXLoadSurfaceFromSurface: a rectangle of one surface copied into a rectangle of
// another, converted between their formats and scaled with the filter asked for.
// Filters honoured: NONE (rectangles of one size), POINT, and TRIANGLE with mirrored
// edges on both axes; other filters, dithering and colour keys are refused.
#include <cstdint>
#include <utility>

#include "d3dx9tex.h"
#include "image_file.h"
#include "surface_pixels.h"

namespace {

constexpr DWORD kFilterKind = 0xFF;
constexpr DWORD kMirrorBoth = D3DX_FILTER_MIRROR_U | D3DX_FILTER_MIRROR_V;

uint32_t Width(const RECT& r) { return uint32_t(r.right - r.left); }
uint32_t Height(const RECT& r) { return uint32_t(r.bottom - r.top); }

// Each destination pixel takes the source pixel under its centre.
d3dximage::Pixels PointScaled(const d3dximage::Pixels& source, uint32_t sourceWidth, uint32_t sourceHeight,
                              uint32_t width, uint32_t height) {
  d3dximage::Pixels out(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    size_t sy = (2 * uint64_t(y) + 1) * sourceHeight / (2 * uint64_t(height));
    for (uint32_t x = 0; x < width; ++x) {
      size_t sx = (2 * uint64_t(x) + 1) * sourceWidth / (2 * uint64_t(width));
      out[size_t(y) * width + x] = source[sy * sourceWidth + sx];
    }
  }
  return out;
}

// Whether the filter is one this copy honours for rectangles of these sizes.
bool FilterHonoured(DWORD filter, bool sameSize) {
  DWORD kind = filter & kFilterKind, flags = filter & ~kFilterKind;
  if (kind == D3DX_FILTER_NONE) return sameSize && (flags & ~D3DX_FILTER_MIRROR) == 0;
  if (kind == D3DX_FILTER_POINT) return (flags & ~D3DX_FILTER_MIRROR) == 0;
  if (kind == D3DX_FILTER_TRIANGLE) return (flags & ~D3DX_FILTER_MIRROR) == 0 && (flags & kMirrorBoth) == kMirrorBoth;
  return false;
}

}  // namespace

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* destSurface, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface9* srcSurface,
                                   const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                   D3DCOLOR colorKey) {
  (void)destPalette;  // no palette format is supported by the surfaces
  (void)srcPalette;
  if (!destSurface || !srcSurface) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC srcDesc{}, destDesc{};
  if (FAILED(srcSurface->GetDesc(&srcDesc)) || FAILED(destSurface->GetDesc(&destDesc))) return D3DERR_INVALIDCALL;
  RECT from = srcRect ? *srcRect : RECT{0, 0, LONG(srcDesc.Width), LONG(srcDesc.Height)};
  RECT to = destRect ? *destRect : RECT{0, 0, LONG(destDesc.Width), LONG(destDesc.Height)};
  if (!d3dximpl::RectInside(from, srcDesc) || !d3dximpl::RectInside(to, destDesc)) return D3DERR_INVALIDCALL;
  bool sameSize = Width(from) == Width(to) && Height(from) == Height(to);
  if (colorKey != 0 || !FilterHonoured(filter, sameSize)) return E_NOTIMPL;
  d3dximage::Pixels source = d3dximpl::ReadRect(srcSurface, srcDesc, from);
  if (source.empty()) return D3DERR_INVALIDCALL;
  bool written;
  if (sameSize) {
    written = d3dximpl::WriteRect(destSurface, destDesc, to, source.data());
  } else if ((filter & kFilterKind) == D3DX_FILTER_POINT) {
    written = d3dximpl::WriteRect(destSurface, destDesc, to,
                                  PointScaled(source, Width(from), Height(from), Width(to), Height(to)).data());
  } else {
    d3dximage::ImageLevel level{Width(from), Height(from), std::move(source)};
    written = d3dximpl::WriteRect(destSurface, destDesc, to,
                                  d3dximage::Resize(level, Width(to), Height(to)).argb.data());
  }
  return written ? D3D_OK : D3DERR_INVALIDCALL;
}
