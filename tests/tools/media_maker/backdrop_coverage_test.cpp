// The generated backdrop drawn by the scene's own code: GlobeApp's hooks on a headless
// device, with its camera at every height the settings allow and the backdrop alone
// (the globe would hide gaps behind it). The back buffer starts magenta; for wide, tall
// and ordinary windows no pixel may keep that colour.
#include <gtest/gtest.h>

#include "d3dx9.h"
#include "scene_test_support.h"

namespace {

using testsupport::DeviceOptions;
using testsupport::TestDevice;

constexpr D3DCOLOR kSentinel = 0xFFFF00FF;
constexpr float kEyeHeightScale = 0.034904446f;  // the program's factor for its eye height setting

class BackdropCoverageTest : public ::testing::TestWithParam<std::pair<int, int>> {};

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
  scenetest::TemporaryDirectory directory;  // nothing here: the media come from the build's folder
  GlobeApp app;
  scenetest::AttachDevice(app, test);
  app.eyeZ = -3.0f;
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  for (float eyeHeight : {-1000.0f, 0.0f, 30.0f, 1000.0f}) {
    ASSERT_EQ(test.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSentinel, 1.0f, 0), D3D_OK);
    app.eyeY = eyeHeight * kEyeHeightScale;
    ASSERT_EQ(app.FrameMove(), S_OK);
    ASSERT_EQ(test.device->BeginScene(), D3D_OK);
    app.DrawBackdrop();
    ASSERT_EQ(test.device->EndScene(), D3D_OK);
    ASSERT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(UncoveredPixels(test, options), 0) << "eye height " << eyeHeight;
  }
  scenetest::ReleaseScene(app, test);
}

INSTANTIATE_TEST_SUITE_P(WindowShapes, BackdropCoverageTest,
                         ::testing::Values(std::make_pair(160, 16), std::make_pair(16, 160), std::make_pair(64, 48)),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
