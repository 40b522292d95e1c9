// GDI: MulDiv's rounding, fonts resolved through fontconfig and measured as Windows
// measures them, text drawn into top-down and bottom-up DIB sections, the bitmaps of
// a system cursor read back with GetDIBits, and handles of the wrong kind refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "windows.h"

namespace {

HFONT Font(int height, int weight, const char* face, DWORD quality = ANTIALIASED_QUALITY) {
  return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, quality, VARIABLE_PITCH, face);
}

SIZE Measure(HFONT font, const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size));
  SelectObject(dc, previous);
  DeleteDC(dc);
  return size;
}

// A memory context with a 32-bit DIB section selected, black on creation.
struct Canvas {
  Canvas(LONG width, LONG height, bool topDown) : width(width), height(height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, topDown ? -height : height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    original = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, original);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  // Memory row `row`, as the caller of CreateDIBSection sees it.
  const uint32_t* MemoryRow(LONG row) const { return bits + row * width; }
  LONG width, height;
  uint32_t* bits = nullptr;
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ original = nullptr;
};

TEST(MulDiv, RoundsHalfAwayFromZeroAndRefusesWhatDoesNotFit) {
  EXPECT_EQ(MulDiv(12, 96, 72), 16);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, 1, -3), 0);
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(0x40000000, 8, 2), -1);
  EXPECT_EQ(MulDiv(7, 3, 0), -1);
  EXPECT_EQ(MulDiv(0x40000000, 0x40000000, 0x40000000), 0x40000000);
}

TEST(GdiContexts, TheScreenHasNinetySixPixelsPerInch) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  HDC memory = CreateCompatibleDC(screen);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(SetMapMode(memory, MM_TEXT), MM_TEXT);
  EXPECT_EQ(SetMapMode(memory, 2), 0);  // other mappings are not offered
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSY), 96);
  EXPECT_FALSE(DeleteDC(screen));  // a screen context is released, not deleted
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_FALSE(DeleteDC(memory));
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 0);
}

TEST(GdiFonts, ArialResolvesToLiberationSansInBothWeights) {
  const char* text = "The quick brown fox, 0123456789";
  for (int weight : {FW_NORMAL, FW_BOLD}) {
    HFONT arial = Font(-16, weight, "Arial"), liberation = Font(-16, weight, "Liberation Sans");
    ASSERT_NE(arial, nullptr);
    SIZE a = Measure(arial, text), l = Measure(liberation, text);
    EXPECT_EQ(a.cx, l.cx) << weight;
    EXPECT_EQ(a.cy, l.cy) << weight;
    EXPECT_TRUE(DeleteObject(arial));
    EXPECT_TRUE(DeleteObject(liberation));
  }
  HFONT regular = Font(-16, FW_NORMAL, "Arial"), bold = Font(-16, FW_BOLD, "Arial");
  EXPECT_GT(Measure(bold, text).cx, Measure(regular, text).cx);
  DeleteObject(regular);
  DeleteObject(bold);
}

TEST(GdiFonts, HeightIsAscentPlusDescentAndGrowsWithTheCharacterHeight) {
  // Liberation Sans has a Windows ascent of 1854 and descent of 434 units per 2048:
  // at 16 pixels an em that is 14 + 3 pixels, at 32 pixels 29 + 7.
  HFONT small = Font(-16, FW_NORMAL, "Arial"), large = Font(-32, FW_NORMAL, "Arial");
  EXPECT_EQ(Measure(small, "x").cy, 17);
  EXPECT_EQ(Measure(large, "x").cy, 36);
  // Advances add up: a string is as wide as its characters.
  EXPECT_EQ(Measure(small, "ab").cx, Measure(small, "a").cx + Measure(small, "b").cx);
  EXPECT_EQ(Measure(small, "").cx, 0);
  // A positive height asks for that cell height.
  HFONT cell = Font(36, FW_NORMAL, "Arial");
  EXPECT_EQ(Measure(cell, "x").cy, 36);
  DeleteObject(small);
  DeleteObject(large);
  DeleteObject(cell);
}

