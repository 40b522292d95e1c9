// Device contexts and the GDI handle table: the screen context, memory contexts,
// selection of fonts and bitmaps, text colours and alignment, and the context's facts
// (96 pixels per inch, 32 bits per pixel). Drawing and measuring live in gdi_font.cpp.
#include <climits>
#include <map>
#include <mutex>
#include <variant>

#include "gdi_objects.h"
#include "handles.h"

namespace win32impl {
namespace {

using GdiObject = std::variant<std::shared_ptr<GdiBitmap>, std::shared_ptr<GdiFont>, std::shared_ptr<GdiDc>>;

struct Entry {
  GdiObject object;
  bool stock = false;
};

struct GdiTable {
  std::mutex mutex;
  std::map<uint32_t, Entry> entries;
};

GdiTable& Table() {
  static GdiTable table;
  return table;
}

HGDIOBJ Add(GdiObject object, bool stock) {
  HGDIOBJ handle = MakeHandle<HGDIOBJ>(NextHandleValue());
  GdiTable& table = Table();
  std::lock_guard lock(table.mutex);
  table.entries[HandleValue(handle)] = Entry{std::move(object), stock};
  return handle;
}

template <class T>
std::shared_ptr<T> Find(const void* handle) {
  GdiTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.entries.find(HandleValue(handle));
  if (found == table.entries.end()) return nullptr;
  auto* object = std::get_if<std::shared_ptr<T>>(&found->second.object);
  return object ? *object : nullptr;
}

HGDIOBJ AddStockObject(GdiObject object) { return Add(std::move(object), true); }

std::shared_ptr<GdiDc> NewDc(bool screen) {
  auto dc = std::make_shared<GdiDc>();
  dc->screen = screen;
  dc->fontHandle = DefaultFontHandle();
  dc->font = FindFont(dc->fontHandle);
  dc->bitmapHandle = DefaultBitmapHandle();
  dc->bitmap = FindBitmap(dc->bitmapHandle);
  return dc;
}

std::shared_ptr<GdiDc> FindDcOrFail(HDC handle) {
  std::shared_ptr<GdiDc> dc = FindDc(handle);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

}  // namespace

HGDIOBJ AddGdiObject(std::shared_ptr<GdiBitmap> bitmap) { return Add(std::move(bitmap), false); }
HGDIOBJ AddGdiObject(std::shared_ptr<GdiFont> font) { return Add(std::move(font), false); }
HGDIOBJ AddGdiObject(std::shared_ptr<GdiDc> dc) { return Add(std::move(dc), false); }
std::shared_ptr<GdiBitmap> FindBitmap(HGDIOBJ handle) { return Find<GdiBitmap>(handle); }
std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle) { return Find<GdiFont>(handle); }
std::shared_ptr<GdiDc> FindDc(HDC handle) { return Find<GdiDc>(handle); }

bool RemoveGdiObject(HGDIOBJ handle) {
  GdiTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.entries.find(HandleValue(handle));
  if (found == table.entries.end()) return false;
  if (!found->second.stock) table.entries.erase(found);
  return true;
}

HGDIOBJ DefaultFontHandle() {
  static HGDIOBJ handle = [] {
    std::shared_ptr<GdiFont> font = MakeSystemFont();
    return font ? AddStockObject(std::move(font)) : nullptr;
  }();
  return handle;
}

HGDIOBJ DefaultBitmapHandle() {
  static HGDIOBJ handle = AddStockObject(MakeBitmap(1, 1, 1, true));
  return handle;
}

}  // namespace win32impl

using namespace win32impl;

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t product = int64_t(number) * numerator, divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  int64_t rounded = (product >= 0 ? product + divisor / 2 : product - divisor / 2) / divisor;
  return rounded > INT_MAX || rounded < INT_MIN ? -1 : int(rounded);
}

HDC GetDC(HWND window) {
  if (window) {
    // Drawing into a window goes through Direct3D in this program.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return static_cast<HDC>(AddGdiObject(NewDc(true)));
}

int ReleaseDC(HWND window, HDC dc) {
  std::shared_ptr<GdiDc> found = FindDc(dc);
  if (window || !found || !found->screen) return 0;
  RemoveGdiObject(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !FindDcOrFail(dc)) return nullptr;
  return static_cast<HDC>(AddGdiObject(NewDc(false)));
}

BOOL DeleteDC(HDC dc) {
  std::shared_ptr<GdiDc> found = FindDcOrFail(dc);
  if (!found || found->screen) return FALSE;
  return RemoveGdiObject(dc) ? TRUE : FALSE;
}

int SetMapMode(HDC dc, int mode) {
  if (!FindDcOrFail(dc)) return 0;
  if (mode != MM_TEXT) {
    // Only the pixel mapping is offered.
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  return MM_TEXT;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!FindDcOrFail(dc)) return 0;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    default: return 0;
  }
}

HGDIOBJ SelectObject(HDC dcHandle, HGDIOBJ object) {
  std::shared_ptr<GdiDc> dc = FindDcOrFail(dcHandle);
  if (!dc) return nullptr;
  if (std::shared_ptr<GdiFont> font = FindFont(object)) {
    HGDIOBJ previous = dc->fontHandle;
    dc->font = std::move(font);
    dc->fontHandle = object;
    return previous;
  }
  if (std::shared_ptr<GdiBitmap> bitmap = FindBitmap(object)) {
    // A screen context has no bitmap of its own to replace.
    if (dc->screen) return nullptr;
    HGDIOBJ previous = dc->bitmapHandle;
    dc->bitmap = std::move(bitmap);
    dc->bitmapHandle = object;
    return previous;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (FindDc(static_cast<HDC>(object)) || !RemoveGdiObject(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace {

// Sets one of a context's colours (the colour's high byte dropped); the previous one.
COLORREF ReplaceColor(HDC dcHandle, COLORREF GdiDc::*field, COLORREF color) {
  std::shared_ptr<GdiDc> dc = FindDcOrFail(dcHandle);
  if (!dc) return CLR_INVALID;
  COLORREF previous = (*dc).*field;
  (*dc).*field = color & 0x00FFFFFFu;
  return previous;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) { return ReplaceColor(dc, &GdiDc::textColor, color); }

COLORREF SetBkColor(HDC dc, COLORREF color) { return ReplaceColor(dc, &GdiDc::backgroundColor, color); }

UINT SetTextAlign(HDC dc, UINT align) {
  if (!FindDcOrFail(dc)) return GDI_ERROR;
  if (align != (TA_LEFT | TA_TOP | TA_NOUPDATECP)) {
    // Text is always placed by its top-left corner.
    SetLastError(ERROR_NOT_SUPPORTED);
    return GDI_ERROR;
  }
  return TA_LEFT | TA_TOP | TA_NOUPDATECP;
}
