// Multisampling through the device: what CheckDeviceMultiSampleType answers, which
// presentation parameters CreateDevice and Reset take, locks, and the resolved pixels of
// shapes whose edges cut known numbers of samples (Present and StretchRect).
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "device_test_support.h"

namespace {

using testsupport::DeviceOptions;
using testsupport::TestDevice;

TEST(MultisampleQueries, EveryRenderTargetAndDepthFormatTakesTwoFourAndEightSamples) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  const D3DFORMAT surfaces[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                D3DFMT_A1R5G5B5, D3DFMT_A2R10G10B10, D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32};
  for (D3DFORMAT format : surfaces) {
    for (DWORD type = 0; type <= 16; ++type) {
      for (BOOL windowed : {TRUE, FALSE}) {
        DWORD levels = 99;
        HRESULT result = d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, format, windowed,
                                                         D3DMULTISAMPLE_TYPE(type), &levels);
        bool drawn = type == 0 || type == 1 || type == 2 || type == 4 || type == 8;
        EXPECT_EQ(result, drawn ? D3D_OK : D3DERR_NOTAVAILABLE) << "format " << format << ", type " << type;
        if (drawn) {
          EXPECT_EQ(levels, type == D3DMULTISAMPLE_NONMASKABLE ? 3u : 1u) << "type " << type;
        }
      }
    }
  }
  // Not for texture-only formats, and bad arguments are refused.
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_REF, D3DFMT_L8, TRUE, D3DMULTISAMPLE_4_SAMPLES, nullptr),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_DXT1, TRUE, D3DMULTISAMPLE_2_SAMPLES, nullptr),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_TYPE(17),
                                            nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(7, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES,
                                            nullptr),
            D3DERR_INVALIDCALL);
  d3d->Release();
}

// The back buffer's multisample type and quality as GetDesc reports them.
std::pair<D3DMULTISAMPLE_TYPE, DWORD> BackBufferSampling(IDirect3DDevice9* device) {
  IDirect3DSurface9* back = nullptr;
  D3DSURFACE_DESC desc{};
  if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) {
    back->GetDesc(&desc);
    back->Release();
  }
  return {desc.MultiSampleType, desc.MultiSampleQuality};
}

TEST(MultisampleDevice, CreatesAndResetsWithEachTypeAndQuality) {
  std::vector<std::pair<D3DMULTISAMPLE_TYPE, DWORD>> choices = {
      {D3DMULTISAMPLE_2_SAMPLES, 0},   {D3DMULTISAMPLE_4_SAMPLES, 0},   {D3DMULTISAMPLE_8_SAMPLES, 0},
      {D3DMULTISAMPLE_NONMASKABLE, 0}, {D3DMULTISAMPLE_NONMASKABLE, 1}, {D3DMULTISAMPLE_NONMASKABLE, 2}};
  for (auto [type, quality] : choices) {
    DeviceOptions options;
    options.multiSample = type;
    options.multiSampleQuality = quality;
    TestDevice test(options);
    ASSERT_EQ(test.created, D3D_OK) << "type " << type << ", quality " << quality;
    EXPECT_EQ(BackBufferSampling(test.device), std::make_pair(type, quality));
    EXPECT_EQ(test.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699, 1.0f, 0), D3D_OK);
    // Back to one sample, and to another type, by Reset.
    D3DPRESENT_PARAMETERS p = test.parameters;
    p.MultiSampleType = D3DMULTISAMPLE_NONE;
    p.MultiSampleQuality = 0;
    ASSERT_EQ(test.device->Reset(&p), D3D_OK);
    EXPECT_EQ(BackBufferSampling(test.device), std::make_pair(D3DMULTISAMPLE_NONE, DWORD{0}));
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    ASSERT_EQ(test.device->Reset(&p), D3D_OK);
    EXPECT_EQ(BackBufferSampling(test.device), std::make_pair(D3DMULTISAMPLE_4_SAMPLES, DWORD{0}));
    EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  }
}

