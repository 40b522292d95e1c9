// Reference counting of the device's child objects.
#include "object_base.h"

#include "device.h"

namespace d3d9impl {

ChildObject::ChildObject(Device* device, bool holdsDevice, bool defaultPool)
    : device_(device), holdsDevice_(holdsDevice), defaultPool_(defaultPool) {
  device_->Track(this);
  if (holdsDevice_) device_->AddRef();
}

ChildObject::~ChildObject() {
  if (device_) device_->Untrack(this);
}

ULONG ChildObject::AddPublic() {
  if (publicRefs_ == 0 && holdsDevice_ && device_) device_->AddRef();
  return ++publicRefs_;
}

ULONG ChildObject::ReleasePublic() {
  if (publicRefs_ == 0) return 0;
  ULONG remaining = --publicRefs_;
  if (remaining == 0) {
    // The device reference goes last: releasing it may destroy the device, which
    // drops its bindings and with them this object.
    Device* device = holdsDevice_ ? device_ : nullptr;
    if (internalRefs_ == 0) delete this;
    if (device) device->Release();
  }
  return remaining;
}

void ChildObject::ReleaseInternal() {
  if (internalRefs_ > 0 && --internalRefs_ == 0 && publicRefs_ == 0) delete this;
}

HRESULT ChildObject::GetDeviceInterface(IDirect3DDevice9** device) {
  if (!device || !device_) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

}  // namespace d3d9impl
