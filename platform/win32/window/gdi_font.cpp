// GDI fonts on FreeType: fontconfig resolves a face name to the installed font that
// stands in for it (metric-compatible aliases, so "Arial" becomes Liberation Sans),
// FreeType measures and renders the glyphs. Sizes follow Windows: a negative height
// is the em size in pixels, a positive one the cell height (ascent + descent).
// Widths, escapement, underline and strike-out are not offered.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "gdi_objects.h"
#include "win32ext.h"

namespace win32impl {

struct GdiFont {
  FT_Face face = nullptr;
  int ascent = 0;   // pixels above the baseline, as Windows reports them
  int descent = 0;  // pixels below it
  FT_Int32 loadFlags = FT_LOAD_DEFAULT;
  FT_Render_Mode renderMode = FT_RENDER_MODE_NORMAL;
  bool embolden = false;  // bold asked for and only a regular face installed
  ~GdiFont();
};

namespace {

// FreeType objects are made and freed under one lock; a face is then used by one
// thread at a time, as GDI objects of this program are.
std::mutex& LibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    FcInit();
    return FT_Init_FreeType(&made) == 0 ? made : nullptr;
  }();
  return library;
}

struct FaceFile {
  std::string path;
  int index = 0;
  bool embolden = false;
};

std::optional<FaceFile> MatchFace(const std::string& family, int weight, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return std::nullopt;
  if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight == FW_DONTCARE ? FW_NORMAL : weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return std::nullopt;
  FaceFile face;
  FcChar8* file = nullptr;
  FcBool embolden = FcFalse;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) face.path = reinterpret_cast<char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &face.index);
  if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) face.embolden = embolden;
  FcPatternDestroy(match);
  if (face.path.empty()) return std::nullopt;
  return face;
}

// The font's Windows ascent and descent in font units: the OS/2 table's values when it
// has them, else the horizontal header's.
void WindowsMetrics(FT_Face face, int& ascent, int& descent) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  } else {
    ascent = face->ascender;
    descent = -face->descender;
  }
}

int ScaleRounded(int units, int pixelsPerEm, int unitsPerEm) {
  return int((int64_t(units) * pixelsPerEm + unitsPerEm / 2) / unitsPerEm);
}

// Opens the face and sizes it; false when the file or the size is unusable.
bool SizeFace(GdiFont& font, const FaceFile& file, int height) {
  {
    std::lock_guard lock(LibraryMutex());
    if (!Library() || FT_New_Face(Library(), file.path.c_str(), file.index, &font.face) != 0) {
      font.face = nullptr;
      return false;
    }
  }
  if (!FT_IS_SCALABLE(font.face) || font.face->units_per_EM == 0) return false;
  int ascent = 0, descent = 0;
  WindowsMetrics(font.face, ascent, descent);
  if (ascent + descent <= 0) return false;
  int unitsPerEm = font.face->units_per_EM;
  int64_t pixelsPerEm = height < 0 ? -int64_t(height)
                                   : (int64_t(height) * unitsPerEm + (ascent + descent) / 2) / (ascent + descent);
  if (pixelsPerEm < 1 || pixelsPerEm > 4096) return false;
  if (FT_Set_Pixel_Sizes(font.face, 0, FT_UInt(pixelsPerEm)) != 0) return false;
  font.ascent = ScaleRounded(ascent, int(pixelsPerEm), unitsPerEm);
  font.descent = ScaleRounded(descent, int(pixelsPerEm), unitsPerEm);
  return true;
}

std::shared_ptr<GdiFont> OpenFont(const std::string& family, int height, int weight, bool italic, DWORD quality) {
  std::optional<FaceFile> file = MatchFace(family, weight, italic);
  if (!file) return nullptr;
  auto font = std::make_shared<GdiFont>();
  if (!SizeFace(*font, *file, height)) return nullptr;
  font->embolden = file->embolden;
  if (quality == NONANTIALIASED_QUALITY) {
    font->loadFlags = FT_LOAD_TARGET_MONO;
    font->renderMode = FT_RENDER_MODE_MONO;
  } else {
    font->loadFlags = FT_LOAD_TARGET_NORMAL;
    font->renderMode = FT_RENDER_MODE_NORMAL;
  }
  return font;
}

// Loads one character's outline into the face's glyph slot (emboldened when asked).
bool LoadGlyph(const GdiFont& font, char32_t code) {
  if (FT_Load_Char(font.face, code, font.loadFlags) != 0) return false;
  if (font.embolden) FT_GlyphSlot_Embolden(font.face->glyph);
  return true;
}

int Advance(const GdiFont& font) { return int((font.face->glyph->advance.x + 32) >> 6); }

struct TextRun {
  std::shared_ptr<GdiDc> dc;
  std::u32string codes;
};

// The context and decoded text of a text call; nullopt (with the error set) when the
// arguments are unusable.
std::optional<TextRun> PrepareText(HDC dcHandle, LPCSTR text, size_t length) {
  TextRun run;
  run.dc = FindDc(dcHandle);
  if (!run.dc || !run.dc->font) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  if (length > 0 && !text) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::optional<std::u32string> codes = win32ext::Cp932ToCodePoints(std::string_view(text ? text : "", length));
  if (!codes) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  run.codes = std::move(*codes);
  return run;
}

bool MeasureRun(const GdiFont& font, const std::u32string& codes, LONG& width) {
  int64_t total = 0;
  for (char32_t code : codes) {
    if (!LoadGlyph(font, code)) return false;
    total += Advance(font);
  }
  if (total > INT_MAX) return false;
  width = LONG(total);
  return true;
}

