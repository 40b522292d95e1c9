// The backdrop drawn as the program draws it: ten times its size around the eye, view
// rotation only, depth test always passing, texture selected as is, linear and mirrored.
// The back buffer starts magenta; at every camera height the settings allow and for
// wide, tall and ordinary windows, no pixel may keep that colour.
#include <gtest/gtest.h>

#include "d3dx9.h"
#include "device_test_support.h"
#include "media_test_support.h"

namespace {

using testsupport::DeviceOptions;
using testsupport::TestDevice;

constexpr D3DCOLOR kSentinel = 0xFFFF00FF;
constexpr float kEyeHeightScale = 0.034904446f;  // the program's factor for its eye height setting

class BackdropCoverageTest : public ::testing::TestWithParam<std::pair<int, int>> {};

void SetBackdropState(IDirect3DDevice9* device, float eyeHeight, float aspect) {
  D3DXMATRIX world, view, projection;
  D3DXVECTOR3 eye(0.0f, eyeHeight * kEyeHeightScale, -3.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
  D3DXMatrixScaling(&world, 10.0f, 10.0f, 10.0f);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  view._41 = view._42 = view._43 = 0.0f;  // centred on the eye
  D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f, aspect, 0.1f, 225.0f);
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_WRAP0, 0);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

// Pixels of the window that still show the sentinel after one frame.
int UncoveredPixels(const TestDevice& test, const DeviceOptions& options) {
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(test);
  D3DDISPLAYMODE mode{};
  test.direct3d->GetAdapterDisplayMode(0, &mode);
  int uncovered = 0;
  for (int y = 0; y < options.height; ++y)
    for (int x = 0; x < options.width; ++x)
      uncovered += (screen[size_t(options.y + y) * mode.Width + size_t(options.x + x)] & 0xFFFFFF) ==
                   (kSentinel & 0xFFFFFF);
  return uncovered;
}

TEST_P(BackdropCoverageTest, CoversEveryPixelAtEveryEyeHeight) {
  DeviceOptions options;
  options.width = GetParam().first;
  options.height = GetParam().second;
  TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  IDirect3DDevice9* device = test.device;
  mediatest::LoadedMesh loaded;
  ASSERT_EQ(mediatest::LoadMesh(device, mediatest::MediaPath("vesk.x"), loaded), D3D_OK);
  ASSERT_EQ(loaded.materials.size(), 1u);
  ID3DXMesh* drawable = nullptr;
  ASSERT_EQ(loaded.mesh->CloneMeshFVF(0, loaded.mesh->GetFVF(), device, &drawable), D3D_OK);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileA(device, mediatest::MediaPath(loaded.textureNames[0]).c_str(), &texture),
            D3D_OK);

  for (float eyeHeight : {-1000.0f, 0.0f, 30.0f, 1000.0f}) {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSentinel, 1.0f, 0), D3D_OK);
    SetBackdropState(device, eyeHeight, float(options.width) / float(options.height));
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetMaterial(&loaded.materials[0].MatD3D);
    device->SetTexture(0, texture);
    EXPECT_EQ(drawable->DrawSubset(0), D3D_OK);
    device->SetTexture(0, nullptr);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(UncoveredPixels(test, options), 0) << "eye height " << eyeHeight;
  }
  texture->Release();
  drawable->Release();
  loaded.mesh->Release();
}

INSTANTIATE_TEST_SUITE_P(WindowShapes, BackdropCoverageTest,
                         ::testing::Values(std::make_pair(160, 16), std::make_pair(16, 160), std::make_pair(64, 48)),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
