// TextFont: a GDI font painted into a Direct3D texture, one cell per printable ASCII
// character, with the texture rectangle of every cell. It also keeps a dynamic vertex
// buffer and two recorded state blocks for drawing, though nothing draws text yet.
#pragma once

#include "d3d9.h"
#include "windows.h"

constexpr DWORD FontBold = 1;
constexpr DWORD FontItalic = 2;
constexpr DWORD FontDepthTest = 4;

class TextFont {
 public:
  TextFont(const char* faceName, DWORD height, DWORD flags);
  ~TextFont();
  TextFont(const TextFont&) = delete;
  TextFont& operator=(const TextFont&) = delete;

  HRESULT InitDeviceObjects(IDirect3DDevice9* device);
  HRESULT RestoreDeviceObjects();
  HRESULT InvalidateDeviceObjects();
  HRESULT DeleteDeviceObjects();

  char faceName[80];
  DWORD height;
  DWORD flags;
  IDirect3DDevice9* device = nullptr;  // not owned
  IDirect3DTexture9* texture = nullptr;
  IDirect3DVertexBuffer9* vertexBuffer = nullptr;
  DWORD textureWidth = 0;
  DWORD textureHeight = 0;
  float textScale = 1.0f;
  float glyphCoords[96][4] = {};  // left u, top v, right u, bottom v of characters 32..127
  DWORD spacing = 0;
  IDirect3DStateBlock9* stateBlocks[2] = {};

 private:
  HRESULT CreateGdiFont(HDC dc, HFONT* font);
  HRESULT PaintAlphabet(HDC dc, bool measureOnly);
  HRESULT FitAlphabet(HDC dc, HFONT& font, HGDIOBJ originalFont);
  HRESULT PaintTexture(HDC dc);
  HRESULT CopyGlyphPixels(const DWORD* pixels);
  bool SupportsAlphaBlending();
  void RecordStates(bool alphaBlending);
};

// The margin left and right of every glyph cell for a glyph height of cellHeight
// pixels: the single-precision 0.3 times it, rounded up.
DWORD GlyphSpacing(LONG cellHeight);
