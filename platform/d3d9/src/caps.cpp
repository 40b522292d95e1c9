// Capability record of the software renderer.
#include "caps.h"

namespace d3d9impl {
namespace {

constexpr DWORD kAllCompares = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL |
                               D3DPCMPCAPS_LESSEQUAL | D3DPCMPCAPS_GREATER |
                               D3DPCMPCAPS_NOTEQUAL | D3DPCMPCAPS_GREATEREQUAL |
                               D3DPCMPCAPS_ALWAYS;

constexpr DWORD kBlendFactors = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE |
                                D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
                                D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA |
                                D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA |
                                D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR;

constexpr DWORD kTextureOps =
    D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
    D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X |
    D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_SUBTRACT |
    D3DTEXOPCAPS_BLENDDIFFUSEALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHA |
    D3DTEXOPCAPS_BLENDCURRENTALPHA | D3DTEXOPCAPS_BUMPENVMAP |
    D3DTEXOPCAPS_BUMPENVMAPLUMINANCE;

constexpr DWORD kFilters = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                           D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                           D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;

constexpr DWORD kAddressModes = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR |
                                D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER |
                                D3DPTADDRESSCAPS_INDEPENDENTUV;

}  // namespace

bool IsServedDeviceType(D3DDEVTYPE type) {
  return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF;
}

D3DCAPS9 DeviceCaps(UINT adapter, D3DDEVTYPE type) {
  D3DCAPS9 caps{};
  caps.DeviceType = type;
  caps.AdapterOrdinal = adapter;
  caps.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
  caps.Caps3 = D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE |
                               D3DPRESENT_INTERVAL_TWO | D3DPRESENT_INTERVAL_THREE |
                               D3DPRESENT_INTERVAL_FOUR;
  caps.CursorCaps = D3DCURSORCAPS_COLOR;
  caps.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                 D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                 D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                 D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWTRANSFORMANDLIGHT |
                 D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_PUREDEVICE;
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                           D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE |
                           D3DPMISCCAPS_CLIPTLVERTS;
  caps.RasterCaps = D3DPRASTERCAPS_ZTEST;
  caps.ZCmpCaps = kAllCompares;
  caps.AlphaCmpCaps = kAllCompares;
  caps.SrcBlendCaps = kBlendFactors;
  caps.DestBlendCaps = kBlendFactors;
  caps.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                   D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA |
                     D3DPTEXTURECAPS_MIPMAP;
  caps.TextureFilterCaps = kFilters;
  caps.TextureAddressCaps = kAddressModes;
  caps.MaxTextureWidth = kMaxTextureSize;
  caps.MaxTextureHeight = kMaxTextureSize;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = kMaxTextureSize;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1e10f;
  caps.FVFCaps = 8 | D3DFVFCAPS_DONOTSTRIPELEMENTS;
  caps.TextureOpCaps = kTextureOps;
  caps.MaxTextureBlendStages = 8;
  caps.MaxSimultaneousTextures = 8;
  caps.VertexProcessingCaps = D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                              D3DVTXPCAPS_POSITIONALLIGHTS;
  caps.MaxActiveLights = 8;
  caps.MaxPointSize = 1.0f;
  caps.MaxPrimitiveCount = 0x00FFFFFF;
  caps.MaxVertexIndex = 0x00FFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
  caps.MasterAdapterOrdinal = adapter;
  caps.NumberOfAdaptersInGroup = 1;
  caps.NumSimultaneousRTs = 1;
  caps.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
  return caps;
}

DWORD MultisampleQualityLevels(D3DMULTISAMPLE_TYPE type) {
  switch (type) {
    case D3DMULTISAMPLE_NONE:
    case D3DMULTISAMPLE_2_SAMPLES:
    case D3DMULTISAMPLE_4_SAMPLES:
    case D3DMULTISAMPLE_8_SAMPLES: return 1;
    case D3DMULTISAMPLE_NONMASKABLE: return 3;
    default: return 0;
  }
}

uint32_t SamplesPerPixel(D3DMULTISAMPLE_TYPE type, DWORD quality) {
  if (quality >= MultisampleQualityLevels(type)) return 0;
  if (type == D3DMULTISAMPLE_NONMASKABLE) return 2u << quality;
  return type == D3DMULTISAMPLE_NONE ? 1 : uint32_t(type);
}

}  // namespace d3d9impl