TEST(MultisampleDevice, CreateDeviceAndResetRefuseWhatTheyCannotDo) {
  TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  auto create = [&](auto change) {
    D3DPRESENT_PARAMETERS p = test.parameters;
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    change(p);
    D3DPRESENT_PARAMETERS forReset = p;
    IDirect3DDevice9* device = nullptr;
    HRESULT result = test.direct3d->CreateDevice(0, D3DDEVTYPE_HAL, test.window,
                                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device);
    if (device) device->Release();
    EXPECT_EQ(test.device->Reset(&forReset), result) << "Reset answers as CreateDevice does";
    return result;
  };
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = D3DSWAPEFFECT_COPY; }), D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = D3DSWAPEFFECT_FLIP; }), D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.MultiSampleQuality = 1; }), D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.MultiSampleType = D3DMULTISAMPLE_3_SAMPLES; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) { p.MultiSampleType = D3DMULTISAMPLE_16_SAMPLES; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) {
              p.MultiSampleType = D3DMULTISAMPLE_NONMASKABLE;
              p.MultiSampleQuality = 3;
            }),
            D3DERR_INVALIDCALL);
  // One sample keeps taking every swap effect and a lockable back buffer.
  EXPECT_EQ(create([](D3DPRESENT_PARAMETERS& p) {
              p.MultiSampleType = D3DMULTISAMPLE_NONE;
              p.SwapEffect = D3DSWAPEFFECT_COPY;
              p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
            }),
            D3D_OK);
}

TEST(MultisampleDevice, MultisampledSurfacesCannotBeLocked) {
  DeviceOptions options;
  options.multiSample = D3DMULTISAMPLE_4_SAMPLES;
  TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(test.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL);
  back->Release();
  IDirect3DSurface9* target = nullptr;
  EXPECT_EQ(test.device->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, TRUE, &target,
                                            nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(test.device->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_8_SAMPLES, 1, FALSE, &target,
                                            nullptr),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(test.device->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_8_SAMPLES, 0, FALSE, &target,
                                            nullptr),
            D3D_OK);
  EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  D3DSURFACE_DESC desc{};
  target->GetDesc(&desc);
  EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_8_SAMPLES);
  EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_RENDERTARGET));
  target->Release();
  ASSERT_EQ(test.device->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                            nullptr),
            D3D_OK);
  EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL) << "created without the lockable flag";
  target->Release();
}

struct ColorVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
};

// A pre-transformed quad whose depth runs from z0 on its left edge to z1 on its right.
void DrawQuad(IDirect3DDevice9* device, float x0, float y0, float x1, float y1, float z0, float z1, D3DCOLOR color) {
  ColorVertex quad[] = {{x0, y0, z0, 1, color}, {x1, y0, z1, 1, color}, {x0, y1, z0, 1, color},
                        {x1, y1, z1, 1, color}};
  IDirect3DVertexBuffer9* buffer = testsupport::MakeVertexBuffer(device, quad, sizeof quad);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->SetStreamSource(0, buffer, 0, sizeof(ColorVertex));
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  device->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
}

// Edges 3.5/16 pixel right of column 10's centre and below row 20's: each standard
// pattern has a known number of samples on either side.
constexpr float kEdge = 3.5f / 16;

struct PatternCase {
  D3DMULTISAMPLE_TYPE type;
  uint32_t inside;  // resolved grey of the samples left of (or above) one edge
  uint32_t rest;    // of the others
  uint32_t corner;  // of the samples left of and above both edges
};

// Samples left of the vertical edge: 2 samples: 1; 4: 3; 8: 6 (the same counts above
// the horizontal one). Left of and above both: 1, 2 and 4. The mean of k samples of 255
// out of n is (255 k + n / 2) / n, rounded down.
constexpr PatternCase kPatterns[] = {{D3DMULTISAMPLE_2_SAMPLES, 0x80, 0x80, 0x80},
                                     {D3DMULTISAMPLE_4_SAMPLES, 0xBF, 0x40, 0x80},
                                     {D3DMULTISAMPLE_8_SAMPLES, 0xBF, 0x40, 0x80}};

uint32_t Grey(uint32_t v) { return v << 16 | v << 8 | v; }

// The device's part of the screen, 0x00RRGGBB, after a Present.
struct Shown {
  std::vector<uint32_t> screen;
  int x, y;
  uint32_t operator()(int column, int row) const { return screen[size_t(y + row) * 1920 + size_t(x + column)] & 0xFFFFFF; }
};

Shown PresentAndShow(const TestDevice& test, const DeviceOptions& options) {
  EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  Shown shown{testsupport::ReadFrontBuffer(test), options.x, options.y};
  EXPECT_EQ(shown.screen.size(), 1920u * 1080u);
  shown.screen.resize(1920u * 1080u);
  return shown;
}

