// Converting a cursor into a device cursor image: the AND mask decides which pixels
// are opaque (0) or fully transparent (1); the opaque ones take their colour from the
// XOR half of a monochrome cursor or from a colour cursor's colour bitmap. Pixels that
// would invert the screen have no equivalent in an image and show nothing.
#include "device_cursor.h"

#include <new>
#include <vector>

namespace {

// Side limit of the cursor bitmaps read; far above any real cursor.
constexpr LONG kMaxCursorSide = 1024;

// Three small glyphs, 3 pixels wide with 1-pixel gaps, leftmost pixel in bit 15.
constexpr WORD kMarkRows[5] = {0xCCC0, 0xA2A0, 0xA4A0, 0xA2A0, 0xCCC0};

// Everything one conversion holds, released on every path.
struct CursorWork {
  ICONINFO icon{};
  HDC screen = nullptr;
  HDC maskDc = nullptr;
  HDC colourDc = nullptr;
  std::vector<DWORD> mask, colour;
  IDirect3DSurface9* surface = nullptr;

  ~CursorWork() {
    if (icon.hbmMask) DeleteObject(icon.hbmMask);
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
    if (screen) ReleaseDC(nullptr, screen);
    if (maskDc) DeleteDC(maskDc);
    if (colourDc) DeleteDC(colourDc);
    if (surface) surface->Release();
  }
};

bool Allocate(std::vector<DWORD>& buffer, size_t pixels) {
  try {
    buffer.assign(pixels, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Reads `rows` bottom-up 32-bit rows of a bitmap through a new memory context.
bool ReadBitmap(HDC screen, HDC& dc, HBITMAP bitmap, LONG width, LONG rows, std::vector<DWORD>& pixels) {
  dc = CreateCompatibleDC(screen);
  if (!dc) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = rows;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return GetDIBits(dc, bitmap, 0, UINT(rows), pixels.data(), &info, DIB_RGB_COLORS) == rows;
}

DWORD ImagePixel(const CursorWork& work, LONG x, LONG y, LONG width, LONG imageHeight, LONG sourceHeight,
                 bool addMark) {
  bool monochrome = !work.icon.hbmColor;
  size_t colourAt = size_t(imageHeight - 1 - y) * size_t(width) + size_t(x);
  size_t andAt = size_t((monochrome ? sourceHeight : imageHeight) - 1 - y) * size_t(width) + size_t(x);
  DWORD colour = monochrome ? work.mask[colourAt] : work.colour[colourAt];
  DWORD pixel = work.mask[andAt] == 0 ? 0xFF000000u | colour : 0x00000000u;
  if (addMark && x < 12 && y < 5 && (kMarkRows[y] >> (15 - x) & 1)) pixel |= 0xFF808080u;
  return pixel;
}

}  // namespace

HRESULT SetDeviceCursor(IDirect3DDevice9* device, HCURSOR cursor, bool addMark) {
  CursorWork work;
  if (!device || !GetIconInfo(cursor, &work.icon)) return E_FAIL;
  BITMAP description{};
  if (!GetObjectA(work.icon.hbmMask, sizeof description, &description)) return E_FAIL;
  LONG width = description.bmWidth, sourceHeight = description.bmHeight;
  bool monochrome = !work.icon.hbmColor;
  LONG imageHeight = monochrome ? sourceHeight / 2 : sourceHeight;
  if (width < 1 || imageHeight < 1 || width > kMaxCursorSide || sourceHeight > 2 * kMaxCursorSide) return E_FAIL;
  HRESULT result = device->CreateOffscreenPlainSurface(UINT(width), UINT(imageHeight), D3DFMT_A8R8G8B8,
                                                       D3DPOOL_SCRATCH, &work.surface, nullptr);
  if (FAILED(result)) return result;
  if (!Allocate(work.mask, size_t(width) * size_t(sourceHeight)) ||
      (!monochrome && !Allocate(work.colour, size_t(width) * size_t(imageHeight))))
    return E_OUTOFMEMORY;
  work.screen = GetDC(nullptr);
  if (!ReadBitmap(work.screen, work.maskDc, work.icon.hbmMask, width, sourceHeight, work.mask)) return E_FAIL;
  if (!monochrome && !ReadBitmap(work.screen, work.colourDc, work.icon.hbmColor, width, imageHeight, work.colour))
    return E_FAIL;
  D3DLOCKED_RECT locked;
  result = work.surface->LockRect(&locked, nullptr, 0);
  if (FAILED(result)) return result;
  auto* row = static_cast<BYTE*>(locked.pBits);
  for (LONG y = 0; y < imageHeight; ++y, row += locked.Pitch) {
    auto* out = reinterpret_cast<DWORD*>(row);
    for (LONG x = 0; x < width; ++x) out[x] = ImagePixel(work, x, y, width, imageHeight, sourceHeight, addMark);
  }
  work.surface->UnlockRect();
  return device->SetCursorProperties(work.icon.xHotspot, work.icon.yHotspot, work.surface);
}
