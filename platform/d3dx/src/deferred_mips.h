// The lower mip levels of a loaded texture, filtered from level 0 the first time
// something reads them: the same triangle filter, the same chain (each level from the
// one above in 8-bit ARGB) and so the same texels as making them all at load time.
#pragma once

#include "d3d9ext.h"
#include "image_file.h"

namespace d3dximpl {

class DeferredMipChain final : public d3d9ext::LevelFiller {
 public:
  // `top` is level 0 in ARGB as it went into the texture. Formats that give it back
  // exactly from the texture drop it and read level 0 back when level 1 is made.
  DeferredMipChain(D3DFORMAT format, d3dximage::ImageLevel top);
  bool Fill(UINT level, const D3DLOCKED_RECT& top, const D3DLOCKED_RECT& out) override;

 private:
  D3DFORMAT format_;
  uint32_t topWidth_, topHeight_;
  d3dximage::ImageLevel last_;  // the level made last, in ARGB; empty: read level 0 back
};

}  // namespace d3dximpl
