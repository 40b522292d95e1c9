// DeviceSettings: the chosen configuration, one set for windowed and one for fullscreen
// use, and the flag that selects the set in force. A plain value record: its pointers
// point into the enumeration tree and it owns nothing.
#pragma once

#include "device_records.h"

struct DeviceSettings {
  bool isWindowed = false;

  AdapterInfo* windowedAdapter = nullptr;
  DeviceInfo* windowedDevice = nullptr;
  DeviceCombination* windowedCombination = nullptr;
  D3DDISPLAYMODE windowedDisplayMode{};  // the desktop mode; not a choice of the user
  D3DFORMAT windowedDepthStencilFormat = D3DFMT_UNKNOWN;
  D3DMULTISAMPLE_TYPE windowedMultisampleType = D3DMULTISAMPLE_NONE;
  DWORD windowedMultisampleQuality = 0;
  VertexProcessingType windowedVertexProcessing = SOFTWARE_VP;
  UINT windowedPresentInterval = 0;
  INT windowedWidth = 0;  // client area of the window
  INT windowedHeight = 0;

  AdapterInfo* fullscreenAdapter = nullptr;
  DeviceInfo* fullscreenDevice = nullptr;
  DeviceCombination* fullscreenCombination = nullptr;
  D3DDISPLAYMODE fullscreenDisplayMode{};  // also carries the fullscreen size
  D3DFORMAT fullscreenDepthStencilFormat = D3DFMT_UNKNOWN;
  D3DMULTISAMPLE_TYPE fullscreenMultisampleType = D3DMULTISAMPLE_NONE;
  DWORD fullscreenMultisampleQuality = 0;
  VertexProcessingType fullscreenVertexProcessing = SOFTWARE_VP;
  UINT fullscreenPresentInterval = 0;

  // The field of the set in force, for reading and for storing.
  AdapterInfo*& CurrentAdapter() { return Current(&S::windowedAdapter, &S::fullscreenAdapter); }
  DeviceInfo*& CurrentDevice() { return Current(&S::windowedDevice, &S::fullscreenDevice); }
  DeviceCombination*& CurrentCombination() {
    return Current(&S::windowedCombination, &S::fullscreenCombination);
  }
  D3DDISPLAYMODE& CurrentDisplayMode() {
    return Current(&S::windowedDisplayMode, &S::fullscreenDisplayMode);
  }
  D3DFORMAT& CurrentDepthStencilFormat() {
    return Current(&S::windowedDepthStencilFormat, &S::fullscreenDepthStencilFormat);
  }
  D3DMULTISAMPLE_TYPE& CurrentMultisampleType() {
    return Current(&S::windowedMultisampleType, &S::fullscreenMultisampleType);
  }
  DWORD& CurrentMultisampleQuality() {
    return Current(&S::windowedMultisampleQuality, &S::fullscreenMultisampleQuality);
  }
  VertexProcessingType& CurrentVertexProcessing() {
    return Current(&S::windowedVertexProcessing, &S::fullscreenVertexProcessing);
  }
  UINT& CurrentPresentInterval() {
    return Current(&S::windowedPresentInterval, &S::fullscreenPresentInterval);
  }

  AdapterInfo* CurrentAdapter() const { return Current(&S::windowedAdapter, &S::fullscreenAdapter); }
  DeviceInfo* CurrentDevice() const { return Current(&S::windowedDevice, &S::fullscreenDevice); }
  DeviceCombination* CurrentCombination() const {
    return Current(&S::windowedCombination, &S::fullscreenCombination);
  }
  D3DDISPLAYMODE CurrentDisplayMode() const {
    return Current(&S::windowedDisplayMode, &S::fullscreenDisplayMode);
  }
  D3DFORMAT CurrentDepthStencilFormat() const {
    return Current(&S::windowedDepthStencilFormat, &S::fullscreenDepthStencilFormat);
  }
  D3DMULTISAMPLE_TYPE CurrentMultisampleType() const {
    return Current(&S::windowedMultisampleType, &S::fullscreenMultisampleType);
  }
  DWORD CurrentMultisampleQuality() const {
    return Current(&S::windowedMultisampleQuality, &S::fullscreenMultisampleQuality);
  }
  VertexProcessingType CurrentVertexProcessing() const {
    return Current(&S::windowedVertexProcessing, &S::fullscreenVertexProcessing);
  }
  UINT CurrentPresentInterval() const {
    return Current(&S::windowedPresentInterval, &S::fullscreenPresentInterval);
  }

  // What the current combination fixes; a current combination must be set.
  UINT CurrentAdapterOrdinal() const { return CurrentCombination()->adapterOrdinal; }
  D3DDEVTYPE CurrentDeviceType() const { return CurrentCombination()->deviceType; }
  D3DFORMAT CurrentBackBufferFormat() const { return CurrentCombination()->backBufferFormat; }

 private:
  using S = DeviceSettings;

  template <class T>
  T& Current(T S::*windowed, T S::*fullscreen) {
    return this->*(isWindowed ? windowed : fullscreen);
  }
  template <class T>
  const T& Current(T S::*windowed, T S::*fullscreen) const {
    return this->*(isWindowed ? windowed : fullscreen);
  }
};
