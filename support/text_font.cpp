// Building the glyph texture: the alphabet is measured with a GDI font into a texture
// of 128 x 128 texels, doubled until it fits and, past the device's limit, drawn with a
// smaller font; then painted white on black into a DIB section and copied into an
// A4R4G4B4 texture whose alpha is the glyph coverage.
#include "text_font.h"

#include <cmath>
#include <cstring>

TextFont::TextFont(const char* face, DWORD fontHeight, DWORD fontFlags) : height(fontHeight), flags(fontFlags) {
  // At most 79 bytes and the NUL, cut wherever the 79th byte falls.
  std::memset(faceName, 0, sizeof faceName);
  if (face) std::memcpy(faceName, face, strnlen(face, sizeof faceName - 1));
}

TextFont::~TextFont() {
  InvalidateDeviceObjects();
  DeleteDeviceObjects();
}

DWORD GlyphSpacing(LONG cellHeight) {
  // The single-precision 0.3 is a little above 0.3 and the product is taken in double
  // precision, so 10 gives 4 and 20 gives 7.
  return DWORD(std::ceil(double(cellHeight) * double(0.3f)));
}

HRESULT TextFont::CreateGdiFont(HDC dc, HFONT* font) {
  int pixelsPerInch = int(float(GetDeviceCaps(dc, LOGPIXELSY)) * textScale);
  int pixels = MulDiv(int(height), pixelsPerInch, 72);
  // A font shrunk to nothing cannot hold the alphabet; GDI would pick its default size.
  *font = pixels > 0 ? CreateFontA(-pixels, 0, 0, 0, (flags & FontBold) ? FW_BOLD : FW_NORMAL,
                                   (flags & FontItalic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                                   faceName)
                     : nullptr;
  return *font ? S_OK : E_FAIL;
}

// Lays the characters 32 to 126 out in rows; D3DERR_MOREDATA when they do not fit.
HRESULT TextFont::PaintAlphabet(HDC dc, bool measureOnly) {
  SIZE size;
  if (!GetTextExtentPoint32A(dc, "x", 1, &size)) return E_FAIL;
  spacing = GlyphSpacing(size.cy);
  DWORD x = spacing, y = 0;
  for (int ch = 32; ch < 127; ++ch) {
    char text[2] = {char(ch), '\0'};
    if (!GetTextExtentPoint32A(dc, text, 1, &size)) return E_FAIL;
    DWORD cx = DWORD(size.cx), cy = DWORD(size.cy);
    if (x + cx + spacing > textureWidth) {
      x = spacing;
      y += cy + 1;
    }
    // A cell wider than the whole texture would be cut off at its right edge.
    if (y + cy > textureHeight || x + cx + spacing > textureWidth) return D3DERR_MOREDATA;
    if (!measureOnly) {
      if (!ExtTextOutA(dc, int(x), int(y), ETO_OPAQUE, nullptr, text, 1, nullptr)) return E_FAIL;
      float* cell = glyphCoords[ch - 32];
      cell[0] = float(x - spacing) / float(textureWidth);
      cell[1] = float(y) / float(textureHeight);
      cell[2] = float(x + cx + spacing) / float(textureWidth);
      cell[3] = float(y + cy) / float(textureHeight);
    }
    x += cx + 2 * spacing;
  }
  return S_OK;
}

// Finds the texture size for the alphabet, shrinking the font when the size the
// alphabet needs is beyond the device. `font` is selected into `dc` throughout.
HRESULT TextFont::FitAlphabet(HDC dc, HFONT& font, HGDIOBJ originalFont) {
  textureWidth = textureHeight = 128;
  HRESULT result;
  while ((result = PaintAlphabet(dc, true)) == D3DERR_MOREDATA) {
    if (textureWidth >= 0x80000000u) return E_FAIL;
    textureWidth *= 2;
    textureHeight *= 2;
  }
  if (FAILED(result)) return result;
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  if (textureWidth <= caps.MaxTextureWidth) return S_OK;
  textScale = float(caps.MaxTextureWidth) / float(textureWidth);
  textureWidth = textureHeight = caps.MaxTextureWidth;
  for (bool first = true;; first = false) {
    if (!first) textScale *= 0.9f;
    SelectObject(dc, originalFont);
    DeleteObject(font);
    font = nullptr;
    result = CreateGdiFont(dc, &font);
    if (FAILED(result)) return result;
    SelectObject(dc, font);
    result = PaintAlphabet(dc, true);
    if (result != D3DERR_MOREDATA) return result;
  }
}

// White texels whose alpha is the top four bits of the glyph coverage.
HRESULT TextFont::CopyGlyphPixels(const DWORD* pixels) {
  D3DLOCKED_RECT locked;
  HRESULT result = texture->LockRect(0, &locked, nullptr, 0);
  if (FAILED(result)) return result;
  auto* row = static_cast<BYTE*>(locked.pBits);
  for (DWORD y = 0; y < textureHeight; ++y, row += locked.Pitch) {
    auto* texels = reinterpret_cast<WORD*>(row);
    const DWORD* source = pixels + size_t(y) * textureWidth;
    for (DWORD x = 0; x < textureWidth; ++x) {
      WORD alpha = WORD((source[x] >> 4) & 0xF);
      texels[x] = alpha > 0 ? WORD(alpha << 12 | 0x0FFF) : 0;
    }
  }
  return texture->UnlockRect(0);
}

HRESULT TextFont::PaintTexture(HDC dc) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = LONG(textureWidth);
  info.bmiHeader.biHeight = -LONG(textureHeight);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // Without the section's pixels there is nothing to copy into the texture.
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return E_FAIL;
  }
  HGDIOBJ originalBitmap = SelectObject(dc, bitmap);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, 0);
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  HRESULT result = PaintAlphabet(dc, false);
  if (SUCCEEDED(result)) result = CopyGlyphPixels(static_cast<const DWORD*>(bits));
  SelectObject(dc, originalBitmap);
  DeleteObject(bitmap);
  return result;
}

