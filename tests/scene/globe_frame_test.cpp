// A whole frame of the globe scene with the bundled media, drawn through the scene's
// hooks on a headless device with a fixed spin and compared exactly with a reference
// image (the renderer and the generated media are deterministic).
#include <gtest/gtest.h>

#include <string>

#include "png_image.h"
#include "scene_test_support.h"
#include "text_font.h"

namespace {

const std::string kReferences = VESK_SCENE_REFERENCE_DIR;

TEST(GlobeFrame, DefaultMediaFrameMatchesItsReference) {
  testsupport::DeviceOptions options;
  options.width = 160;
  options.height = 120;
  testsupport::TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  scenetest::AttachDevice(app, test);
  app.eyeY = 8 * 0.034904446f;
  app.eyeZ = -3.0f;
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  testsupport::Image image = scenetest::DrawFrame(test, app, 1.3f, options);
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_frame.png", image, 0), "");
  scenetest::ReleaseScene(app, test);
}

// The Earth's tilt: the north pole leans towards the viewer, so the northern cap shows
// and the southern one hides; the globe still spins about its own axis.
TEST(GlobeFrame, ATiltedAxisShowsTheNorthPoleLeaningTowardsTheViewer) {
  testsupport::DeviceOptions options;
  options.width = 320;
  options.height = 240;
  testsupport::TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  scenetest::AttachDevice(app, test);
  app.eyeZ = -3.0f;
  app.tiltDegrees = 23.44f;
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  testsupport::Image image = scenetest::DrawFrame(test, app, 1.3f, options);
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_tilted.png", image, 0), "");
  scenetest::ReleaseScene(app, test);
}

TEST(GlobeFrame, TheScenesFontIsBuiltWithTheDeviceAndComesThroughAReset) {
  testsupport::TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  ASSERT_NE(app.font, nullptr);
  EXPECT_STREQ(app.font->faceName, "Arial");
  EXPECT_EQ(app.font->height, 12u);
  EXPECT_EQ(app.font->flags, FontBold);
  scenetest::AttachDevice(app, test);
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  IDirect3DTexture9* glyphs = app.font->texture;
  ASSERT_NE(glyphs, nullptr);
  EXPECT_EQ(app.font->device, test.device);
  EXPECT_EQ(app.font->textureWidth, 256u);
  for (int reset = 0; reset < 2; ++reset) {
    EXPECT_NE(app.font->vertexBuffer, nullptr);
    EXPECT_NE(app.font->stateBlocks[1], nullptr);
    ASSERT_EQ(app.InvalidateDeviceObjects(), S_OK);
    EXPECT_EQ(app.font->vertexBuffer, nullptr);
    EXPECT_EQ(app.font->stateBlocks[0], nullptr);
    // Nothing of the scene in the default pool is left to stop the reset.
    ASSERT_EQ(test.device->Reset(&test.parameters), D3D_OK) << reset;
    ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);
    EXPECT_EQ(app.font->texture, glyphs);
  }
  app.InvalidateDeviceObjects();
  app.DeleteDeviceObjects();
  EXPECT_EQ(app.font->texture, nullptr);
  EXPECT_EQ(app.font->device, nullptr);
  scenetest::ReleaseScene(app, test);  // the device's release then checks that nothing was left
  EXPECT_EQ(app.font, nullptr);
}

}  // namespace
