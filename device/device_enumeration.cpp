// DeviceEnumeration: walks adapters, display modes, device types and device
// combinations through IDirect3D9 and keeps what passes the application's minimums.
// Failed capability checks only drop candidates; only a record that cannot be
// allocated ends the walk with E_OUTOFMEMORY.
#include "device_enumeration.h"

#include <algorithm>
#include <new>

namespace {

struct ColorBits {
  D3DFORMAT format;
  UINT channelBits;  // bits per colour channel
  UINT alphaBits;
};

constexpr ColorBits kColorBits[] = {
    {D3DFMT_R8G8B8, 8, 0},      {D3DFMT_A8R8G8B8, 8, 8},     {D3DFMT_X8R8G8B8, 8, 0},
    {D3DFMT_R5G6B5, 5, 0},      {D3DFMT_X1R5G5B5, 5, 0},     {D3DFMT_A1R5G5B5, 5, 1},
    {D3DFMT_A4R4G4B4, 4, 4},    {D3DFMT_R3G3B2, 2, 0},       {D3DFMT_A8R3G3B2, 2, 8},
    {D3DFMT_X4R4G4B4, 4, 0},    {D3DFMT_A2B10G10R10, 10, 2}, {D3DFMT_A2R10G10B10, 10, 2},
};

struct DepthStencilBits {
  D3DFORMAT format;
  UINT depthBits;
  UINT stencilBits;
};

// Also the order in which depth/stencil formats are tried and listed.
constexpr DepthStencilBits kDepthStencilFormats[] = {
    {D3DFMT_D16, 16, 0},  {D3DFMT_D15S1, 15, 1},   {D3DFMT_D24X8, 24, 0},
    {D3DFMT_D24S8, 24, 8}, {D3DFMT_D24X4S4, 24, 4}, {D3DFMT_D32, 32, 0},
};

constexpr D3DFORMAT kAllowedAdapterFormats[] = {
    D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10};

constexpr D3DFORMAT kBackBufferFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,
                                            D3DFMT_A2R10G10B10, D3DFMT_R5G6B5,
                                            D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};

constexpr D3DDEVTYPE kDeviceTypes[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF};

constexpr UINT kPresentIntervals[] = {
    D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT, D3DPRESENT_INTERVAL_ONE,
    D3DPRESENT_INTERVAL_TWO,       D3DPRESENT_INTERVAL_THREE,   D3DPRESENT_INTERVAL_FOUR};

const ColorBits* FindColorBits(D3DFORMAT format) {
  for (const ColorBits& bits : kColorBits) {
    if (bits.format == format) return &bits;
  }
  return nullptr;
}

UINT ColorChannelBits(D3DFORMAT format) {
  const ColorBits* bits = FindColorBits(format);
  return bits != nullptr ? bits->channelBits : 0;
}

UINT AlphaChannelBits(D3DFORMAT format) {
  const ColorBits* bits = FindColorBits(format);
  return bits != nullptr ? bits->alphaBits : 0;
}

// Width, height, format (signed), refresh rate; the first difference decides.
bool ModeBefore(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
  if (a.Width != b.Width) return a.Width < b.Width;
  if (a.Height != b.Height) return a.Height < b.Height;
  if (a.Format != b.Format) {
    return static_cast<int32_t>(a.Format) < static_cast<int32_t>(b.Format);
  }
  return a.RefreshRate < b.RefreshRate;
}

void SortModes(GrowArray& modes) {
  if (modes.Count() < 2) return;
  D3DDISPLAYMODE* first = PointerAt<D3DDISPLAYMODE>(modes, 0);
  std::sort(first, first + modes.Count(), ModeBefore);
}

// Intervals longer than one refresh exist only for fullscreen presentation.
bool IsMultiRefreshInterval(UINT interval) {
  return interval == D3DPRESENT_INTERVAL_TWO || interval == D3DPRESENT_INTERVAL_THREE ||
         interval == D3DPRESENT_INTERVAL_FOUR;
}

