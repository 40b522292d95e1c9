// Reference counting shared by the device's child objects. The public count is the one
// AddRef/Release report; the device's own bindings (textures, streams and indices set
// on it, state blocks) hold internal references that keep an object's memory alive
// without showing in that count, as Direct3D does. While its public count is above
// zero, a child that holds its device keeps one public reference on it.
#pragma once

#include <utility>

#include "d3d9.h"

namespace d3d9impl {

class Device;

class ChildObject {
 public:
  // `defaultPool` objects keep Reset from running while their public count is above 0.
  ChildObject(Device* device, bool holdsDevice, bool defaultPool);
  virtual ~ChildObject();
  ChildObject(const ChildObject&) = delete;
  ChildObject& operator=(const ChildObject&) = delete;

  ULONG AddPublic();
  ULONG ReleasePublic();
  void AddInternal() { ++internalRefs_; }
  void ReleaseInternal();

  Device* OwningDevice() const { return device_; }
  bool BlocksReset() const { return defaultPool_ && publicRefs_ > 0; }
  // Called by a device that is going away while this object (scratch memory) lives on.
  void DetachFromDevice() { device_ = nullptr; }
  HRESULT GetDeviceInterface(IDirect3DDevice9** device);

 private:
  void DeleteIfUnused();

  Device* device_;
  bool holdsDevice_;
  bool defaultPool_;
  ULONG publicRefs_ = 1;
  ULONG internalRefs_ = 0;
};

// Adds the IUnknown and resource plumbing of ChildObject to an interface.
template <class Interface>
class Child : public Interface, public ChildObject {
 public:
  using ChildObject::ChildObject;
  ULONG AddRef() override { return AddPublic(); }
  ULONG Release() override { return ReleasePublic(); }
  HRESULT GetDevice(IDirect3DDevice9** device) override {
    return GetDeviceInterface(device);
  }
};

// An internal reference to a child, as the device's bindings keep them.
template <class T>
class InternalRef {
 public:
  InternalRef() = default;
  explicit InternalRef(T* object) : object_(object) {
    if (object_) object_->AddInternal();
  }
  InternalRef(const InternalRef& other) : InternalRef(other.object_) {}
  InternalRef& operator=(const InternalRef& other) {
    InternalRef copy(other);
    std::swap(object_, copy.object_);
    return *this;
  }
  ~InternalRef() {
    if (object_) object_->ReleaseInternal();
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace d3d9impl