TEST(MultisampleResolve, PresentAndStretchRectAverageTheSamplesOfAKnownPattern) {
  for (const PatternCase& c : kPatterns) {
    DeviceOptions options;
    options.multiSample = c.type;
    TestDevice test(options);
    ASSERT_EQ(test.created, D3D_OK);
    IDirect3DDevice9* d = test.device;
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    d->BeginScene();
    DrawQuad(d, 2.0f, 2.0f, 10.0f + kEdge, 20.0f + kEdge, 0.5f, 0.5f, 0xFFFFFFFF);
    d->EndScene();
    Shown at = PresentAndShow(test, options);
    EXPECT_EQ(at(9, 10), Grey(0xFF)) << "type " << c.type;
    EXPECT_EQ(at(10, 10), Grey(c.inside)) << "type " << c.type;
    EXPECT_EQ(at(11, 10), Grey(0)) << "type " << c.type;
    EXPECT_EQ(at(5, 20), Grey(c.inside)) << "type " << c.type;
    EXPECT_EQ(at(5, 21), Grey(0)) << "type " << c.type;
    EXPECT_EQ(at(10, 20), Grey(c.corner)) << "type " << c.type;

    // StretchRect resolves the same way into a lockable render target, here a part of
    // the back buffer to another place.
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(d->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &copy, nullptr), D3D_OK);
    const RECT from{8, 18, 12, 22}, to{2, 2, 6, 6};
    EXPECT_EQ(d->StretchRect(back, &from, copy, &to, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(d->StretchRect(copy, nullptr, back, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL)
        << "a multisampled destination";
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, static_cast<uint8_t*>(locked.pBits) + (2 + y) * locked.Pitch + (2 + x) * 4, 4);
        EXPECT_EQ(pixel & 0xFFFFFF, at(8 + x, 18 + y)) << x << ", " << y << ", type " << c.type;
      }
    copy->UnlockRect();
    copy->Release();
    back->Release();
  }
}

TEST(MultisampleResolve, StretchRectRefusesWhatItCannotDo) {
  TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  IDirect3DDevice9* d = test.device;
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* target = nullptr;
  IDirect3DSurface9* system = nullptr;
  ASSERT_EQ(d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  ASSERT_EQ(d->CreateRenderTarget(32, 32, D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE, 0, TRUE, &target, nullptr), D3D_OK);
  ASSERT_EQ(d->CreateOffscreenPlainSurface(32, 32, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
  const RECT inside{0, 0, 16, 16}, outside{0, 0, 65, 16}, empty{4, 4, 4, 8};
  EXPECT_EQ(d->StretchRect(back, &inside, target, &inside, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(d->StretchRect(back, &inside, target, nullptr, D3DTEXF_POINT), D3D_OK) << "stretched, nearest";
  EXPECT_EQ(d->StretchRect(back, &inside, target, nullptr, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->StretchRect(back, &outside, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->StretchRect(back, &empty, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->StretchRect(back, nullptr, system, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL) << "system memory";
  EXPECT_EQ(d->StretchRect(target, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL) << "itself";
  EXPECT_EQ(d->StretchRect(nullptr, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  system->Release();
  target->Release();
  back->Release();
}

TEST(MultisampleDepth, CrossingQuadsAreDepthTestedAtEachSample) {
  // A red quad whose depth rises from 0 to 1 across the 64-pixel back buffer, then a
  // green one at the red one's depth 3.5/16 pixel right of column 10's centre: green
  // wins on the samples right of that line. Column 10 shows the mix of both; without
  // multisampling it would be red alone.
  for (const PatternCase& c : kPatterns) {
    DeviceOptions options;
    options.multiSample = c.type;
    TestDevice test(options);
    ASSERT_EQ(test.created, D3D_OK);
    IDirect3DDevice9* d = test.device;
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    d->BeginScene();
    DrawQuad(d, 0.0f, 0.0f, 64.0f, 48.0f, 0.0f, 1.0f, 0xFFFF0000);
    float crossing = (10.0f + kEdge) / 64.0f;
    DrawQuad(d, 0.0f, 0.0f, 64.0f, 48.0f, crossing, crossing, 0xFF00FF00);
    d->EndScene();
    Shown at = PresentAndShow(test, options);
    EXPECT_EQ(at(9, 30), 0xFF0000u);
    EXPECT_EQ(at(10, 30), c.inside << 16 | c.rest << 8) << "type " << c.type;
    EXPECT_EQ(at(11, 30), 0x00FF00u);
  }
}

}  // namespace
