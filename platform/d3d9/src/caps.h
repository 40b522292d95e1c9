// The capabilities of the renderer-backed devices. Every bit reported is implemented.
#pragma once

#include "d3d9caps.h"

namespace d3d9impl {

constexpr DWORD kMaxTextureSize = 8192;

// HAL and REF devices report the same renderer; other device types are not served.
bool IsServedDeviceType(D3DDEVTYPE type);
D3DCAPS9 DeviceCaps(UINT adapter, D3DDEVTYPE type);

}  // namespace d3d9impl
