// Reporting of refused calls.
#include "validation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace d3d9impl {
namespace {

bool DebugEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("VESK_D3D_DEBUG");
    return value && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

HRESULT Report(HRESULT result, const char* reason) {
  if (DebugEnabled()) std::fprintf(stderr, "d3d9: %s\n", reason);
  return result;
}

}  // namespace

HRESULT InvalidCall(const char* reason) { return Report(D3DERR_INVALIDCALL, reason); }
HRESULT NotAvailable(const char* reason) { return Report(D3DERR_NOTAVAILABLE, reason); }

}  // namespace d3d9impl
