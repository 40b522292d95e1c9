// The Direct3D object: adapter facts, format support and device creation.
#include "direct3d.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "adapters.h"
#include "caps.h"
#include "device.h"
#include "formats.h"
#include "validation.h"

namespace d3d9impl {
namespace {

// The alpha-less layout a back-buffer format shows as.
D3DFORMAT OpaqueLayout(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8: return D3DFMT_X8R8G8B8;
    case D3DFMT_A1R5G5B5: return D3DFMT_X1R5G5B5;
    default: return format;
  }
}

bool AdapterAndTypeValid(UINT adapter, D3DDEVTYPE type) {
  return adapter < AdapterCount() && IsServedDeviceType(type);
}

constexpr DWORD kQueryUsages = D3DUSAGE_QUERY_LEGACYBUMPMAP | D3DUSAGE_QUERY_SRGBREAD |
                               D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_SRGBWRITE |
                               D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING |
                               D3DUSAGE_QUERY_VERTEXTEXTURE | D3DUSAGE_QUERY_WRAPANDMIP;
constexpr DWORD kResourceUsages = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL |
                                  D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP;

// Whether the renderer can do what the query usages ask of a format.
bool QueriesSupported(const raster::FormatInfo& info, DWORD usage) {
  using K = raster::FormatKind;
  if (usage & (D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_VERTEXTEXTURE))
    return false;
  if ((usage & D3DUSAGE_QUERY_LEGACYBUMPMAP) && info.kind != K::Bump) return false;
  if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) && !info.renderTarget) return false;
  return true;
}

bool UsageFits(const raster::FormatInfo& info, DWORD usage, D3DRESOURCETYPE type) {
  using K = raster::FormatKind;
  if (usage & D3DUSAGE_AUTOGENMIPMAP) return false;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return info.kind == K::Depth && type == D3DRTYPE_SURFACE;
  if (usage & D3DUSAGE_RENDERTARGET) return info.renderTarget;
  switch (type) {
    case D3DRTYPE_SURFACE:
    case D3DRTYPE_TEXTURE: return info.kind != K::Depth && info.kind != K::Index;
    case D3DRTYPE_INDEXBUFFER: return info.kind == K::Index;
    default: return false;
  }
}

}  // namespace

bool BackBufferMatches(D3DFORMAT adapter, D3DFORMAT backBuffer, bool windowed) {
  const raster::FormatInfo* info = raster::FindFormat(backBuffer);
  if (!info || !info->renderTarget || !IsDisplayFormat(adapter)) return false;
  if (windowed) return backBuffer != D3DFMT_A2R10G10B10 && adapter == kDesktopFormat;
  return OpaqueLayout(backBuffer) == adapter;
}

ULONG Direct3D::Release() {
  ULONG remaining = --refs_;
  if (remaining == 0) delete this;
  return remaining;
}

