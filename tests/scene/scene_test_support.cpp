// Helpers of the scene tests.
#include "scene_test_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace scenetest {

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string FourMaterialMesh(float alpha0, float alpha1, float alpha2, float alpha3, const char* texture) {
  std::ostringstream x;
  x << "xof 0302txt 0032\nMesh {\n 12;\n";
  for (int t = 0; t < 4; ++t) {
    float left = -2.0f + t;
    x << " " << left << ";-0.5;0.0;, " << left << ";0.5;0.0;, " << left + 1 << ";-0.5;0.0;"
      << (t == 3 ? ";\n" : ",\n");
  }
  x << " 4;\n 3;0,1,2;,\n 3;3,4,5;,\n 3;6,7,8;,\n 3;9,10,11;;\n";
  x << " MeshMaterialList { 4; 4; 0, 1, 2, 3;;\n";
  float alphas[4] = {alpha0, alpha1, alpha2, alpha3};
  for (int m = 0; m < 4; ++m) {
    x << "  Material { 1.0;1.0;1.0;" << alphas[m] << ";; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;";
    if (m == 0 && texture) x << " TextureFilename { \"" << texture << "\"; }";
    x << " }\n";
  }
  x << " }\n}\n";
  return x.str();
}

void AttachDevice(GlobeApp& app, testsupport::TestDevice& test) {
  app.device = test.device;
  app.direct3D = test.direct3d;
  app.window = test.window;
  test.device->GetDeviceCaps(&app.caps);
  app.settings.isWindowed = true;
  test.direct3d->GetAdapterDisplayMode(0, &app.settings.windowedDisplayMode);
  IDirect3DSurface9* back = nullptr;
  test.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  back->GetDesc(&app.backBufferDesc);
  back->Release();
}

void InitScene(GlobeApp& app) {
  std::snprintf(app.textureFile, sizeof app.textureFile, "globe.png");
  ASSERT_EQ(app.OneTimeSceneInit(), S_OK);
  ASSERT_EQ(app.InitDeviceObjects(), S_OK) << "the bundled media are found through registry.ini";
  ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);
}

testsupport::Image DrawFrame(testsupport::TestDevice& test, GlobeApp& app, float spin,
                             const testsupport::DeviceOptions& options) {
  spinAngle = spin;
  app.elapsedTime = 0.0f;
  EXPECT_EQ(app.FrameMove(), S_OK);
  EXPECT_EQ(app.Render(), S_OK);
  test.device->Present(nullptr, nullptr, nullptr, nullptr);
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(test);
  testsupport::Image image{uint32_t(options.width), uint32_t(options.height), {}};
  for (int y = 0; y < options.height; ++y)
    for (int x = 0; x < options.width; ++x) image.argb.push_back(screen[size_t(options.y + y) * 1920 + options.x + x]);
  return image;
}

void ReleaseScene(GlobeApp& app, testsupport::TestDevice& test) {
  app.InvalidateDeviceObjects();
  app.DeleteDeviceObjects();
  app.FinalCleanup();
  test.device->SetStreamSource(0, nullptr, 0, 0);
  test.device->SetIndices(nullptr);
  app.device = nullptr;
  app.direct3D = nullptr;
}

}  // namespace scenetest
