// Seams of the Direct3D 9 layer that have no Direct3D spelling: one for tests, and the
// deferred mip levels through which the D3DX texture loader fills lower levels only
// when something reads them.
#pragma once

#include <memory>

#include "d3d9.h"

namespace d3d9ext {

// Makes a device of this layer behave as after losing its display: Present reports
// D3DERR_DEVICELOST, TestCooperativeLevel reports it once and then
// D3DERR_DEVICENOTRESET until Reset succeeds.
void ForceDeviceLoss(IDirect3DDevice9* device);

// Makes the texels of a texture's deferred levels.
class LevelFiller {
 public:
  virtual ~LevelFiller() = default;
  // Writes level `level` in the texture's format into `out`. Each deferred level is
  // asked for once, in increasing order; `top` is level 0, unchanged since the levels
  // were deferred. False (out of memory) leaves the level to a later try.
  virtual bool Fill(UINT level, const D3DLOCKED_RECT& top, const D3DLOCKED_RECT& out) = 0;
};

// Leaves the texture's levels from `first` (at least 1) on to `filler`, which makes
// them the first time anything may read them: a lock or GetSurfaceLevel of the level,
// or a draw whose sampler may sample it. Handing out level 0 (which the filler may
// read) first makes every deferred level. The level count and descriptions do not
// change. D3DERR_INVALIDCALL for a null texture or filler, no such level, levels
// already deferred or a deferred level locked.
HRESULT DeferLevels(IDirect3DTexture9* texture, UINT first, std::unique_ptr<LevelFiller> filler);

}  // namespace d3d9ext