UINT Direct3D::GetAdapterCount() { return AdapterCount(); }

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD flags,
                                       D3DADAPTER_IDENTIFIER9* identifier) {
  (void)flags;
  const Adapter* found = FindAdapter(adapter);
  if (!found || !identifier) return InvalidCall("GetAdapterIdentifier: bad adapter or output");
  std::memset(identifier, 0, sizeof *identifier);
  std::snprintf(identifier->Driver, sizeof identifier->Driver, "vesk-raster");
  std::snprintf(identifier->Description, sizeof identifier->Description,
                "Vesk software renderer on %s", found->display.name.c_str());
  std::snprintf(identifier->DeviceName, sizeof identifier->DeviceName, "\\\\.\\DISPLAY%u",
                adapter + 1);
  identifier->DriverVersion.QuadPart = (int64_t{1} << 48) | 1;
  // A stable identifier per adapter ordinal.
  identifier->DeviceIdentifier = {0x7665736b, 0x7261, 0x7374, {'e', 'r', 0, 0, 0, 0, 0, 0}};
  identifier->DeviceIdentifier.Data4[7] = static_cast<unsigned char>(adapter);
  return D3D_OK;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  const Adapter* found = FindAdapter(adapter);
  return found && IsDisplayFormat(format) ? UINT(found->modes.size()) : 0;
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                   D3DDISPLAYMODE* displayMode) {
  const Adapter* found = FindAdapter(adapter);
  if (!found || !displayMode || !IsDisplayFormat(format) || mode >= found->modes.size())
    return InvalidCall("EnumAdapterModes: bad adapter, format, index or output");
  *displayMode = found->modes[mode];
  displayMode->Format = format;
  return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  const Adapter* found = FindAdapter(adapter);
  if (!found || !mode) return InvalidCall("GetAdapterDisplayMode: bad adapter or output");
  *mode = DesktopMode(*found);
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) {
  if (!AdapterAndTypeValid(adapter, type)) return InvalidCall("CheckDeviceType: bad adapter or type");
  if (windowed && backBufferFormat == D3DFMT_UNKNOWN) backBufferFormat = adapterFormat;
  return BackBufferMatches(adapterFormat, backBufferFormat, windowed)
             ? D3D_OK
             : NotAvailable("CheckDeviceType: format pair not supported");
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                    DWORD usage, D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) {
  if (!AdapterAndTypeValid(adapter, type) || !IsDisplayFormat(adapterFormat))
    return InvalidCall("CheckDeviceFormat: bad adapter, type or adapter format");
  if (usage & ~(kQueryUsages | kResourceUsages | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING))
    return InvalidCall("CheckDeviceFormat: unknown usage bits");
  if (resourceType == D3DRTYPE_VERTEXBUFFER)
    return checkFormat == D3DFMT_VERTEXDATA ? D3D_OK : NotAvailable("CheckDeviceFormat: vertex data");
  const raster::FormatInfo* info = raster::FindFormat(checkFormat);
  if (!info || !UsageFits(*info, usage, resourceType) || !QueriesSupported(*info, usage))
    return NotAvailable("CheckDeviceFormat: format not supported for this use");
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                             D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSampleType,
                                             DWORD* qualityLevels) {
  (void)windowed;  // windowed and full-screen swap chains sample alike
  if (!AdapterAndTypeValid(adapter, type) || multiSampleType > D3DMULTISAMPLE_16_SAMPLES)
    return InvalidCall("CheckDeviceMultiSampleType: bad adapter, type or sample count");
  const raster::FormatInfo* info = raster::FindFormat(surfaceFormat);
  bool surface = info && (info->renderTarget || info->kind == raster::FormatKind::Depth);
  if (!surface) return NotAvailable("CheckDeviceMultiSampleType: not a render-target or depth format");
  DWORD levels = MultisampleQualityLevels(multiSampleType);
  if (levels == 0) return NotAvailable("CheckDeviceMultiSampleType: sample count not drawn");
  if (qualityLevels) *qualityLevels = levels;
  return D3D_OK;
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthStencilFormat) {
  if (!AdapterAndTypeValid(adapter, type) || !IsDisplayFormat(adapterFormat))
    return InvalidCall("CheckDepthStencilMatch: bad adapter, type or adapter format");
  const raster::FormatInfo* target = raster::FindFormat(renderTargetFormat);
  const raster::FormatInfo* depth = raster::FindFormat(depthStencilFormat);
  if (!target || !target->renderTarget || !depth || depth->kind != raster::FormatKind::Depth)
    return NotAvailable("CheckDepthStencilMatch: formats do not pair");
  return D3D_OK;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  if (!caps || !AdapterAndTypeValid(adapter, type))
    return InvalidCall("GetDeviceCaps: no such adapter or device type");
  *caps = DeviceCaps(adapter, type);
  return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                               IDirect3DDevice9** device) {
  return Device::Create(this, adapter, type, focusWindow, behaviorFlags, parameters, device);
}

}  // namespace d3d9impl

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  return sdkVersion == D3D_SDK_VERSION ? new d3d9impl::Direct3D() : nullptr;
}
