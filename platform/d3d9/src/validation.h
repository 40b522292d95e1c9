// Argument checks report here: every refused call returns D3DERR_INVALIDCALL, and
// with VESK_D3D_DEBUG=1 in the environment the reason is written to standard error.
#pragma once

#include "d3d9types.h"

namespace d3d9impl {

HRESULT InvalidCall(const char* reason);
HRESULT NotAvailable(const char* reason);

}  // namespace d3d9impl
