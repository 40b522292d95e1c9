// State-block capture and replay.
#include "state_block.h"

#include "device.h"

namespace d3d9impl {

HRESULT StateBlock::Capture() {
  OwningDevice()->CaptureInto(changes_);
  return D3D_OK;
}

HRESULT StateBlock::Apply() {
  OwningDevice()->ApplyChanges(changes_);
  return D3D_OK;
}

}  // namespace d3d9impl