// Hands a finished record to its parent list when it is worth keeping; otherwise, or
// when the parent cannot take it, deletes it so that nothing is left unowned.
template <class T>
HRESULT KeepOrDelete(T* record, HRESULT built, bool keep, GrowArray& parent) {
  if (SUCCEEDED(built) && keep) {
    built = parent.Add(record);
    if (SUCCEEDED(built)) return S_OK;
  }
  delete record;
  return built;
}

}  // namespace

DeviceEnumeration::~DeviceEnumeration() { FreeTree(); }

void DeviceEnumeration::FreeTree() {
  if (adapters != nullptr) DeletePointees<AdapterInfo>(*adapters);
  delete adapters;
  adapters = nullptr;
  delete allowedAdapterFormats;
  allowedAdapterFormats = nullptr;
}

HRESULT DeviceEnumeration::Enumerate() {
  // The allowed formats that have at least one usable mode on the adapter at hand;
  // refilled per adapter without new allocation.
  GrowArray adapterFormats(ByValue, sizeof(D3DFORMAT));
  if (direct3D == nullptr) return E_FAIL;
  FreeTree();
  HRESULT result = CreateTopArrays();
  const UINT adapterCount = direct3D->GetAdapterCount();
  for (UINT ordinal = 0; SUCCEEDED(result) && ordinal < adapterCount; ordinal++) {
    result = EnumerateAdapter(ordinal, adapterFormats);
  }
  return result;
}

HRESULT DeviceEnumeration::CreateTopArrays() {
  adapters = new (std::nothrow) GrowArray(ByPointer, 0);
  allowedAdapterFormats = new (std::nothrow) GrowArray(ByValue, sizeof(D3DFORMAT));
  if (adapters == nullptr || allowedAdapterFormats == nullptr) return E_OUTOFMEMORY;
  for (D3DFORMAT format : kAllowedAdapterFormats) {
    const HRESULT added = allowedAdapterFormats->Add(&format);
    if (FAILED(added)) return added;
  }
  return S_OK;
}

HRESULT DeviceEnumeration::EnumerateAdapter(UINT ordinal, GrowArray& adapterFormats) {
  AdapterInfo* adapter = new (std::nothrow) AdapterInfo;
  if (adapter == nullptr) return E_OUTOFMEMORY;
  adapter->adapterOrdinal = ordinal;
  // Without an identifier the adapter is still usable; its description stays empty.
  direct3D->GetAdapterIdentifier(ordinal, 0, &adapter->identifier);
  adapterFormats.Clear();
  CollectDisplayModes(*adapter, adapterFormats);
  const HRESULT built = EnumerateDevices(*adapter, adapterFormats);
  return KeepOrDelete(adapter, built, adapter->devices.Count() > 0, *adapters);
}

bool DeviceEnumeration::ModePasses(const D3DDISPLAYMODE& mode) const {
  return mode.Width >= minFullscreenWidth && mode.Height >= minFullscreenHeight &&
         ColorChannelBits(mode.Format) >= minColorChannelBits;
}

// A mode that cannot be added is simply missing, and so is its format unless another
// mode brings it; a mode that cannot be read is skipped.
void DeviceEnumeration::CollectDisplayModes(AdapterInfo& adapter, GrowArray& adapterFormats) {
  const UINT ordinal = adapter.adapterOrdinal;
  for (UINT f = 0; f < allowedAdapterFormats->Count(); f++) {
    const D3DFORMAT format = ValueAt<D3DFORMAT>(*allowedAdapterFormats, f);
    const UINT modeCount = direct3D->GetAdapterModeCount(ordinal, format);
    for (UINT index = 0; index < modeCount; index++) {
      D3DDISPLAYMODE mode{};
      if (FAILED(direct3D->EnumAdapterModes(ordinal, format, index, &mode))) continue;
      if (!ModePasses(mode) || FAILED(adapter.displayModes.Add(&mode))) continue;
      if (!adapterFormats.Contains(&mode.Format)) adapterFormats.Add(&mode.Format);
    }
  }
  SortModes(adapter.displayModes);
}

