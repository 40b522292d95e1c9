// ID3DXBuffer reference counting.
#include "buffer.h"

namespace d3dximpl {

ULONG Buffer::Release() {
  ULONG remaining = --refs_;
  if (remaining == 0) delete this;
  return remaining;
}

}  // namespace d3dximpl
