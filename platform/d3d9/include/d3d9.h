// Direct3D 9 interfaces: the subset of IDirect3D9, IDirect3DDevice9 and the resource
// interfaces that this program uses, as abstract C++ classes. Every method returns an
// HRESULT (or a count); AddRef/Release return the remaining reference count.
#pragma once

#include "d3d9caps.h"
#include "d3d9types.h"
#include "windows.h"

struct IUnknown {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IDirect3D9;
struct IDirect3DDevice9;

struct IDirect3DResource9 : IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual D3DRESOURCETYPE GetType() = 0;

 protected:
  ~IDirect3DResource9() = default;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;

 protected:
  ~IDirect3DSurface9() = default;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
  virtual DWORD GetLevelCount() = 0;

 protected:
  ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                           DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;

 protected:
  ~IDirect3DTexture9() = default;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;

 protected:
  ~IDirect3DVertexBuffer9() = default;
};

struct IDirect3DIndexBuffer9 : IDirect3DResource9 {
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;

 protected:
  ~IDirect3DIndexBuffer9() = default;
};

struct IDirect3DStateBlock9 : IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT Capture() = 0;
  virtual HRESULT Apply() = 0;

 protected:
  ~IDirect3DStateBlock9() = default;
};

struct IDirect3DDevice9 : IUnknown {
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT GetDirect3D(IDirect3D9** direct3d) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT SetCursorProperties(UINT hotSpotX, UINT hotSpotY,
                                      IDirect3DSurface9* image) = 0;
  virtual void SetCursorPosition(int x, int y, DWORD flags) = 0;
  virtual BOOL ShowCursor(BOOL show) = 0;
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
  virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect,
                          HWND destWindowOverride, const void* dirtyRegion) = 0;
  virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                IDirect3DSurface9** backBuffer) = 0;
  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer,
                                     HANDLE* sharedHandle) = 0;
  virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                                    HANDLE* sharedHandle) = 0;
  virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                     D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                     BOOL lockable, IDirect3DSurface9** surface,
                                     HANDLE* sharedHandle) = 0;
  virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* dest, const RECT* destRect,
                              D3DTEXTUREFILTERTYPE filter) = 0;
  virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** target) = 0;
  virtual HRESULT GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destination) = 0;
  virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DPOOL pool, IDirect3DSurface9** surface,
                                              HANDLE* sharedHandle) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags,
                        D3DCOLOR color, float z, DWORD stencil) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT BeginStateBlock() = 0;
  virtual HRESULT EndStateBlock(IDirect3DStateBlock9** stateBlock) = 0;
  virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD value) = 0;
  virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                  DWORD* value) = 0;
  virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                  DWORD value) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex,
                                UINT primitiveCount) = 0;
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                       UINT minVertexIndex, UINT numVertices,
                                       UINT startIndex, UINT primitiveCount) = 0;
  virtual HRESULT SetFVF(DWORD fvf) = 0;
  virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer,
                                  UINT offsetInBytes, UINT stride) = 0;
  virtual HRESULT SetIndices(IDirect3DIndexBuffer9* indices) = 0;

 protected:
  ~IDirect3DDevice9() = default;
};

struct IDirect3D9 : IUnknown {
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                       D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
  virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                   D3DDISPLAYMODE* displayMode) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) = 0;
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type,
                                    D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                             D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSampleType,
                                             DWORD* qualityLevels) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type,
                                         D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthStencilFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                               IDirect3DDevice9** device) = 0;

 protected:
  ~IDirect3D9() = default;
};

// The entry point; any SDK version other than D3D_SDK_VERSION gives null.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
