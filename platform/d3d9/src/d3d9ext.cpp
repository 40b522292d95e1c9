// Seams of the Direct3D 9 layer: forced device loss for tests, deferred mip levels.
#include "d3d9ext.h"

#include "device.h"
#include "resources.h"

namespace d3d9ext {

void ForceDeviceLoss(IDirect3DDevice9* device) {
  if (device) static_cast<d3d9impl::Device*>(device)->ForceLoss();
}

HRESULT DeferLevels(IDirect3DTexture9* texture, UINT first, std::unique_ptr<LevelFiller> filler) {
  if (!texture) return D3DERR_INVALIDCALL;
  return static_cast<d3d9impl::Texture*>(texture)->DeferLevels(first, std::move(filler));
}

}  // namespace d3d9ext
