// The device's life: creation and validation of the presentation parameters, the
// swap chain, reference counts, device loss and Reset, and resource creation.
#include "device.h"

#include <algorithm>

#include "adapters.h"
#include "caps.h"
#include "direct3d.h"
#include "validation.h"

namespace d3d9impl {
namespace {

constexpr DWORD kPresentFlags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER |
                                D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL | D3DPRESENTFLAG_DEVICECLIP;
constexpr UINT kMaxSurfaceSize = 16384;

bool IsWindowedInterval(UINT interval) {
  return interval == D3DPRESENT_INTERVAL_DEFAULT || interval == D3DPRESENT_INTERVAL_ONE ||
         interval == D3DPRESENT_INTERVAL_IMMEDIATE;
}

bool IsFullscreenInterval(UINT interval) {
  return IsWindowedInterval(interval) || interval == D3DPRESENT_INTERVAL_TWO ||
         interval == D3DPRESENT_INTERVAL_THREE || interval == D3DPRESENT_INTERVAL_FOUR;
}

HRESULT CompleteWindowed(HWND window, D3DPRESENT_PARAMETERS& p) {
  if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
    RECT client{};
    GetClientRect(window, &client);
    if (p.BackBufferWidth == 0) p.BackBufferWidth = UINT(std::max<LONG>(client.right, 1));
    if (p.BackBufferHeight == 0) p.BackBufferHeight = UINT(std::max<LONG>(client.bottom, 1));
  }
  if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = kDesktopFormat;
  if (p.FullScreen_RefreshRateInHz != 0)
    return InvalidCall("presentation: a windowed device has no refresh rate");
  if (!IsWindowedInterval(p.PresentationInterval))
    return InvalidCall("presentation: interval not available windowed");
  if (!BackBufferMatches(kDesktopFormat, p.BackBufferFormat, true))
    return NotAvailable("presentation: back-buffer format cannot be shown windowed");
  return D3D_OK;
}

HRESULT CompleteFullscreen(const Adapter& adapter, D3DPRESENT_PARAMETERS& p) {
  auto fits = [&](const D3DDISPLAYMODE& m) {
    return m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight &&
           (p.FullScreen_RefreshRateInHz == 0 || m.RefreshRate == p.FullScreen_RefreshRateInHz);
  };
  if (std::none_of(adapter.modes.begin(), adapter.modes.end(), fits))
    return InvalidCall("presentation: no such display mode");
  if (!IsFullscreenInterval(p.PresentationInterval))
    return InvalidCall("presentation: unknown present interval");
  bool matches = std::any_of(std::begin(kDisplayFormats), std::end(kDisplayFormats),
                             [&](D3DFORMAT f) { return BackBufferMatches(f, p.BackBufferFormat, false); });
  return matches ? D3D_OK : NotAvailable("presentation: back-buffer format has no display mode");
}

// Checks the parameters and fills in what Direct3D derives (sizes, format, count).
HRESULT CompleteParameters(const Adapter& adapter, HWND focusWindow, D3DPRESENT_PARAMETERS& p) {
  HWND window = p.hDeviceWindow ? p.hDeviceWindow : focusWindow;
  if (!IsWindow(window)) return InvalidCall("presentation: no device window");
  if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
    return InvalidCall("presentation: unknown swap effect");
  if (p.BackBufferCount > 1) return NotAvailable("presentation: one back buffer only");
  p.BackBufferCount = 1;
  if (p.Flags & ~kPresentFlags) return InvalidCall("presentation: unknown flags");
  uint32_t samples = SamplesPerPixel(p.MultiSampleType, p.MultiSampleQuality);
  if (samples == 0) return InvalidCall("presentation: multisample type or quality not available");
  if (samples > 1 && p.SwapEffect != D3DSWAPEFFECT_DISCARD)
    return InvalidCall("presentation: multisampling needs D3DSWAPEFFECT_DISCARD");
  if (samples > 1 && (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER))
    return InvalidCall("presentation: a multisampled back buffer cannot be lockable");
  if (p.EnableAutoDepthStencil) {
    const raster::FormatInfo* depth = raster::FindFormat(p.AutoDepthStencilFormat);
    if (!depth || depth->kind != raster::FormatKind::Depth)
      return InvalidCall("presentation: not a depth/stencil format");
  }
  HRESULT result = p.Windowed ? CompleteWindowed(window, p) : CompleteFullscreen(adapter, p);
  if (FAILED(result)) return result;
  if (p.BackBufferWidth > kMaxSurfaceSize || p.BackBufferHeight > kMaxSurfaceSize)
    return InvalidCall("presentation: back buffer too large");
  return D3D_OK;
}

bool ValidBehavior(DWORD flags) {
  DWORD processing = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                              D3DCREATE_HARDWARE_VERTEXPROCESSING |
                              D3DCREATE_MIXED_VERTEXPROCESSING);
  bool one = processing != 0 && (processing & (processing - 1)) == 0;
  bool pureOk = !(flags & D3DCREATE_PUREDEVICE) ||
                processing == D3DCREATE_HARDWARE_VERTEXPROCESSING;
  return one && pureOk;
}

}  // namespace