HRESULT DeviceEnumeration::EnumerateDevices(AdapterInfo& adapter,
                                            const GrowArray& adapterFormats) {
  for (D3DDEVTYPE deviceType : kDeviceTypes) {
    const HRESULT result = EnumerateDevice(adapter, deviceType, adapterFormats);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT DeviceEnumeration::EnumerateDevice(AdapterInfo& adapter, D3DDEVTYPE deviceType,
                                           const GrowArray& adapterFormats) {
  DeviceInfo* device = new (std::nothrow) DeviceInfo;
  if (device == nullptr) return E_OUTOFMEMORY;
  device->adapterOrdinal = adapter.adapterOrdinal;
  device->deviceType = deviceType;
  // A device type without caps (no such rasteriser) is absent, not an error.
  if (FAILED(direct3D->GetDeviceCaps(adapter.adapterOrdinal, deviceType, &device->caps))) {
    delete device;
    return S_OK;
  }
  const HRESULT built = EnumerateCombinations(*device, adapterFormats);
  return KeepOrDelete(device, built, device->combinations.Count() > 0, adapter.devices);
}

// Grouped by adapter format, then back-buffer format, fullscreen before windowed.
HRESULT DeviceEnumeration::EnumerateCombinations(DeviceInfo& device,
                                                 const GrowArray& adapterFormats) {
  for (UINT f = 0; f < adapterFormats.Count(); f++) {
    const D3DFORMAT adapterFormat = ValueAt<D3DFORMAT>(adapterFormats, f);
    for (D3DFORMAT backBufferFormat : kBackBufferFormats) {
      if (AlphaChannelBits(backBufferFormat) < minAlphaChannelBits) continue;
      for (bool windowed : {false, true}) {
        if (windowed ? requiresFullscreen : requiresWindowed) continue;
        const HRESULT result = TryCombination(device, adapterFormat, backBufferFormat, windowed);
        if (FAILED(result)) return result;
      }
    }
  }
  return S_OK;
}

HRESULT DeviceEnumeration::TryCombination(DeviceInfo& device, D3DFORMAT adapterFormat,
                                          D3DFORMAT backBufferFormat, bool windowed) {
  if (FAILED(direct3D->CheckDeviceType(device.adapterOrdinal, device.deviceType,
                                       adapterFormat, backBufferFormat, windowed))) {
    return S_OK;
  }
  DeviceCombination* combination = new (std::nothrow) DeviceCombination;
  if (combination == nullptr) return E_OUTOFMEMORY;
  combination->adapterOrdinal = device.adapterOrdinal;
  combination->deviceType = device.deviceType;
  combination->adapterFormat = adapterFormat;
  combination->backBufferFormat = backBufferFormat;
  combination->isWindowed = windowed;
  const bool usable = FillCombination(device, *combination);
  return KeepOrDelete(combination, S_OK, usable, device.combinations);
}

// Collects the lists of a combination; false when one that must not be empty is.
bool DeviceEnumeration::FillCombination(const DeviceInfo& device,
                                        DeviceCombination& combination) {
  if (usesDepthBuffer) {
    CollectDepthStencilFormats(combination);
    if (combination.depthStencilFormats.Count() == 0) return false;
  }
  CollectMultisampleTypes(combination);
  if (combination.multisampleTypes.Count() == 0) return false;
  CollectConflicts(combination);
  CollectVertexProcessingTypes(device, combination);
  if (combination.vertexProcessingTypes.Count() == 0) return false;
  CollectPresentIntervals(device, combination);
  return true;
}

// In the collection steps below a candidate whose Add fails is simply missing.
void DeviceEnumeration::CollectDepthStencilFormats(DeviceCombination& combination) {
  for (const DepthStencilBits& candidate : kDepthStencilFormats) {
    if (candidate.depthBits < minDepthBits || candidate.stencilBits < minStencilBits) continue;
    D3DFORMAT format = candidate.format;
    if (SUCCEEDED(direct3D->CheckDeviceFormat(
            combination.adapterOrdinal, combination.deviceType, combination.adapterFormat,
            D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)) &&
        SUCCEEDED(direct3D->CheckDepthStencilMatch(
            combination.adapterOrdinal, combination.deviceType, combination.adapterFormat,
            combination.backBufferFormat, format))) {
      combination.depthStencilFormats.Add(&format);
    }
  }
}

void DeviceEnumeration::CollectMultisampleTypes(DeviceCombination& combination) {
  for (UINT value = D3DMULTISAMPLE_NONE; value <= D3DMULTISAMPLE_16_SAMPLES; value++) {
    D3DMULTISAMPLE_TYPE type = static_cast<D3DMULTISAMPLE_TYPE>(value);
    DWORD qualityLevels = 0;
    if (FAILED(direct3D->CheckDeviceMultiSampleType(
            combination.adapterOrdinal, combination.deviceType, combination.backBufferFormat,
            combination.isWindowed, type, &qualityLevels))) {
      continue;
    }
    // Readers take a type's quality count at the type's index, so the two lists must
    // never fall out of step: the first failed Add ends the collection.
    if (FAILED(combination.multisampleQualities.Add(&qualityLevels)) ||
        FAILED(combination.multisampleTypes.Add(&type))) {
      return;
    }
  }
}

void DeviceEnumeration::CollectConflicts(DeviceCombination& combination) {
  const GrowArray& depthFormats = combination.depthStencilFormats;
  const GrowArray& types = combination.multisampleTypes;
  for (UINT d = 0; d < depthFormats.Count(); d++) {
    for (UINT t = 0; t < types.Count(); t++) {
      DepthMultisampleConflict pair{ValueAt<D3DFORMAT>(depthFormats, d),
                                    ValueAt<D3DMULTISAMPLE_TYPE>(types, t)};
      if (FAILED(direct3D->CheckDeviceMultiSampleType(
              combination.adapterOrdinal, combination.deviceType, pair.depthStencilFormat,
              combination.isWindowed, pair.multisampleType, nullptr))) {
        combination.conflicts.Add(&pair);
      }
    }
  }
}

// Most hardware work first, so that the first entry is the natural initial choice.
void DeviceEnumeration::CollectVertexProcessingTypes(const DeviceInfo& device,
                                                     DeviceCombination& combination) {
  const DWORD devCaps = device.caps.DevCaps;
  if (devCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
    if (devCaps & D3DDEVCAPS_PUREDEVICE) AddIfConfirmed(device, combination, PURE_HARDWARE_VP);
    AddIfConfirmed(device, combination, HARDWARE_VP);
    if (usesMixedVertexProcessing) AddIfConfirmed(device, combination, MIXED_VP);
  }
  AddIfConfirmed(device, combination, SOFTWARE_VP);
}

void DeviceEnumeration::AddIfConfirmed(const DeviceInfo& device,
                                       DeviceCombination& combination,
                                       VertexProcessingType type) {
  if (confirmDevice == nullptr ||
      confirmDevice(&device.caps, type, combination.adapterFormat,
                    combination.backBufferFormat)) {
    combination.vertexProcessingTypes.Add(&type);
  }
}

void DeviceEnumeration::CollectPresentIntervals(const DeviceInfo& device,
                                                DeviceCombination& combination) {
  for (UINT interval : kPresentIntervals) {
    if (combination.isWindowed && IsMultiRefreshInterval(interval)) continue;
    if (interval == D3DPRESENT_INTERVAL_DEFAULT ||
        (device.caps.PresentationIntervals & interval) != 0) {
      combination.presentIntervals.Add(&interval);
    }
  }
}
