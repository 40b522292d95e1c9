// The capabilities of the renderer-backed devices. Every bit reported is implemented.
#pragma once

#include <cstdint>

#include "d3d9caps.h"

namespace d3d9impl {

constexpr DWORD kMaxTextureSize = 8192;

// HAL and REF devices report the same renderer; other device types are not served.
bool IsServedDeviceType(D3DDEVTYPE type);
D3DCAPS9 DeviceCaps(UINT adapter, D3DDEVTYPE type);

// Multisampling: 2, 4 and 8 samples, and NONMASKABLE whose quality levels 0, 1 and 2
// stand for those counts. The quality levels of a type (0 when it is not drawn), and
// the samples per pixel of a type and quality (0 when not drawn).
DWORD MultisampleQualityLevels(D3DMULTISAMPLE_TYPE type);
uint32_t SamplesPerPixel(D3DMULTISAMPLE_TYPE type, DWORD quality);

}  // namespace d3d9impl
