// Test seams of the Direct3D 9 layer.
#include "d3d9ext.h"

#include "device.h"

namespace d3d9ext {

void ForceDeviceLoss(IDirect3DDevice9* device) {
  if (device) static_cast<d3d9impl::Device*>(device)->ForceLoss();
}

}  // namespace d3d9ext
