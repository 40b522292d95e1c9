// IDirect3DStateBlock9: the states recorded between BeginStateBlock and EndStateBlock.
// Apply sets them on the device; Capture replaces their values with the device's.
// The block keeps the textures and buffers it recorded alive.
#pragma once

#include "device_state.h"
#include "object_base.h"

namespace d3d9impl {

class StateBlock final : public Child<IDirect3DStateBlock9> {
 public:
  StateBlock(Device* device, StateChanges changes)
      : Child(device, true, false), changes_(std::move(changes)) {}
  HRESULT Capture() override;
  HRESULT Apply() override;

 private:
  StateChanges changes_;
};

}  // namespace d3d9impl