HRESULT TextFont::InitDeviceObjects(IDirect3DDevice9* newDevice) {
  DeleteDeviceObjects();  // a second initialisation must not leak the first texture
  device = newDevice;
  textScale = 1.0f;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return E_FAIL;
  SetMapMode(dc, MM_TEXT);
  HFONT font = nullptr;
  HGDIOBJ originalFont = nullptr;
  HRESULT result = CreateGdiFont(dc, &font);
  if (SUCCEEDED(result)) {
    originalFont = SelectObject(dc, font);
    result = FitAlphabet(dc, font, originalFont);
  }
  if (SUCCEEDED(result))
    result = device->CreateTexture(textureWidth, textureHeight, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture,
                                   nullptr);
  if (SUCCEEDED(result)) result = PaintTexture(dc);
  if (originalFont) SelectObject(dc, originalFont);
  if (font) DeleteObject(font);
  DeleteDC(dc);
  return result;
}

bool TextFont::SupportsAlphaBlending() {
  bool supported = true;
  IDirect3D9* direct3D = nullptr;
  if (FAILED(device->GetDirect3D(&direct3D))) return supported;
  D3DCAPS9 caps{};
  D3DDISPLAYMODE mode{};
  device->GetDeviceCaps(&caps);
  device->GetDisplayMode(0, &mode);
  IDirect3DSurface9* target = nullptr;
  if (SUCCEEDED(device->GetRenderTarget(0, &target))) {
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    supported = SUCCEEDED(direct3D->CheckDeviceFormat(
        caps.AdapterOrdinal, caps.DeviceType, mode.Format,
        D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_SURFACE, desc.Format));
    target->Release();
  }
  direct3D->Release();
  return supported;
}

void TextFont::RecordStates(bool alphaBlending) {
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_ZENABLE, (flags & FontDepthTest) ? TRUE : FALSE);
  if (alphaBlending) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  } else {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 0x08);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  device->SetRenderState(D3DRS_CLIPPING, TRUE);
  device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
  device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
}

HRESULT TextFont::RestoreDeviceObjects() {
  if (!device) return D3DERR_INVALIDCALL;
  InvalidateDeviceObjects();  // a second restore must not leak the first objects
  HRESULT result = device->CreateVertexBuffer(9600, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT,
                                              &vertexBuffer, nullptr);
  if (FAILED(result)) return result;
  bool alphaBlending = SupportsAlphaBlending();
  for (IDirect3DStateBlock9*& block : stateBlocks) {
    result = device->BeginStateBlock();
    if (FAILED(result)) return result;
    RecordStates(alphaBlending);
    result = device->EndStateBlock(&block);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT TextFont::InvalidateDeviceObjects() {
  if (vertexBuffer) vertexBuffer->Release();
  vertexBuffer = nullptr;
  for (IDirect3DStateBlock9*& block : stateBlocks) {
    if (block) block->Release();
    block = nullptr;
  }
  return S_OK;
}

HRESULT TextFont::DeleteDeviceObjects() {
  if (texture) texture->Release();
  texture = nullptr;
  device = nullptr;
  return S_OK;
}
