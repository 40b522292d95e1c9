// A whole frame of the globe scene with the bundled media, drawn through the scene's
// hooks on a headless device with a fixed spin and compared exactly with a reference
// image (the renderer and the generated media are deterministic).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "png_image.h"
#include "scene_test_support.h"
#include "text_font.h"

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

// Gives the scene the test's device, window and settings, as the shell would.
void Attach(GlobeApp& app, testsupport::TestDevice& test) {
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
}

void Detach(GlobeApp& app, testsupport::TestDevice& test) {
  test.device->SetStreamSource(0, nullptr, 0, 0);
  test.device->SetIndices(nullptr);
  test.device->SetTexture(0, nullptr);
  app.device = nullptr;
  app.direct3D = nullptr;
}

TEST(GlobeFrame, DefaultMediaFrameMatchesItsReference) {
  testsupport::DeviceOptions options;
  options.width = 160;
  options.height = 120;
  testsupport::TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  Attach(app, test);
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
  Detach(app, test);
}

TEST(GlobeFrame, TheScenesFontIsBuiltWithTheDeviceAndComesThroughAReset) {
  testsupport::TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  ASSERT_NE(app.font, nullptr);
  EXPECT_STREQ(app.font->faceName, "Arial");
  EXPECT_EQ(app.font->height, 12u);
  EXPECT_EQ(app.font->flags, FontBold);
  Attach(app, test);
  ASSERT_EQ(app.OneTimeSceneInit(), S_OK);
  ASSERT_EQ(app.InitDeviceObjects(), S_OK);
  IDirect3DTexture9* glyphs = app.font->texture;
  ASSERT_NE(glyphs, nullptr);
  EXPECT_EQ(app.font->device, test.device);
  EXPECT_EQ(app.font->textureWidth, 256u);
  for (int reset = 0; reset < 2; ++reset) {
    ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);
    EXPECT_NE(app.font->vertexBuffer, nullptr);
    EXPECT_NE(app.font->stateBlocks[1], nullptr);
    ASSERT_EQ(app.InvalidateDeviceObjects(), S_OK);
    EXPECT_EQ(app.font->vertexBuffer, nullptr);
    EXPECT_EQ(app.font->stateBlocks[0], nullptr);
    // Nothing of the scene in the default pool is left to stop the reset.
    ASSERT_EQ(test.device->Reset(&test.parameters), D3D_OK) << reset;
    EXPECT_EQ(app.font->texture, glyphs);
  }
  ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);
  app.InvalidateDeviceObjects();
  app.DeleteDeviceObjects();
  EXPECT_EQ(app.font->texture, nullptr);
  EXPECT_EQ(app.font->device, nullptr);
  app.FinalCleanup();
  EXPECT_EQ(app.font, nullptr);
  Detach(app, test);  // the device's release then checks that nothing was left
}

}  // namespace
