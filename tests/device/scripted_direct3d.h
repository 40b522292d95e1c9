// A test double of IDirect3D9 whose adapters, display modes, device caps and Check*
// answers come from a script. It answers only the exact arguments the enumeration is
// expected to pass; anything else is refused, so a wrong argument shows as a missing
// entry in the tree. CreateDevice and GetAdapterDisplayMode are not scripted.
#pragma once

#include <string>
#include <vector>

#include "d3d9.h"

enum class Windowing { Both, FullscreenOnly, WindowedOnly };

struct FormatPair {
  D3DFORMAT adapterFormat;
  D3DFORMAT backBufferFormat;
};

struct DepthMatch {
  D3DFORMAT backBufferFormat;
  D3DFORMAT depthStencilFormat;
};

// CheckDeviceMultiSampleType accepts this surface format and type, reporting qualityLevels.
struct MultisampleAnswer {
  D3DFORMAT surfaceFormat;
  D3DMULTISAMPLE_TYPE type;
  DWORD qualityLevels = 1;
  Windowing windowing = Windowing::Both;
};

struct DeviceScript {
  D3DDEVTYPE type = D3DDEVTYPE_HAL;
  DWORD devCaps = 0;
  DWORD presentationIntervals = 0;
  std::vector<FormatPair> formatPairs;           // what CheckDeviceType accepts
  Windowing windowing = Windowing::Both;         // and for which windowed flag
  std::vector<D3DFORMAT> depthStencilFormats;    // what CheckDeviceFormat accepts
  std::vector<DepthMatch> refusedDepthMatches;   // what CheckDepthStencilMatch refuses
  std::vector<MultisampleAnswer> multisample;
};

struct AdapterScript {
  std::string description;
  std::vector<D3DDISPLAYMODE> modes;            // listed per format in this order
  std::vector<D3DDISPLAYMODE> unreadableModes;  // counted, but reading them fails
  std::vector<DeviceScript> devices;            // device types without one have no caps
};

// A device of the given type that accepts X8R8G8B8 on X8R8G8B8, windowed and
// fullscreen, with D16 and no multisampling.
DeviceScript SimpleDevice(D3DDEVTYPE type = D3DDEVTYPE_HAL);
// An adapter with one 800x600 X8R8G8B8 mode and the given devices.
AdapterScript SimpleAdapter(std::vector<DeviceScript> devices = {SimpleDevice()});

class ScriptedDirect3D final : public IDirect3D9 {
 public:
  explicit ScriptedDirect3D(std::vector<AdapterScript> adapters);

  ULONG AddRef() override;
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
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                     D3DFORMAT surfaceFormat, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE multiSampleType,
                                     DWORD* qualityLevels) override;
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                 D3DFORMAT renderTargetFormat,
                                 D3DFORMAT depthStencilFormat) override;
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device) override;

  ULONG references = 1;

 private:
  struct ListedMode {
    D3DDISPLAYMODE mode;
    bool readable;
  };

  const DeviceScript* FindDevice(UINT adapter, D3DDEVTYPE type) const;
  std::vector<ListedMode> ModesOf(UINT adapter, D3DFORMAT format) const;
  bool AdapterHasMode(UINT adapter, D3DFORMAT format) const;

  std::vector<AdapterScript> adapters;
};
