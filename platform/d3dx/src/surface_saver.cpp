// D3DXSaveSurfaceToFileA: a rectangle of a surface, read through its lock and
// converted to 32-bit pixels (A8R8G8B8 surfaces as they are), written as a BMP file.
#include <span>
#include <vector>

#include "d3dx9tex.h"
#include "file_access.h"
#include "image_file.h"
#include "surface_pixels.h"

namespace {

using d3dximpl::ReadRect;
using d3dximpl::RectInside;

// An A8R8G8B8 surface already holds the file's B,G,R,A bytes: the rows are written from
// the locked surface itself, with no copy.
HRESULT SaveArgbRect(const char* destFile, IDirect3DSurface9* surface, const RECT& r) {
  uint32_t width = uint32_t(r.right - r.left), height = uint32_t(r.bottom - r.top);
  d3dximage::Bmp32Layout layout = d3dximage::Bmp32Headers(width, height);
  if (!layout.fits) return D3DERR_INVALIDCALL;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, &r, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
  static const uint8_t kZeros[4] = {};
  thread_local std::vector<std::span<const uint8_t>> pieces;  // kept: no allocation per frame
  pieces.clear();
  pieces.emplace_back(layout.headers);
  const auto* bits = static_cast<const uint8_t*>(locked.pBits);
  for (uint32_t y = height; y-- > 0;) pieces.emplace_back(bits + size_t(y) * uint32_t(locked.Pitch), size_t(width) * 4);
  pieces.emplace_back(kZeros, layout.paddingBytes);
  HRESULT result = d3dximpl::WriteWholeFile(destFile, pieces);
  surface->UnlockRect();
  return result;
}

}  // namespace

HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* srcSurface,
                               const PALETTEENTRY* srcPalette, const RECT* srcRect) {
  (void)srcPalette;  // 32-bit files carry no palette
  if (!destFile || !srcSurface) return D3DERR_INVALIDCALL;
  if (format != D3DXIFF_BMP) return E_NOTIMPL;
  D3DSURFACE_DESC desc{};
  HRESULT result = srcSurface->GetDesc(&desc);
  if (FAILED(result)) return result;
  RECT r = srcRect ? *srcRect : RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
  if (!RectInside(r, desc)) return D3DERR_INVALIDCALL;
  if (desc.Format == D3DFMT_A8R8G8B8) return SaveArgbRect(destFile, srcSurface, r);
  d3dximage::Pixels pixels = ReadRect(srcSurface, desc, r);
  if (pixels.empty()) return D3DERR_INVALIDCALL;
  uint32_t width = uint32_t(r.right - r.left), height = uint32_t(r.bottom - r.top);
  std::vector<uint8_t> file = d3dximage::EncodeBmp32(width, height, pixels.data(), width);
  if (file.empty()) return D3DERR_INVALIDCALL;
  return d3dximpl::WriteWholeFile(destFile, file);
}
