// The scripted IDirect3D9 test double: every answer is looked up in the script, and a
// query with an unexpected argument is refused with D3DERR_INVALIDCALL.
#include "scripted_direct3d.h"

#include <string.h>

#include <algorithm>
#include <utility>

namespace {

bool WindowingAllows(Windowing windowing, BOOL windowed) {
  if (windowing == Windowing::FullscreenOnly) return !windowed;
  if (windowing == Windowing::WindowedOnly) return windowed;
  return true;
}

}  // namespace

DeviceScript SimpleDevice(D3DDEVTYPE type) {
  DeviceScript device;
  device.type = type;
  device.formatPairs = {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}};
  device.depthStencilFormats = {D3DFMT_D16};
  device.multisample = {{D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE}, {D3DFMT_D16, D3DMULTISAMPLE_NONE}};
  return device;
}

AdapterScript SimpleAdapter(std::vector<DeviceScript> devices) {
  return {"Scripted adapter", {{800, 600, 60, D3DFMT_X8R8G8B8}}, {}, std::move(devices)};
}

ScriptedDirect3D::ScriptedDirect3D(std::vector<AdapterScript> adapters)
    : adapters(std::move(adapters)) {}

ULONG ScriptedDirect3D::AddRef() { return ++references; }

ULONG ScriptedDirect3D::Release() { return --references; }

UINT ScriptedDirect3D::GetAdapterCount() { return static_cast<UINT>(adapters.size()); }

HRESULT ScriptedDirect3D::GetAdapterIdentifier(UINT adapter, DWORD flags,
                                               D3DADAPTER_IDENTIFIER9* identifier) {
  if (adapter >= adapters.size() || flags != 0) return D3DERR_INVALIDCALL;
  *identifier = {};
  strncpy(identifier->Description, adapters[adapter].description.c_str(),
          sizeof identifier->Description - 1);
  return D3D_OK;
}

std::vector<ScriptedDirect3D::ListedMode> ScriptedDirect3D::ModesOf(
    UINT adapter, D3DFORMAT format) const {
  std::vector<ListedMode> listed;
  if (adapter >= adapters.size()) return listed;
  for (const D3DDISPLAYMODE& mode : adapters[adapter].modes) {
    if (mode.Format == format) listed.push_back({mode, true});
  }
  for (const D3DDISPLAYMODE& mode : adapters[adapter].unreadableModes) {
    if (mode.Format == format) listed.push_back({mode, false});
  }
  return listed;
}

bool ScriptedDirect3D::AdapterHasMode(UINT adapter, D3DFORMAT format) const {
  return !ModesOf(adapter, format).empty();
}

UINT ScriptedDirect3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  return static_cast<UINT>(ModesOf(adapter, format).size());
}

HRESULT ScriptedDirect3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                           D3DDISPLAYMODE* displayMode) {
  const std::vector<ListedMode> listed = ModesOf(adapter, format);
  if (mode >= listed.size()) return D3DERR_INVALIDCALL;
  // An unreadable mode still lands in the output, so that a caller that ignores the
  // failure would let it through.
  *displayMode = listed[mode].mode;
  return listed[mode].readable ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT ScriptedDirect3D::GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) {
  return D3DERR_INVALIDCALL;
}

const DeviceScript* ScriptedDirect3D::FindDevice(UINT adapter, D3DDEVTYPE type) const {
  if (adapter >= adapters.size()) return nullptr;
  for (const DeviceScript& device : adapters[adapter].devices) {
    if (device.type == type) return &device;
  }
  return nullptr;
}

HRESULT ScriptedDirect3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type,
                                          D3DFORMAT adapterFormat,
                                          D3DFORMAT backBufferFormat, BOOL windowed) {
  const DeviceScript* device = FindDevice(adapter, type);
  if (device == nullptr || !WindowingAllows(device->windowing, windowed)) {
    return D3DERR_NOTAVAILABLE;
  }
  for (const FormatPair& pair : device->formatPairs) {
    if (pair.adapterFormat == adapterFormat && pair.backBufferFormat == backBufferFormat) {
      return D3D_OK;
    }
  }
  return D3DERR_NOTAVAILABLE;
}

HRESULT ScriptedDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type,
                                            D3DFORMAT adapterFormat, DWORD usage,
                                            D3DRESOURCETYPE resourceType,
                                            D3DFORMAT checkFormat) {
  const DeviceScript* device = FindDevice(adapter, type);
  if (device == nullptr || usage != D3DUSAGE_DEPTHSTENCIL ||
      resourceType != D3DRTYPE_SURFACE || !AdapterHasMode(adapter, adapterFormat)) {
    return D3DERR_INVALIDCALL;
  }
  const std::vector<D3DFORMAT>& formats = device->depthStencilFormats;
  return std::find(formats.begin(), formats.end(), checkFormat) != formats.end()
             ? D3D_OK
             : D3DERR_NOTAVAILABLE;
}

HRESULT ScriptedDirect3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                                     D3DFORMAT surfaceFormat, BOOL windowed,
                                                     D3DMULTISAMPLE_TYPE multiSampleType,
                                                     DWORD* qualityLevels) {
  const DeviceScript* device = FindDevice(adapter, type);
  if (device == nullptr) return D3DERR_INVALIDCALL;
  for (const MultisampleAnswer& answer : device->multisample) {
    if (answer.surfaceFormat == surfaceFormat && answer.type == multiSampleType &&
        WindowingAllows(answer.windowing, windowed)) {
      if (qualityLevels != nullptr) *qualityLevels = answer.qualityLevels;
      return D3D_OK;
    }
  }
  return D3DERR_NOTAVAILABLE;
}

HRESULT ScriptedDirect3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type,
                                                 D3DFORMAT adapterFormat,
                                                 D3DFORMAT renderTargetFormat,
                                                 D3DFORMAT depthStencilFormat) {
  const DeviceScript* device = FindDevice(adapter, type);
  if (device == nullptr || !AdapterHasMode(adapter, adapterFormat)) return D3DERR_INVALIDCALL;
  for (const DepthMatch& refused : device->refusedDepthMatches) {
    if (refused.backBufferFormat == renderTargetFormat &&
        refused.depthStencilFormat == depthStencilFormat) {
      return D3DERR_NOTAVAILABLE;
    }
  }
  return D3D_OK;
}

HRESULT ScriptedDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  const DeviceScript* device = FindDevice(adapter, type);
  if (device == nullptr) return D3DERR_NOTAVAILABLE;
  *caps = {};
  caps->DeviceType = type;
  caps->AdapterOrdinal = adapter;
  caps->DevCaps = device->devCaps;
  caps->PresentationIntervals = device->presentationIntervals;
  return D3D_OK;
}

HRESULT ScriptedDirect3D::CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                       IDirect3DDevice9**) {
  return D3DERR_INVALIDCALL;
}