HRESULT Device::Create(Direct3D* direct3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                       DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device) {
  if (!device || !parameters) return InvalidCall("CreateDevice: null argument");
  *device = nullptr;
  Adapter* found = FindAdapter(adapter);
  if (!found || !IsServedDeviceType(type)) return InvalidCall("CreateDevice: bad adapter or type");
  if (!IsWindow(focusWindow) && !IsWindow(parameters->hDeviceWindow))
    return InvalidCall("CreateDevice: no focus window");
  if (!ValidBehavior(behaviorFlags)) return InvalidCall("CreateDevice: bad behaviour flags");
  D3DPRESENT_PARAMETERS completed = *parameters;
  HRESULT result = CompleteParameters(*found, focusWindow, completed);
  if (FAILED(result)) return result;
  Device* created = new Device(direct3d, adapter, type, focusWindow, behaviorFlags);
  result = created->BuildSwapChain(completed);
  if (FAILED(result)) {
    created->Release();
    return result;
  }
  *parameters = completed;
  *device = created;
  return D3D_OK;
}

Device::Device(Direct3D* direct3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags)
    : direct3d_(direct3d), adapter_(adapter), type_(type), focusWindow_(focusWindow), flags_(flags) {
  direct3d_->AddRef();
}

Device::~Device() {
  recording_.reset();
  state_ = DeviceState{};
  ReleaseSwapChain();
  ReleaseCursor();
  // Scratch objects outlive their device; everything else is gone by now.
  for (ChildObject* child : std::unordered_set<ChildObject*>(children_)) child->DetachFromDevice();
  direct3d_->Release();
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
  if (refs_ == 0) return 0;
  ULONG remaining = --refs_;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT Device::BuildSwapChain(const D3DPRESENT_PARAMETERS& p) {
  const raster::FormatInfo* color = raster::FindFormat(p.BackBufferFormat);
  backBuffer_.reset(new Surface(this, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, SurfaceOwner::Device,
                                nullptr, *color, p.BackBufferWidth, p.BackBufferHeight, p.MultiSampleType,
                                p.MultiSampleQuality));
  if (p.EnableAutoDepthStencil) {
    const raster::FormatInfo* depth = raster::FindFormat(p.AutoDepthStencilFormat);
    depthBuffer_.reset(new Surface(this, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL,
                                   SurfaceOwner::Device, nullptr, *depth, p.BackBufferWidth,
                                   p.BackBufferHeight, p.MultiSampleType, p.MultiSampleQuality));
  }
  if (!backBuffer_->Pixels().Allocated() || (depthBuffer_ && !depthBuffer_->Pixels().Allocated())) {
    ReleaseSwapChain();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  parameters_ = p;
  ResetToDefaults(state_, p.EnableAutoDepthStencil != 0, p.BackBufferWidth, p.BackBufferHeight);
  HWND window = PresentWindow(nullptr);
  if (!p.Windowed) {
    const RECT& bounds = FindAdapter(adapter_)->display.bounds;
    SetWindowPos(window, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ApplyCursor();
  return D3D_OK;
}

void Device::ReleaseSwapChain() {
  backBuffer_.reset();
  depthBuffer_.reset();
}

bool Device::BackBufferLockable() const {
  return (parameters_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
}

HWND Device::PresentWindow(HWND overrideWindow) const {
  if (overrideWindow) return overrideWindow;
  return parameters_.hDeviceWindow ? parameters_.hDeviceWindow : focusWindow_;
}

// A full-screen device is lost while its window is minimised or gone.
bool Device::CheckLoss() {
  if (!parameters_.Windowed) {
    HWND window = PresentWindow(nullptr);
    if (!IsWindow(window) || IsIconic(window)) lost_ = true;
  }
  return lost_;
}

HRESULT Device::TestCooperativeLevel() {
  if (!lost_) return CheckLoss() ? D3DERR_DEVICELOST : D3D_OK;
  if (forcedLoss_) {
    forcedLoss_ = false;
    return D3DERR_DEVICELOST;
  }
  bool stillGone = !parameters_.Windowed &&
                   (!IsWindow(PresentWindow(nullptr)) || IsIconic(PresentWindow(nullptr)));
  return stillGone ? D3DERR_DEVICELOST : D3DERR_DEVICENOTRESET;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
  if (!parameters) return InvalidCall("Reset: null parameters");
  if (std::any_of(children_.begin(), children_.end(),
                  [](ChildObject* c) { return c->BlocksReset(); }))
    return InvalidCall("Reset: default-pool resources still exist");
  D3DPRESENT_PARAMETERS completed = *parameters;
  HRESULT result = CompleteParameters(*FindAdapter(adapter_), focusWindow_, completed);
  if (FAILED(result)) return result;
  recording_.reset();
  inScene_ = false;
  state_ = DeviceState{};
  ReleaseSwapChain();
  result = BuildSwapChain(completed);
  if (FAILED(result)) {
    lost_ = true;
    return result;
  }
  lost_ = false;
  forcedLoss_ = false;
  *parameters = completed;
  return D3D_OK;
}

HRESULT Device::GetDirect3D(IDirect3D9** direct3d) {
  if (!direct3d) return InvalidCall("GetDirect3D: null output");
  direct3d_->AddRef();
  *direct3d = direct3d_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return InvalidCall("GetDeviceCaps: null output");
  *caps = DeviceCaps(adapter_, type_);
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
  if (swapChain != 0 || !mode) return InvalidCall("GetDisplayMode: bad swap chain or output");
  const Adapter* adapter = FindAdapter(adapter_);
  if (!adapter) return InvalidCall("GetDisplayMode: the adapter is gone");
  *mode = DesktopMode(*adapter);
  if (!parameters_.Windowed) {
    mode->Width = parameters_.BackBufferWidth;
    mode->Height = parameters_.BackBufferHeight;
    mode->Format = parameters_.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8
                   : parameters_.BackBufferFormat == D3DFMT_A1R5G5B5 ? D3DFMT_X1R5G5B5
                                                                      : parameters_.BackBufferFormat;
  }
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** backBuffer) {
  if (!backBuffer || swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO)
    return InvalidCall("GetBackBuffer: bad swap chain, index, type or output");
  backBuffer_->AddRef();
  *backBuffer = backBuffer_.get();
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** target) {
  if (!target || index != 0) return InvalidCall("GetRenderTarget: bad index or output");
  return GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, target);
}

// ---- Resource creation ------------------------------------------------------------------

namespace {

bool ValidPool(D3DPOOL pool) { return pool <= D3DPOOL_SCRATCH; }

UINT FullMipCount(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size >>= 1) ++levels;
  return levels;
}

}  // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                              HANDLE* sharedHandle) {
  if (!texture || sharedHandle) return InvalidCall("CreateTexture: bad output or shared handle");
  *texture = nullptr;
  const raster::FormatInfo* info = raster::FindFormat(format);
  if (!info || info->kind == raster::FormatKind::Depth || info->kind == raster::FormatKind::Index)
    return InvalidCall("CreateTexture: unsupported format");
  if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize)
    return InvalidCall("CreateTexture: size outside 1..MaxTextureWidth/Height");
  if (!ValidPool(pool) || (usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET)))
    return InvalidCall("CreateTexture: bad pool or usage");
  if ((usage & D3DUSAGE_RENDERTARGET) || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
    return InvalidCall("CreateTexture: usage not available in this pool");
  UINT full = FullMipCount(width, height);
  if (levels > full) return InvalidCall("CreateTexture: more levels than the chain has");
  auto* created = new Texture(this, pool, usage, *info, width, height, levels ? levels : full);
  if (!created->Allocated()) {
    created->Release();
    return E_OUTOFMEMORY;
  }
  *texture = created;
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
  if (!buffer || sharedHandle) return InvalidCall("CreateVertexBuffer: bad output or shared handle");
  *buffer = nullptr;
  if (length == 0 || !ValidPool(pool) || (fvf && raster::VertexSize(fvf) == 0))
    return InvalidCall("CreateVertexBuffer: bad length, pool or vertex format");
  if (fvf && length < raster::VertexSize(fvf))
    return InvalidCall("CreateVertexBuffer: shorter than one vertex");
  auto* created = new VertexBuffer(this, pool, usage, fvf, length);
  if (!created->Store().Allocated()) {
    created->Release();
    return E_OUTOFMEMORY;
  }
  *buffer = created;
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
  if (!buffer || sharedHandle) return InvalidCall("CreateIndexBuffer: bad output or shared handle");
  *buffer = nullptr;
  if (length == 0 || !ValidPool(pool) || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
    return InvalidCall("CreateIndexBuffer: bad length, pool or format");
  auto* created = new IndexBuffer(this, pool, usage, format, length);
  if (!created->Store().Allocated()) {
    created->Release();
    return E_OUTOFMEMORY;
  }
  *buffer = created;
  return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                   DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                                   HANDLE* sharedHandle) {
  if (!surface || sharedHandle) return InvalidCall("CreateRenderTarget: bad output or shared handle");
  *surface = nullptr;
  const raster::FormatInfo* info = raster::FindFormat(format);
  if (!info || !info->renderTarget) return InvalidCall("CreateRenderTarget: not a render-target format");
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize)
    return InvalidCall("CreateRenderTarget: size outside 1..16384");
  uint32_t samples = SamplesPerPixel(multiSample, multisampleQuality);
  if (samples == 0) return InvalidCall("CreateRenderTarget: multisample type or quality not available");
  if (samples > 1 && lockable) return InvalidCall("CreateRenderTarget: a multisampled surface cannot be lockable");
  auto* created = new Surface(this, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, SurfaceOwner::Standalone, nullptr,
                              *info, width, height, multiSample, multisampleQuality);
  if (!created->Pixels().Allocated()) {
    created->Release();
    return E_OUTOFMEMORY;
  }
  if (!lockable) created->RefuseLocks();
  *surface = created;
  return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DSurface9** surface,
                                            HANDLE* sharedHandle) {
  if (!surface || sharedHandle) return InvalidCall("CreateOffscreenPlainSurface: bad output");
  *surface = nullptr;
  const raster::FormatInfo* info = raster::FindFormat(format);
  if (!info || info->kind == raster::FormatKind::Depth || info->kind == raster::FormatKind::Index)
    return InvalidCall("CreateOffscreenPlainSurface: unsupported format");
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize)
    return InvalidCall("CreateOffscreenPlainSurface: size outside 1..16384");
  if (!ValidPool(pool) || pool == D3DPOOL_MANAGED)
    return InvalidCall("CreateOffscreenPlainSurface: the managed pool has no plain surfaces");
  auto* created = new Surface(this, pool, 0, SurfaceOwner::Standalone, nullptr, *info, width, height);
  if (!created->Pixels().Allocated()) {
    created->Release();
    return E_OUTOFMEMORY;
  }
  *surface = created;
  return D3D_OK;
}

}  // namespace d3d9impl
