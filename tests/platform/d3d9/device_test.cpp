// The device: creation, reference counts, Reset, device loss, the front buffer, state
// blocks, and hostile calls that must fail cleanly.
#include <gtest/gtest.h>

#include <cstring>

#include "d3d9ext.h"
#include "device_test_support.h"

namespace {

using testsupport::DeviceOptions;
using testsupport::TestDevice;

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

TEST(DeviceCreation, WindowedZeroSizeTakesTheClientAreaAndUnknownFormatTheDesktops) {
  TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  EXPECT_EQ(test.parameters.BackBufferWidth, 64u);
  EXPECT_EQ(test.parameters.BackBufferHeight, 48u);
  EXPECT_EQ(test.parameters.BackBufferCount, 1u);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(test.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DSURFACE_DESC desc{};
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  back->Release();
}

TEST(DeviceCreation, RefusesBadBehaviourFlagsModesAndIntervals) {
  DeviceOptions both;
  both.flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  EXPECT_EQ(TestDevice(both).created, D3DERR_INVALIDCALL);
  DeviceOptions pureSoftware;
  pureSoftware.flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
  EXPECT_EQ(TestDevice(pureSoftware).created, D3DERR_INVALIDCALL);

  TestDevice test;
  D3DPRESENT_PARAMETERS p = test.parameters;
  IDirect3DDevice9* device = nullptr;
  p.Windowed = FALSE;
  p.BackBufferWidth = 123;  // no such display mode
  EXPECT_EQ(test.direct3d->CreateDevice(0, D3DDEVTYPE_HAL, test.window,
                                        D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
            D3DERR_INVALIDCALL);
  p = test.parameters;
  p.PresentationInterval = D3DPRESENT_INTERVAL_TWO;  // full screen only
  EXPECT_EQ(test.direct3d->CreateDevice(0, D3DDEVTYPE_HAL, test.window,
                                        D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(test.direct3d->CreateDevice(0, D3DDEVTYPE_SW, test.window,
                                        D3DCREATE_HARDWARE_VERTEXPROCESSING, &test.parameters, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device, nullptr);
}

TEST(DeviceReferences, PooledResourcesHoldTheDeviceScratchSurfacesDoNot) {
  TestDevice test;
  ASSERT_EQ(RefCount(test.device), 1u);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(test.device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  EXPECT_EQ(RefCount(test.device), 2u);
  EXPECT_EQ(texture->GetLevelCount(), 4u);

  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(2, &level), D3D_OK);
  EXPECT_EQ(RefCount(texture), 2u) << "a level counts on its texture";
  EXPECT_EQ(level->Release(), 1u);

  IDirect3DSurface9* scratch = nullptr;
  ASSERT_EQ(test.device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &scratch, nullptr),
            D3D_OK);
  EXPECT_EQ(RefCount(test.device), 2u);

  // Bound textures stay usable after the program lets go, without a visible reference.
  ASSERT_EQ(test.device->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(texture->Release(), 0u);
  EXPECT_EQ(RefCount(test.device), 1u);
  EXPECT_EQ(test.device->SetTexture(0, nullptr), D3D_OK);

  IDirect3DSurface9* back = nullptr;
  test.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  EXPECT_EQ(RefCount(test.device), 2u) << "the back buffer counts on its device";
  back->Release();

  // The scratch surface outlives the device.
  EXPECT_EQ(test.device->Release(), 0u);
  test.device = nullptr;
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(scratch->LockRect(&locked, nullptr, 0), D3D_OK);
  scratch->UnlockRect();
  EXPECT_EQ(scratch->Release(), 0u);
}

TEST(DeviceReferences, StateBlockHoldsTheDeviceAndWhatItRecorded) {
  TestDevice test;
  IDirect3DTexture9* texture = nullptr;
  test.device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture, nullptr);
  ASSERT_EQ(test.device->BeginStateBlock(), D3D_OK);
  test.device->SetTexture(0, texture);
  test.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(test.device->EndStateBlock(&block), D3D_OK);
  EXPECT_EQ(RefCount(test.device), 3u);
  EXPECT_EQ(texture->Release(), 0u);
  EXPECT_EQ(block->Release(), 0u);
  EXPECT_EQ(RefCount(test.device), 1u);
}

TEST(DeviceStateBlocks, RecordWithoutApplyingThenApplyAndCapture) {
  TestDevice test;
  IDirect3DDevice9* d = test.device;
  d->BeginStateBlock();
  d->SetRenderState(D3DRS_ALPHAREF, 8);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(d->EndStateBlock(&block), D3D_OK);
  DWORD value = 0;
  d->GetRenderState(D3DRS_ALPHAREF, &value);
  EXPECT_EQ(value, 0u) << "recording does not apply";
  block->Apply();
  d->GetRenderState(D3DRS_ALPHAREF, &value);
  EXPECT_EQ(value, 8u);
  d->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_SELECTARG2));

  d->SetRenderState(D3DRS_ALPHAREF, 99);
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
  block->Capture();
  d->SetRenderState(D3DRS_ALPHAREF, 1);
  block->Apply();
  d->GetRenderState(D3DRS_ALPHAREF, &value);
  EXPECT_EQ(value, 99u) << "capture took the device's value";
  block->Release();
  EXPECT_EQ(d->EndStateBlock(&block), D3DERR_INVALIDCALL);
}

TEST(DeviceReset, RefusedWhileDefaultPoolResourcesLiveAndRestoresDefaults) {
  TestDevice test;
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(test.device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
  IDirect3DTexture9* managed = nullptr;
  test.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr);
  test.device->SetRenderState(D3DRS_LIGHTING, FALSE);
  D3DPRESENT_PARAMETERS p = test.parameters;
  EXPECT_EQ(test.device->Reset(&p), D3DERR_INVALIDCALL);
  buffer->Release();
  p.BackBufferWidth = 32;
  ASSERT_EQ(test.device->Reset(&p), D3D_OK) << "managed resources do not block Reset";
  DWORD lighting = 0;
  test.device->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(lighting, DWORD(TRUE));
  D3DVIEWPORT9 viewport{};
  test.device->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 32u);
  managed->Release();
}

TEST(DeviceLoss, ForcedLossIsReportedUntilReset) {
  TestDevice test;
  d3d9ext::ForceDeviceLoss(test.device);
  EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(test.device->BeginScene(), D3D_OK);
  EXPECT_EQ(test.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK) << "ignored while lost";
  test.device->EndScene();
  D3DPRESENT_PARAMETERS p = test.parameters;
  ASSERT_EQ(test.device->Reset(&p), D3D_OK);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST(DeviceLoss, FullscreenDeviceIsLostWhileItsWindowIsMinimised) {
  DeviceOptions options;
  options.windowed = FALSE;
  TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  RECT rect{};
  GetWindowRect(test.window, &rect);
  EXPECT_EQ(rect.right - rect.left, 1920) << "full screen covers the display";
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3D_OK);
  ShowWindow(test.window, SW_MINIMIZE);
  EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  ShowWindow(test.window, SW_RESTORE);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS p = test.parameters;
  EXPECT_EQ(test.device->Reset(&p), D3D_OK);
  EXPECT_EQ(test.device->TestCooperativeLevel(), D3D_OK);
}

// The desktop as a kept surface holds it after GetFrontBufferData.
std::vector<uint32_t> SurfacePixels(IDirect3DSurface9* surface) {
  D3DSURFACE_DESC desc{};
  surface->GetDesc(&desc);
  std::vector<uint32_t> pixels(size_t(desc.Width) * desc.Height);
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return {};
  for (UINT y = 0; y < desc.Height; ++y)
    std::memcpy(&pixels[size_t(y) * desc.Width], static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                desc.Width * 4);
  surface->UnlockRect();
  return pixels;
}

void ClearAndPresent(IDirect3DDevice9* device, D3DCOLOR colour) {
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

// Surfaces kept from read to read (as the recording keeps its one) take only what
// changed since their last read; whatever happened in between, each read must still
// give the whole desktop exactly as a fresh surface gets it.
TEST(DeviceFrontBuffer, KeptSurfacesAlwaysReadTheWholeDesktop) {
  DeviceOptions second;
  second.x = -20;  // partly off the desktop
  second.y = 300;
  TestDevice a, b(second);
  ASSERT_EQ(a.created, D3D_OK);
  ASSERT_EQ(b.created, D3D_OK);
  IDirect3DSurface9* kept[2] = {};
  for (IDirect3DSurface9*& surface : kept)
    ASSERT_EQ(a.device->CreateOffscreenPlainSurface(1920, 1080, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &surface, nullptr),
              D3D_OK);
  auto readMatches = [&](IDirect3DSurface9* surface, const char* after) {
    ASSERT_EQ(a.device->GetFrontBufferData(0, surface), D3D_OK);
    EXPECT_TRUE(SurfacePixels(surface) == testsupport::ReadFrontBuffer(a)) << after;
  };
  ClearAndPresent(a.device, 0xFF102030);
  readMatches(kept[0], "a first present");
  ClearAndPresent(b.device, 0xFF405060);
  readMatches(kept[0], "a present by another device");
  readMatches(kept[0], "no change");
  ClearAndPresent(a.device, 0xFF708090);
  readMatches(kept[1], "a second surface");
  ClearAndPresent(b.device, 0xFFA0B0C0);
  ClearAndPresent(a.device, 0xFFC0D0E0);
  readMatches(kept[0], "three presents since its read");
  for (int i = 0; i < 40; ++i) ClearAndPresent((i % 2 ? a : b).device, D3DCOLOR_XRGB(i, 2 * i, 3 * i));
  readMatches(kept[1], "more presents than are remembered");

  D3DLOCKED_RECT locked{};
  ASSERT_EQ(kept[1]->LockRect(&locked, nullptr, 0), D3D_OK);
  std::memset(locked.pBits, 0x5A, size_t(locked.Pitch) * 1080);
  kept[1]->UnlockRect();
  readMatches(kept[1], "the surface written through a lock");
  for (IDirect3DSurface9* surface : kept) surface->Release();
}

// Without alpha in the back buffer, or with any alpha, the desktop is opaque; a back
// buffer smaller than the window is stretched over it, each pixel repeated.
TEST(DeviceFrontBuffer, PresentMakesTheDesktopOpaqueAndStretchesSmallBackBuffers) {
  DeviceOptions argb;
  argb.backBufferFormat = D3DFMT_A8R8G8B8;
  TestDevice alpha(argb);
  ASSERT_EQ(alpha.created, D3D_OK);
  ClearAndPresent(alpha.device, 0x00336699);
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(alpha);
  EXPECT_EQ(screen[size_t(60) * 1920 + 100], 0xFF336699u);
  EXPECT_EQ(screen[0], 0xFF000000u) << "the untouched desktop is opaque black";

  DeviceOptions small;
  small.y = 200;
  small.backBufferWidth = 32;
  small.backBufferHeight = 24;
  TestDevice stretched(small);
  ASSERT_EQ(stretched.created, D3D_OK);
  const D3DRECT left{0, 0, 16, 24}, right{16, 0, 32, 24};
  ASSERT_EQ(stretched.device->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  ASSERT_EQ(stretched.device->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
  ASSERT_EQ(stretched.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  screen = testsupport::ReadFrontBuffer(stretched);
  auto at = [&](int x, int y) { return screen[size_t(200 + y) * 1920 + size_t(100 + x)]; };
  EXPECT_EQ(at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(at(31, 47), 0xFFFF0000u) << "back buffer column 15, repeated";
  EXPECT_EQ(at(32, 0), 0xFF0000FFu);
  EXPECT_EQ(at(63, 47), 0xFF0000FFu);
}

TEST(DeviceFrontBuffer, PresentPutsTheBackBufferAtTheWindowsClientArea) {
  DeviceOptions options;
  options.backBufferFormat = D3DFMT_R5G6B5;
  TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  ASSERT_EQ(test.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  ASSERT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(test);
  ASSERT_EQ(screen.size(), 1920u * 1080u);
  auto at = [&](int x, int y) { return screen[size_t(y) * 1920 + x]; };
  EXPECT_EQ(at(100, 60), 0xFF00FF00u);
  EXPECT_EQ(at(163, 107), 0xFF00FF00u);
  EXPECT_EQ(at(99, 60) & 0x00FFFFFFu, 0u) << "outside the window the desktop stays as it was";
  EXPECT_EQ(at(164, 107) & 0x00FFFFFFu, 0u);
}

TEST(DeviceFrontBuffer, NeedsADesktopSizedArgbSurfaceInACpuPool) {
  TestDevice test;
  auto attempt = [&](UINT w, UINT h, D3DFORMAT format, D3DPOOL pool) {
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(test.device->CreateOffscreenPlainSurface(w, h, format, pool, &surface, nullptr))) return E_FAIL;
    HRESULT result = test.device->GetFrontBufferData(0, surface);
    surface->Release();
    return result;
  };
  EXPECT_EQ(attempt(1920, 1080, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM), D3D_OK);
  EXPECT_EQ(attempt(640, 480, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH), D3DERR_INVALIDCALL);
  EXPECT_EQ(attempt(1920, 1080, D3DFMT_X8R8G8B8, D3DPOOL_SCRATCH), D3DERR_INVALIDCALL);
  EXPECT_EQ(attempt(1920, 1080, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT), D3DERR_INVALIDCALL);
}

TEST(DeviceHostileCalls, ResourceCreationAndLocksFailCleanly) {
  TestDevice test;
  IDirect3DDevice9* d = test.device;
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(d->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->CreateTexture(8193, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFORMAT(12345), D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, nullptr);

  ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  D3DLOCKED_RECT locked{};
  RECT outside{4, 4, 12, 8};
  EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
  RECT unaligned{1, 0, 4, 4};
  EXPECT_EQ(texture->LockRect(0, &locked, &unaligned, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 16) << "two 8-byte blocks a row";
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  texture->Release();

  IDirect3DTexture9* defaultPool = nullptr;
  ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &defaultPool, nullptr), D3D_OK);
  EXPECT_EQ(defaultPool->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "not dynamic";
  defaultPool->Release();

  IDirect3DVertexBuffer9* buffer = nullptr;
  EXPECT_EQ(d->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(d->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  void* data = nullptr;
  EXPECT_EQ(buffer->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->Lock(64, 0, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
  buffer->Release();
}

TEST(DeviceHostileCalls, DrawsAndScenesAreChecked) {
  TestDevice test;
  IDirect3DDevice9* d = test.device;
  const float triangle[3][4] = {{0, 0, 0.5f, 1}, {10, 0, 0.5f, 1}, {0, 10, 0.5f, 1}};
  IDirect3DVertexBuffer9* buffer = testsupport::MakeVertexBuffer(d, triangle, sizeof triangle);
  ASSERT_NE(buffer, nullptr);
  d->SetFVF(D3DFVF_XYZRHW);
  d->SetStreamSource(0, buffer, 0, 16);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "outside a scene";
  EXPECT_EQ(d->EndScene(), D3DERR_INVALIDCALL);
  ASSERT_EQ(d->BeginScene(), D3D_OK);
  EXPECT_EQ(d->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL) << "past the end";
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3DERR_INVALIDCALL) << "lines are not drawn";
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL) << "no indices";
  IDirect3DIndexBuffer9* indices = nullptr;
  ASSERT_EQ(d->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
  uint16_t* index = nullptr;
  indices->Lock(0, 0, reinterpret_cast<void**>(&index), 0);
  index[0] = 0; index[1] = 1; index[2] = 40000;  // names a vertex that is not there
  indices->Unlock();
  d->SetIndices(indices);
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK) << "skipped, not read";
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 1, 1), D3DERR_INVALIDCALL);
  d->SetFVF(0);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no vertex format";
  EXPECT_EQ(d->SetFVF(D3DFVF_NORMAL | D3DFVF_TEX1), D3DERR_INVALIDCALL) << "no position";
  EXPECT_EQ(d->SetStreamSource(0, buffer, 48, 16), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->SetTextureStageState(8, D3DTSS_COLOROP, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->SetRenderState(D3DRENDERSTATETYPE(300), 0), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 tooLarge{0, 0, 65, 48, 0.0f, 1.0f};
  EXPECT_EQ(d->SetViewport(&tooLarge), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->EndScene(), D3D_OK);
  d->SetStreamSource(0, nullptr, 0, 0);
  d->SetIndices(nullptr);
  indices->Release();
  buffer->Release();
}

}  // namespace
