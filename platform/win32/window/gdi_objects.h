// The GDI objects behind HDC, HFONT and HBITMAP handles, kept in one table so that each
// function can reject a handle of the wrong kind. A context holds its selected font and
// bitmap by shared pointer: deleting a selected object only ends its handle.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "windows.h"

namespace win32impl {

// A bitmap of 1 or 32 bits per pixel. 32-bit pixels are 0x00RRGGBB (the bytes blue,
// green, red, unused); 1-bit rows hold the leftmost pixel in the top bit.
struct GdiBitmap {
  LONG width = 0;
  LONG height = 0;
  WORD bitsPerPixel = 32;
  bool topDown = true;     // order of the rows in memory
  bool dibSection = false; // memory handed to the caller by CreateDIBSection
  size_t stride = 0;
  std::vector<uint8_t> bits;

  // Row y counted from the top of the picture.
  uint8_t* Row(LONG y) { return bits.data() + size_t(topDown ? y : height - 1 - y) * stride; }
  const uint8_t* Row(LONG y) const { return bits.data() + size_t(topDown ? y : height - 1 - y) * stride; }
  // Pixel (x, y) as 0x00RRGGBB whatever the depth: a 1-bit pixel is black or white.
  uint32_t PixelRgb(LONG x, LONG y) const;
};

// Allocates a zeroed bitmap; null when the size is out of range or memory runs out.
std::shared_ptr<GdiBitmap> MakeBitmap(LONG width, LONG height, WORD bitsPerPixel, bool topDown);

struct GdiFont;  // a FreeType face at one pixel size (gdi_font.cpp)

struct GdiDc {
  bool screen = false;
  std::shared_ptr<GdiFont> font;
  HGDIOBJ fontHandle = nullptr;
  std::shared_ptr<GdiBitmap> bitmap;
  HGDIOBJ bitmapHandle = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
};

// Handle table. Add returns null when no handle can be made.
HGDIOBJ AddGdiObject(std::shared_ptr<GdiBitmap> bitmap);
HGDIOBJ AddGdiObject(std::shared_ptr<GdiFont> font);
HGDIOBJ AddGdiObject(std::shared_ptr<GdiDc> dc);
std::shared_ptr<GdiBitmap> FindBitmap(HGDIOBJ handle);
std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle);
std::shared_ptr<GdiDc> FindDc(HDC handle);
// Ends a handle; false when it names no object. Stock objects stay.
bool RemoveGdiObject(HGDIOBJ handle);

// The font and bitmap every new context starts with: the system font and a 1 x 1
// monochrome bitmap. Both are stock objects.
HGDIOBJ DefaultFontHandle();
HGDIOBJ DefaultBitmapHandle();
// Makes the default font (gdi_font.cpp); null when no font can be loaded at all.
std::shared_ptr<GdiFont> MakeSystemFont();

// Whether a system image handle was loaded as a cursor (icons_cursors.cpp).
bool IsCursorHandle(HICON handle);

}  // namespace win32impl