TEST(GdiFonts, WhatCannotBeHonouredIsRefused) {
  EXPECT_EQ(CreateFontA(-16, 8, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"), nullptr);    // width
  EXPECT_EQ(CreateFontA(-16, 0, 900, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"), nullptr);  // escapement
  EXPECT_EQ(CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, TRUE, 0, 0, 0, 0, 0, 0, "Arial"), nullptr);  // underline
  EXPECT_EQ(CreateFontA(-100000, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"), nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  SIZE size;
  EXPECT_FALSE(GetTextExtentPoint32A(dc, "x", -1, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(dc, nullptr, 3, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "x", 1, &size));
  // The context's own bitmap is 1 x 1 monochrome: nothing can be drawn into it.
  EXPECT_FALSE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, nullptr, "x", 1, nullptr));
  DeleteDC(dc);
}

TEST(GdiText, OpaqueTextFillsItsCellAndDrawsInTheTextColourInBothRowOrders) {
  HFONT font = Font(-16, FW_BOLD, "Arial");
  SIZE cell = Measure(font, "H");
  for (bool topDown : {true, false}) {
    Canvas canvas(40, 30, topDown);
    ASSERT_NE(canvas.bits, nullptr);
    SelectObject(canvas.dc, font);
    SetTextColor(canvas.dc, RGB(255, 255, 255));
    SetBkColor(canvas.dc, RGB(0, 0, 255));
    EXPECT_EQ(SetTextAlign(canvas.dc, TA_LEFT | TA_TOP), UINT(TA_LEFT | TA_TOP));
    ASSERT_TRUE(ExtTextOutA(canvas.dc, 5, 3, ETO_OPAQUE, nullptr, "H", 1, nullptr));
    int white = 0;
    for (LONG y = 0; y < canvas.height; ++y) {
      const uint32_t* row = canvas.MemoryRow(topDown ? y : canvas.height - 1 - y);
      for (LONG x = 0; x < canvas.width; ++x) {
        bool inCell = x >= 5 && x < 5 + cell.cx && y >= 3 && y < 3 + cell.cy;
        if (!inCell) {
          ASSERT_EQ(row[x], 0u) << x << "," << y << " outside the cell";
        } else {
          // Blue background (pixels are 0x00RRGGBB), glyph blended towards white.
          ASSERT_EQ(row[x] & 0xFFu, 0xFFu) << x << "," << y;
          ASSERT_EQ(row[x] >> 16 & 0xFFu, row[x] >> 8 & 0xFFu);
          white += row[x] == 0x00FFFFFFu;
        }
      }
    }
    EXPECT_GT(white, 15) << "the H's stems";
    // The H's left stem is solid at mid-height, one or two pixels into the cell.
    const uint32_t* middle = canvas.MemoryRow(topDown ? 3 + cell.cy / 2 : canvas.height - 1 - (3 + cell.cy / 2));
    EXPECT_TRUE(middle[6] == 0x00FFFFFFu || middle[7] == 0x00FFFFFFu);
  }
  DeleteObject(font);
}

TEST(GdiText, TextIsClippedToTheBitmap) {
  HFONT font = Font(-40, FW_BOLD, "Arial");
  Canvas canvas(8, 8, true);
  SelectObject(canvas.dc, font);
  SetTextColor(canvas.dc, RGB(255, 255, 255));
  SetBkColor(canvas.dc, RGB(10, 20, 30));
  EXPECT_TRUE(ExtTextOutA(canvas.dc, -5, -5, ETO_OPAQUE, nullptr, "WW", 2, nullptr));
  // The cell covers the whole bitmap: every pixel is background or glyph.
  for (int i = 0; i < 64; ++i) EXPECT_NE(canvas.bits[i], 0u) << i;
  EXPECT_TRUE(ExtTextOutA(canvas.dc, 0x7FFF0000, 4, 0, nullptr, "W", 1, nullptr));
  EXPECT_FALSE(ExtTextOutA(canvas.dc, 0x7FFFFFF0, 4, 0, nullptr, "WWW", 3, nullptr));
  SelectObject(canvas.dc, canvas.original);
  DeleteObject(font);
}

TEST(GdiBitmaps, ASystemCursorsMaskHoldsTheAndRowsAboveTheXorRows) {
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(LoadCursorA(nullptr, IDC_ARROW), &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 0u);
  EXPECT_EQ(info.hbmColor, nullptr);
  BITMAP description{};
  ASSERT_EQ(GetObjectA(info.hbmMask, sizeof description, &description), int(sizeof(BITMAP)));
  EXPECT_EQ(description.bmWidth, 32);
  EXPECT_EQ(description.bmHeight, 64);
  EXPECT_EQ(description.bmBitsPixel, 1);
  EXPECT_EQ(description.bmBits, nullptr);

  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO request{};
  request.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, 64, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> bottomUp(32 * 64), topDown(32 * 64);
  ASSERT_EQ(GetDIBits(dc, info.hbmMask, 0, 64, bottomUp.data(), &request, DIB_RGB_COLORS), 64);
  request.bmiHeader.biHeight = -64;
  ASSERT_EQ(GetDIBits(dc, info.hbmMask, 0, 64, topDown.data(), &request, DIB_RGB_COLORS), 64);
  // The arrow's tip (0, 0) is opaque black: AND 0 in the top row, XOR 0 in row 32.
  EXPECT_EQ(topDown[0], 0u);
  EXPECT_EQ(topDown[32 * 32], 0u);
  EXPECT_EQ(topDown[31], 0x00FFFFFFu);        // transparent corner: AND 1
  EXPECT_EQ(topDown[(32 + 5) * 32 + 1], 0x00FFFFFFu);  // white body: XOR 1
  for (int row = 0; row < 64; ++row)
    EXPECT_EQ(std::memcmp(&bottomUp[row * 32], &topDown[(63 - row) * 32], 32 * 4), 0) << row;
  // Fewer lines than asked for when the bitmap ends; wrong depths are refused.
  EXPECT_EQ(GetDIBits(dc, info.hbmMask, 60, 10, topDown.data(), &request, DIB_RGB_COLORS), 4);
  request.bmiHeader.biBitCount = 24;
  EXPECT_EQ(GetDIBits(dc, info.hbmMask, 0, 64, topDown.data(), &request, DIB_RGB_COLORS), 0);
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biWidth = 64;
  EXPECT_EQ(GetDIBits(dc, info.hbmMask, 0, 64, topDown.data(), &request, DIB_RGB_COLORS), 0);
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(info.hbmMask));
  EXPECT_FALSE(DeleteObject(info.hbmMask));

  ICONINFO icon{};
  ASSERT_TRUE(GetIconInfo(LoadIconA(nullptr, IDI_APPLICATION), &icon));
  EXPECT_TRUE(icon.fIcon);
  DeleteObject(icon.hbmMask);
  EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(uintptr_t(0x4444)), &icon));
}

TEST(GdiBitmaps, DibSectionsOfUnusableSizesOrDepthsAreRefused) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 100000, 100000, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = INT32_MIN;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biHeight = 0;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biHeight = 16;
  info.bmiHeader.biBitCount = 8;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biBitCount = 32;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  BITMAP description{};
  EXPECT_EQ(GetObjectA(bitmap, 20, &description), 0);  // too small a buffer
  ASSERT_EQ(GetObjectA(bitmap, sizeof description, &description), int(sizeof(BITMAP)));
  EXPECT_EQ(description.bmBits, bits);
  EXPECT_EQ(description.bmWidthBytes, 64);
  DeleteObject(bitmap);
}

TEST(GdiObjects, HandlesOfTheWrongKindAreRefused) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = Font(-12, FW_NORMAL, "Arial");
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(dc)), nullptr);
  EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(font), font), nullptr);
  EXPECT_FALSE(DeleteObject(dc));  // a context goes with DeleteDC
  EXPECT_EQ(GetObjectA(font, sizeof(BITMAP), nullptr), 0);
  EXPECT_EQ(SetTextColor(reinterpret_cast<HDC>(font), 0), CLR_INVALID);
  EXPECT_EQ(SetTextAlign(dc, 6), GDI_ERROR);  // only top-left placement
  // A font deleted while selected stays usable by the context until it is replaced.
  HGDIOBJ original = SelectObject(dc, font);
  EXPECT_TRUE(DeleteObject(font));
  SIZE size;
  EXPECT_TRUE(GetTextExtentPoint32A(dc, "x", 1, &size));
  EXPECT_EQ(SelectObject(dc, original), font);
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(SelectObject(dc, font), nullptr);  // the deleted font's handle is gone
  EXPECT_TRUE(GetTextExtentPoint32A(dc, "x", 1, &size));
  DeleteDC(dc);
}

}  // namespace
