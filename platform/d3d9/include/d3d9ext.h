// Seams of the Direct3D 9 layer that have no Direct3D spelling, for tests.
#pragma once

#include "d3d9.h"

namespace d3d9ext {

// Makes a device of this layer behave as after losing its display: Present reports
// D3DERR_DEVICELOST, TestCooperativeLevel reports it once and then
// D3DERR_DEVICENOTRESET until Reset succeeds.
void ForceDeviceLoss(IDirect3DDevice9* device);

}  // namespace d3d9ext
