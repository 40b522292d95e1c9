// Window and device set-up shared by the device tests.
#include "device_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testsupport {
namespace {

const char kClassName[] = "D3DTestWindow";

void RegisterTestClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  registered = RegisterClassA(&windowClass) != 0;
}

}  // namespace

TestDevice::TestDevice(const DeviceOptions& options) {
  RegisterTestClass();
  window = CreateWindowExA(0, kClassName, "device test", WS_POPUP | WS_VISIBLE, options.x, options.y,
                           options.width, options.height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!window || !direct3d) return;
  parameters.Windowed = options.windowed;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.BackBufferFormat = options.backBufferFormat;
  parameters.BackBufferWidth = options.backBufferWidth;
  parameters.BackBufferHeight = options.backBufferHeight;
  parameters.EnableAutoDepthStencil = options.depthBuffer;
  parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
  parameters.hDeviceWindow = window;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  parameters.MultiSampleType = options.multiSample;
  parameters.MultiSampleQuality = options.multiSampleQuality;
  if (!options.windowed) {
    D3DDISPLAYMODE mode{};
    direct3d->GetAdapterDisplayMode(0, &mode);
    parameters.BackBufferWidth = mode.Width;
    parameters.BackBufferHeight = mode.Height;
  }
  created = direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, options.flags, &parameters, &device);
}

TestDevice::~TestDevice() {
  if (device) {
    EXPECT_EQ(device->Release(), 0u) << "the device still has references";
  }
  if (direct3d) {
    EXPECT_EQ(direct3d->Release(), 0u);
  }
  if (window) DestroyWindow(window);
}

IDirect3DVertexBuffer9* MakeVertexBuffer(IDirect3DDevice9* device, const void* bytes, UINT size,
                                         D3DPOOL pool) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  if (FAILED(device->CreateVertexBuffer(size, 0, 0, pool, &buffer, nullptr))) return nullptr;
  void* data = nullptr;
  if (SUCCEEDED(buffer->Lock(0, 0, &data, 0))) {
    std::memcpy(data, bytes, size);
    buffer->Unlock();
  }
  return buffer;
}

std::vector<uint32_t> DrawTexturedQuads(const TestDevice& test, IDirect3DTexture9* texture,
                                        const std::vector<TexturedVertex>& vertices) {
  IDirect3DDevice9* d = test.device;
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
  d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
  d->SetTexture(0, texture);
  d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  const UINT bytes = UINT(vertices.size() * sizeof(TexturedVertex));
  IDirect3DVertexBuffer9* buffer = MakeVertexBuffer(d, vertices.data(), bytes);
  d->SetStreamSource(0, buffer, 0, sizeof(TexturedVertex));
  d->BeginScene();
  for (UINT first = 0; first + 4 <= vertices.size(); first += 4)
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, first, 2), D3D_OK);
  d->EndScene();
  d->SetTexture(0, nullptr);
  d->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  return ReadFrontBuffer(test);
}

std::vector<uint32_t> ReadFrontBuffer(const TestDevice& test) {
  IDirect3DDevice9* device = test.device;
  D3DDISPLAYMODE mode{};
  test.direct3d->GetAdapterDisplayMode(0, &mode);
  IDirect3DSurface9* surface = nullptr;
  std::vector<uint32_t> pixels;
  if (FAILED(device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                                 D3DPOOL_SCRATCH, &surface, nullptr)))
    return pixels;
  D3DLOCKED_RECT locked{};
  if (SUCCEEDED(device->GetFrontBufferData(0, surface)) && SUCCEEDED(surface->LockRect(&locked, nullptr, 0))) {
    pixels.resize(size_t(mode.Width) * mode.Height);
    for (UINT y = 0; y < mode.Height; ++y)
      std::memcpy(&pixels[size_t(y) * mode.Width], static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                  mode.Width * 4);
    surface->UnlockRect();
  }
  surface->Release();
  return pixels;
}

}  // namespace testsupport
