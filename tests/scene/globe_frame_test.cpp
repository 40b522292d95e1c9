// A whole frame of the globe scene with the bundled media, drawn through the scene's
// hooks on a headless device with a fixed spin and compared exactly with a reference
// image (the renderer and the generated media are deterministic).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "png_image.h"
#include "scene_test_support.h"

namespace {

const std::string kReferences = VESK_SCENE_REFERENCE_DIR;

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

TEST(GlobeFrame, DefaultMediaFrameMatchesItsReference) {
  testsupport::DeviceOptions options;
  options.width = 160;
  options.height = 120;
  testsupport::TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
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
  std::snprintf(app.textureFile, sizeof app.textureFile, "globe.png");
  app.eyeY = 8 * 0.034904446f;
  app.eyeZ = -3.0f;
  ASSERT_EQ(app.OneTimeSceneInit(), S_OK);
  ASSERT_EQ(app.InitDeviceObjects(), S_OK) << "the bundled media are found through registry.ini";
  ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);
  testsupport::Image image = DrawFrame(test, app, 1.3f, options);
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_frame.png", image, 0), "");
  app.InvalidateDeviceObjects();
  app.DeleteDeviceObjects();
  app.FinalCleanup();
  test.device->SetStreamSource(0, nullptr, 0, 0);
  test.device->SetIndices(nullptr);
  app.device = nullptr;
  app.direct3D = nullptr;
}

}  // namespace
