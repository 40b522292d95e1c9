// IDirect3DDevice9 over the software renderer: creation and reset of the swap chain,
// resources, state (with state-block recording), drawing, presentation, device loss
// and the device cursor.
#pragma once

#include <memory>
#include <unordered_set>

#include "device_state.h"
#include "pipeline.h"
#include "resources.h"


namespace d3d9impl {

class Direct3D;
class StateBlock;

class Device final : public IDirect3DDevice9 {
 public:
  // Validates the arguments, fills in the defaults of `parameters` as Direct3D does,
  // and builds the device.
  static HRESULT Create(Direct3D* direct3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                        DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                        IDirect3DDevice9** device);

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** direct3d) override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
  HRESULT SetCursorProperties(UINT hotSpotX, UINT hotSpotY, IDirect3DSurface9* image) override;
  void SetCursorPosition(int x, int y, DWORD flags) override;
  BOOL ShowCursor(BOOL show) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const void* dirtyRegion) override;
  HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                        IDirect3DSurface9** backBuffer) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9** texture,
                        HANDLE* sharedHandle) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
  HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                             DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                             HANDLE* sharedHandle) override;
  HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                      const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** target) override;
  HRESULT GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destination) override;
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT BeginStateBlock() override;
  HRESULT EndStateBlock(IDirect3DStateBlock9** stateBlock) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                               DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                               DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                               UINT numVertices, UINT startIndex,
                               UINT primitiveCount) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes,
                          UINT stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;

  // Bookkeeping for child objects.
  void Track(ChildObject* child) { children_.insert(child); }
  void Untrack(ChildObject* child) { children_.erase(child); }
  void ForgetTexture(uint64_t id) { renderer_.ForgetTexture(id); }
  bool BackBufferLockable() const;
  // State blocks replay and read state through these.
  void ApplyChanges(const StateChanges& changes);
  void CaptureInto(StateChanges& changes) const;
  // Test seam: the device behaves as after losing its display.
  void ForceLoss() { lost_ = true; forcedLoss_ = true; }

 private:
  Device(Direct3D* direct3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags);
  ~Device();
  HRESULT BuildSwapChain(const D3DPRESENT_PARAMETERS& parameters);
  void ReleaseSwapChain();
  bool CheckLoss();
  bool Recording() const { return recording_ != nullptr; }
  HRESULT ValidateDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const;
  raster::Targets CurrentTargets();
  // Points the pipeline at the bound textures and enabled lights; E_OUTOFMEMORY when a
  // deferred texture level cannot be made.
  HRESULT BindTextureViews();
  void ApplyCursor();
  void ReleaseCursor();
  HWND PresentWindow(HWND overrideWindow) const;
  bool Pure() const { return (flags_ & D3DCREATE_PUREDEVICE) != 0; }

  ULONG refs_ = 1;
  Direct3D* direct3d_;
  UINT adapter_;
  D3DDEVTYPE type_;
  HWND focusWindow_;
  DWORD flags_;
  D3DPRESENT_PARAMETERS parameters_{};
  std::unique_ptr<Surface> backBuffer_;
  std::unique_ptr<Surface> depthBuffer_;
  DeviceState state_;
  std::unique_ptr<StateChanges> recording_;
  bool inScene_ = false;
  bool lost_ = false;
  bool forcedLoss_ = false;
  bool cursorShown_ = false;
  UINT cursorHotX_ = 0, cursorHotY_ = 0;
  std::vector<uint32_t> cursorImage_;  // A8R8G8B8
  UINT cursorWidth_ = 0, cursorHeight_ = 0;
  POINT cursorPosition_{};
  uintptr_t pointer_ = 0;  // the pointer made of the cursor image, while it is in use
  std::vector<uint32_t> presentImage_;  // the back buffer in A8R8G8B8, reused
  uint64_t lastPresentTick_ = 0;
  std::unordered_set<ChildObject*> children_;
  raster::Renderer renderer_;
};

}  // namespace d3d9impl
