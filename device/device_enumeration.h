// DeviceEnumeration: asks Direct3D 9 once what every adapter can do and keeps what
// passes the application's requirements as a tree of AdapterInfo, DeviceInfo and
// DeviceCombination records. It never releases the Direct3D object it is given.
#pragma once

#include "device_records.h"
#include "device_settings.h"

// Asked once per candidate vertex processing type and combination; true accepts it.
using ConfirmDeviceCallback = bool (*)(const D3DCAPS9* caps,
                                       VertexProcessingType vertexProcessing,
                                       D3DFORMAT adapterFormat,
                                       D3DFORMAT backBufferFormat);

class DeviceEnumeration {
 public:
  DeviceEnumeration() = default;
  ~DeviceEnumeration();
  DeviceEnumeration(const DeviceEnumeration&) = delete;
  DeviceEnumeration& operator=(const DeviceEnumeration&) = delete;

  // Builds allowedAdapterFormats and adapters. S_OK also when no adapter qualifies;
  // E_FAIL without a Direct3D object; E_OUTOFMEMORY when a record cannot be made.
  // A second call frees the first tree before building a new one.
  HRESULT Enumerate();

  IDirect3D9* direct3D = nullptr;             // not owned
  GrowArray* adapters = nullptr;              // of AdapterInfo, owned
  ConfirmDeviceCallback confirmDevice = nullptr;  // null accepts every type
  UINT minFullscreenWidth = 640;
  UINT minFullscreenHeight = 480;
  UINT minColorChannelBits = 5;
  UINT minAlphaChannelBits = 0;
  UINT minDepthBits = 15;
  UINT minStencilBits = 0;
  bool usesDepthBuffer = false;
  bool usesMixedVertexProcessing = false;
  bool requiresWindowed = false;    // no fullscreen combinations are built
  bool requiresFullscreen = false;  // no windowed combinations are built
  GrowArray* allowedAdapterFormats = nullptr;  // of D3DFORMAT, owned

 private:
  void FreeTree();
  HRESULT CreateTopArrays();
  HRESULT EnumerateAdapter(UINT ordinal, GrowArray& adapterFormats);
  void CollectDisplayModes(AdapterInfo& adapter, GrowArray& adapterFormats);
  bool ModePasses(const D3DDISPLAYMODE& mode) const;
  HRESULT EnumerateDevices(AdapterInfo& adapter, const GrowArray& adapterFormats);
  HRESULT EnumerateDevice(AdapterInfo& adapter, D3DDEVTYPE deviceType,
                          const GrowArray& adapterFormats);
  HRESULT EnumerateCombinations(DeviceInfo& device, const GrowArray& adapterFormats);
  HRESULT TryCombination(DeviceInfo& device, D3DFORMAT adapterFormat,
                         D3DFORMAT backBufferFormat, bool windowed);
  bool FillCombination(const DeviceInfo& device, DeviceCombination& combination);
  void CollectDepthStencilFormats(DeviceCombination& combination);
  void CollectMultisampleTypes(DeviceCombination& combination);
  void CollectConflicts(DeviceCombination& combination);
  void CollectVertexProcessingTypes(const DeviceInfo& device, DeviceCombination& combination);
  void AddIfConfirmed(const DeviceInfo& device, DeviceCombination& combination,
                      VertexProcessingType type);
  void CollectPresentIntervals(const DeviceInfo& device, DeviceCombination& combination);
};
