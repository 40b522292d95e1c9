// The adapters: one per display the window back end reports (the headless desktop
// when there is no display). Each keeps a screen image of its desktop, into which
// Present composites back buffers and from which GetFrontBufferData copies.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d9types.h"
#include "fresh_memory.h"
#include "screen_changes.h"
#include "win32ext.h"

namespace d3d9impl {

// The adapter formats a display can be driven in.
constexpr D3DFORMAT kDisplayFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                         D3DFMT_A2R10G10B10};
constexpr D3DFORMAT kDesktopFormat = D3DFMT_X8R8G8B8;

struct Screen {
  uint32_t width = 0;
  uint32_t height = 0;
  // X8R8G8B8, rows top to bottom, in fresh memory: where nothing was presented yet the
  // pages are never touched (and X is 0 there; readers set it).
  raster::FreshVector<uint32_t> pixels;
  ScreenChanges changes;
};

struct Adapter {
  win32ext::DisplayInfo display;
  std::vector<D3DDISPLAYMODE> modes;  // sizes and refresh rates, in kDesktopFormat
  Screen screen;
};

// The adapters as the displays are now; the screens survive as long as their display
// keeps its size. Null for an ordinal that does not exist.
uint32_t AdapterCount();
Adapter* FindAdapter(uint32_t ordinal);
D3DDISPLAYMODE DesktopMode(const Adapter& adapter);
bool IsDisplayFormat(D3DFORMAT format);

}  // namespace d3d9impl