uint32_t Rgb(COLORREF color) {
  return (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}

void Fill(GdiBitmap& target, RECT area, const RECT& clip, uint32_t color) {
  area.left = std::max(area.left, clip.left);
  area.top = std::max(area.top, clip.top);
  area.right = std::min(area.right, clip.right);
  area.bottom = std::min(area.bottom, clip.bottom);
  for (LONG y = area.top; y < area.bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(target.Row(y));
    std::fill(row + area.left, row + std::max(area.left, area.right), color);
  }
}

uint32_t Blend(uint32_t under, uint32_t over, unsigned coverage) {
  uint32_t result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int low = int(under >> shift & 0xFF), high = int(over >> shift & 0xFF);
    result |= uint32_t(low + ((high - low) * int(coverage) + (high >= low ? 127 : -127)) / 255) << shift;
  }
  return result;
}

unsigned Coverage(const FT_Bitmap& bitmap, unsigned row, unsigned column) {
  const unsigned char* line = bitmap.buffer + size_t(row) * unsigned(std::abs(bitmap.pitch));
  if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) return (line[column / 8] >> (7 - column % 8)) & 1 ? 255 : 0;
  return line[column];
}

// Renders the glyph in the slot with its origin at (penX, baseline).
bool DrawGlyph(const GdiFont& font, GdiBitmap& target, const RECT& clip, LONG penX, LONG baseline,
               uint32_t color) {
  FT_GlyphSlot slot = font.face->glyph;
  if (FT_Render_Glyph(slot, font.renderMode) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return false;
  LONG left = penX + slot->bitmap_left, top = baseline - slot->bitmap_top;
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    LONG y = top + LONG(row);
    if (y < clip.top || y >= clip.bottom) continue;
    auto* pixels = reinterpret_cast<uint32_t*>(target.Row(y));
    for (unsigned column = 0; column < bitmap.width; ++column) {
      LONG x = left + LONG(column);
      unsigned coverage = Coverage(bitmap, row, column);
      if (x >= clip.left && x < clip.right && coverage > 0) pixels[x] = Blend(pixels[x], color, coverage);
    }
  }
  return true;
}

}  // namespace

GdiFont::~GdiFont() {
  std::lock_guard lock(LibraryMutex());
  if (face) FT_Done_Face(face);
}

std::shared_ptr<GdiFont> MakeSystemFont() { return OpenFont("sans-serif", 16, FW_BOLD, false, DEFAULT_QUALITY); }

}  // namespace win32impl

using namespace win32impl;

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD, DWORD, DWORD, DWORD quality, DWORD, LPCSTR faceName) {
  if (width != 0 || escapement != 0 || orientation != 0 || underline || strikeOut || weight < 0 ||
      weight > 1000 || height == INT_MIN) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::string family;
  if (faceName) {
    std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(
        std::string_view(faceName, win32ext::Cp932SafePrefix(std::string_view(faceName, strnlen(faceName, 32)), 31)));
    if (!utf8) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return nullptr;
    }
    family = *utf8;
  }
  // Windows picks its default size, about 12 points, for a height of 0.
  std::shared_ptr<GdiFont> font = OpenFont(family, height == 0 ? -16 : height, weight, italic != 0, quality);
  if (!font) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HFONT>(AddGdiObject(std::move(font)));
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
  if (length < 0 || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::optional<TextRun> run = PrepareText(dc, text, size_t(length));
  if (!run) return FALSE;
  LONG width = 0;
  if (!MeasureRun(*run->dc->font, run->codes, width)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  size->cx = width;
  size->cy = run->dc->font->ascent + run->dc->font->descent;
  return TRUE;
}

// The text's cell (advance x height) is filled with the background colour, then the
// glyphs are blended over it in the text colour by their coverage.
BOOL ExtTextOutA(HDC dcHandle, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                 const INT* dx) {
  if ((options & ~UINT(ETO_OPAQUE | ETO_CLIPPED)) || dx || length > INT_MAX) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  std::optional<TextRun> run = PrepareText(dcHandle, text, length);
  if (!run) return FALSE;
  GdiDc& dc = *run->dc;
  if (dc.screen || !dc.bitmap || dc.bitmap->bitsPerPixel != 32) {
    // Text is drawn only into 32-bit bitmaps.
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  const GdiFont& font = *dc.font;
  GdiBitmap& target = *dc.bitmap;
  RECT clip{0, 0, target.width, target.height};
  if (rect && (options & ETO_OPAQUE)) Fill(target, *rect, clip, Rgb(dc.backgroundColor));
  if (rect && (options & ETO_CLIPPED)) {
    clip = {std::max(clip.left, rect->left), std::max(clip.top, rect->top), std::min(clip.right, rect->right),
            std::min(clip.bottom, rect->bottom)};
  }
  LONG width = 0;
  if (!MeasureRun(font, run->codes, width)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  int64_t right = int64_t(x) + width, bottom = int64_t(y) + font.ascent + font.descent;
  if (right > INT_MAX || bottom > INT_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Fill(target, RECT{x, y, LONG(right), LONG(bottom)}, clip, Rgb(dc.backgroundColor));
  LONG penX = x, baseline = y + font.ascent;
  for (char32_t code : run->codes) {
    if (!LoadGlyph(font, code) || !DrawGlyph(font, target, clip, penX, baseline, Rgb(dc.textColor))) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    penX += Advance(font);
  }
  return TRUE;
}
