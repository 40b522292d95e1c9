// A whole frame of the globe scene with the bundled media, drawn through the scene's
// hooks on a headless device with a fixed spin and compared exactly with a reference
// image (the renderer and the generated media are deterministic).
#include <gtest/gtest.h>

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
  scenetest::AttachDevice(app, test);
  app.eyeY = 8 * 0.034904446f;
  app.eyeZ = -3.0f;
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  testsupport::Image image = DrawFrame(test, app, 1.3f, options);
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_frame.png", image, 0), "");
  scenetest::ReleaseScene(app, test);
}

}  // namespace
