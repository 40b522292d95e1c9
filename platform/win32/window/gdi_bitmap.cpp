// GDI bitmaps: 32-bit DIB sections whose memory the caller draws into, the monochrome
// AND/XOR bitmaps of icons and cursors, their description (GetObjectA) and their
// pixels as 32-bit rows (GetDIBits). Also colour cursors made from bitmaps.
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "gdi_objects.h"
#include "handles.h"
#include "win32ext.h"

namespace win32impl {
namespace {

// Large enough for any picture the program makes, small enough that a hostile header
// cannot ask for gigabytes.
constexpr LONG kMaxBitmapSide = 16384;

// A colour icon or cursor from CreateIconIndirect: copies of its two bitmaps.
struct ColourIcon {
  BOOL isIcon;
  DWORD hotX, hotY;
  std::shared_ptr<GdiBitmap> mask, colour;
};

struct ColourIconTable {
  std::mutex mutex;
  std::map<uint32_t, ColourIcon> icons;
};

ColourIconTable& ColourIcons() {
  static ColourIconTable table;
  return table;
}

std::shared_ptr<GdiBitmap> CopyBitmap(const GdiBitmap& source) {
  auto copy = std::make_shared<GdiBitmap>(source);
  copy->dibSection = false;
  return copy;
}

// The monochrome bitmap of a system image: the AND rows on top of the XOR rows.
std::shared_ptr<GdiBitmap> MaskFromImage(const win32ext::MonochromeImage& image) {
  std::shared_ptr<GdiBitmap> mask = MakeBitmap(image.width, image.height * 2, 1, true);
  if (!mask) return nullptr;
  for (LONG y = 0; y < image.height; ++y) {
    std::memcpy(mask->Row(y), image.andMask.data() + size_t(y) * size_t(image.Stride()), size_t(image.Stride()));
    std::memcpy(mask->Row(y + image.height), image.xorMask.data() + size_t(y) * size_t(image.Stride()),
                size_t(image.Stride()));
  }
  return mask;
}

bool ValidDibHeader(const BITMAPINFO* info, UINT usage) {
  if (!info || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  return header.biSize >= sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 && header.biBitCount == 32 &&
         header.biCompression == BI_RGB;
}

HBITMAP AddBitmap(std::shared_ptr<GdiBitmap> bitmap) { return static_cast<HBITMAP>(AddGdiObject(std::move(bitmap))); }

}  // namespace

uint32_t GdiBitmap::PixelRgb(LONG x, LONG y) const {
  const uint8_t* row = Row(y);
  if (bitsPerPixel == 1) return (row[x / 8] >> (7 - x % 8)) & 1 ? 0x00FFFFFFu : 0u;
  uint32_t pixel;
  std::memcpy(&pixel, row + size_t(x) * 4, sizeof pixel);
  return pixel & 0x00FFFFFFu;
}

std::shared_ptr<GdiBitmap> MakeBitmap(LONG width, LONG height, WORD bitsPerPixel, bool topDown) {
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
  auto* bitmap = new (std::nothrow) GdiBitmap;
  if (!bitmap) return nullptr;
  std::shared_ptr<GdiBitmap> owned(bitmap);
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bitsPerPixel = bitsPerPixel;
  bitmap->topDown = topDown;
  // 32-bit rows are whole pixels; monochrome rows are padded to 16 bits as device
  // bitmaps are.
  bitmap->stride = bitsPerPixel == 32 ? size_t(width) * 4 : size_t((width + 15) / 16 * 2);
  try {
    bitmap->bits.assign(bitmap->stride * size_t(height), 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return owned;
}

}  // namespace win32impl

using namespace win32impl;

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if ((dc && !FindDc(dc)) || section || !ValidDibHeader(info, usage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  LONG height = header.biHeight < 0 ? (header.biHeight == INT32_MIN ? 0 : -header.biHeight) : header.biHeight;
  std::shared_ptr<GdiBitmap> bitmap = MakeBitmap(header.biWidth, height, 32, header.biHeight < 0);
  if (!bitmap) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->dibSection = true;
  void* memory = bitmap->bits.data();
  HBITMAP handle = AddBitmap(std::move(bitmap));
  if (bits) *bits = memory;
  return handle;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  std::shared_ptr<GdiBitmap> bitmap = FindBitmap(object);
  if (!bitmap) {
    // Only bitmaps can be described.
    SetLastError(FindFont(object) ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!buffer) return sizeof(BITMAP);
  if (size < int(sizeof(BITMAP))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  BITMAP description{};
  description.bmWidth = bitmap->width;
  description.bmHeight = bitmap->height;
  description.bmWidthBytes = LONG(bitmap->stride);
  description.bmPlanes = 1;
  description.bmBitsPixel = bitmap->bitsPerPixel;
  description.bmBits = bitmap->dibSection ? bitmap->bits.data() : nullptr;
  std::memcpy(buffer, &description, sizeof description);
  return sizeof(BITMAP);
}

// Scan lines are counted from the bottom for a bottom-up request (positive height) and
// from the top for a top-down one, as the DIB being filled counts them.
int GetDIBits(HDC dc, HBITMAP handle, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage) {
  std::shared_ptr<GdiBitmap> bitmap = FindBitmap(handle);
  if (!FindDc(dc) || !bitmap || !bits || !ValidDibHeader(info, usage) || info->bmiHeader.biWidth != bitmap->width) {
    // Only 32-bit rows of the bitmap's own width are delivered.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool topDown = info->bmiHeader.biHeight < 0;
  auto* out = static_cast<uint32_t*>(bits);
  UINT copied = 0;
  for (; copied < lines && uint64_t(start) + copied < uint64_t(bitmap->height); ++copied) {
    LONG scanLine = LONG(start + copied);
    LONG y = topDown ? scanLine : bitmap->height - 1 - scanLine;
    for (LONG x = 0; x < bitmap->width; ++x) out[size_t(copied) * size_t(bitmap->width) + size_t(x)] = bitmap->PixelRgb(x, y);
  }
  return int(copied);
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<GdiBitmap> mask, colour;
  ICONINFO result{};
  if (const win32ext::MonochromeImage* image = win32ext::IconImage(icon)) {
    mask = MaskFromImage(*image);
    result = {IsCursorHandle(icon) ? FALSE : TRUE, DWORD(image->hotX), DWORD(image->hotY), nullptr, nullptr};
  } else {
    ColourIconTable& table = ColourIcons();
    std::lock_guard lock(table.mutex);
    auto found = table.icons.find(HandleValue(icon));
    if (found == table.icons.end()) {
      SetLastError(ERROR_INVALID_CURSOR_HANDLE);
      return FALSE;
    }
    mask = CopyBitmap(*found->second.mask);
    colour = CopyBitmap(*found->second.colour);
    result = {found->second.isIcon, found->second.hotX, found->second.hotY, nullptr, nullptr};
  }
  if (!mask) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  result.hbmMask = AddBitmap(std::move(mask));
  if (colour) result.hbmColor = AddBitmap(std::move(colour));
  *info = result;
  return TRUE;
}

HICON CreateIconIndirect(ICONINFO* info) {
  std::shared_ptr<GdiBitmap> mask = info ? FindBitmap(info->hbmMask) : nullptr;
  std::shared_ptr<GdiBitmap> colour = info ? FindBitmap(info->hbmColor) : nullptr;
  // Only colour images are made this way; the mask covers the colour bitmap exactly.
  if (!mask || !colour || mask->width != colour->width || mask->height != colour->height) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  BOOL isIcon = info->fIcon;
  DWORD hotX = isIcon ? DWORD(colour->width / 2) : info->xHotspot;
  DWORD hotY = isIcon ? DWORD(colour->height / 2) : info->yHotspot;
  HICON handle = MakeHandle<HICON>(NextHandleValue());
  ColourIconTable& table = ColourIcons();
  std::lock_guard lock(table.mutex);
  table.icons[HandleValue(handle)] = ColourIcon{isIcon, hotX, hotY, CopyBitmap(*mask), CopyBitmap(*colour)};
  return handle;
}

BOOL DestroyIcon(HICON icon) {
  // Shared system images stay; destroying one is harmless.
  if (win32ext::IconImage(icon)) return TRUE;
  ColourIconTable& table = ColourIcons();
  std::lock_guard lock(table.mutex);
  if (table.icons.erase(HandleValue(icon)) == 0) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  return TRUE;
}
