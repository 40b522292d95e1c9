// IDirect3D9: the adapters, their modes, the format checks and device creation.
#pragma once

#include "d3d9.h"

namespace d3d9impl {

class Direct3D final : public IDirect3D9 {
 public:
  Direct3D() = default;

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  UINT GetAdapterCount() override;
  HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                               D3DADAPTER_IDENTIFIER9* identifier) override;
  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                           D3DDISPLAYMODE* displayMode) override;
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                          D3DFORMAT backBufferFormat, BOOL windowed) override;
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                            DWORD usage, D3DRESOURCETYPE resourceType,
                            D3DFORMAT checkFormat) override;
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                     BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                     DWORD* qualityLevels) override;
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                 D3DFORMAT renderTargetFormat,
                                 D3DFORMAT depthStencilFormat) override;
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device) override;

 private:
  ~Direct3D() = default;
  ULONG refs_ = 1;
};

// Whether a back buffer of `backBuffer` format can be shown on a display in `adapter`
// format (windowed presentation converts; full screen needs the same layout).
bool BackBufferMatches(D3DFORMAT adapter, D3DFORMAT backBuffer, bool windowed);

}  // namespace d3d9impl
