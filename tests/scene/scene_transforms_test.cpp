// The globe's transforms: the world matrix FrameMove builds from the spin, the drag's
// rotation and the pan, and what RestoreDeviceObjects sets for the back buffer's shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "recording_device.h"
#include "scene_test_support.h"

namespace {

using recorded::Rs;
using recorded::Samp;

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, const char* what) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(actual.m[i / 4][i % 4], expected.m[i / 4][i % 4], 1e-5f) << what << " element " << i;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// Row vectors: a globe point is spun first, then turned by the drag, then moved by the
// pan, so the centre lands exactly at the pan's offset.
TEST(SceneTransforms, WorldIsTheSpinThenTheDragsRotationThenThePan) {
  testsupport::TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  app.device = test.device;
  app.eyeY = 0.3f;
  app.eyeZ = -3.0f;
  ASSERT_EQ(app.CreateGlobeVertexBuffer(), S_OK);
  SphereRotator& rotator = app.rotator;
  rotator.Resize(64, 48, 3.0f);
  rotator.HandleMouse(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(32, 24));
  rotator.HandleMouse(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(50, 8));
  rotator.HandleMouse(nullptr, WM_LBUTTONUP, 0, At(50, 8));
  rotator.HandleMouse(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, At(32, 24));
  rotator.HandleMouse(nullptr, WM_MOUSEMOVE, MK_RBUTTON, At(16, 36));
  ASSERT_GT(std::fabs(rotator.rotation._13), 0.05f) << "the drag must turn the globe";
  ASSERT_GT(std::fabs(rotator.pan._41), 0.1f) << "the drag must move the globe";

  spinAngle = 0.7f;
  app.elapsedTime = 0.25f;
  ASSERT_EQ(app.FrameMove(), S_OK);
  EXPECT_FLOAT_EQ(spinAngle, 0.95f);
  D3DXMATRIX spin, expected;
  D3DXMatrixRotationY(&spin, -0.95f);
  D3DXMatrixMultiply(&expected, &spin, &rotator.rotation);
  D3DXMatrixMultiply(&expected, &expected, &rotator.pan);
  ExpectMatrixNear(app.world, expected, "world");
  EXPECT_NEAR(app.world._41, rotator.pan._41, 1e-6f);
  EXPECT_NEAR(app.world._42, rotator.pan._42, 1e-6f);
  app.DeleteDeviceObjects();
  app.device = nullptr;
}

// A back buffer taller than wide: the aspect is width / height, below 1, so the
// projection narrows x more than y; the samplers get wrap and linear filtering, sampler
// by sampler, before the depth test and the projection; the rotator learns the size.
TEST(SceneTransforms, ATallBackBufferGetsAnAspectBelowOneAndTheSamplersInOrder) {
  scenetest::TemporaryDirectory directory;
  testsupport::DeviceOptions options;
  options.width = 90;
  options.height = 160;
  testsupport::TestDevice test(options);
  ASSERT_EQ(test.created, D3D_OK);
  GlobeApp app;
  scenetest::AttachDevice(app, test);
  scenetest::InitScene(app);
  ASSERT_FALSE(HasFatalFailure());
  RecordingDevice recorder(test.device);
  app.device = &recorder;
  app.InvalidateDeviceObjects();  // as around a reset
  recorder.calls.clear();
  ASSERT_EQ(app.RestoreDeviceObjects(), S_OK);

  std::vector<std::string> expected;
  for (DWORD sampler = 0; sampler < 3; ++sampler) {
    expected.insert(expected.end(),
                    {Samp(sampler, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP), Samp(sampler, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP),
                     Samp(sampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), Samp(sampler, D3DSAMP_MINFILTER, D3DTEXF_LINEAR)});
  }
  expected.insert(expected.end(), {Rs(D3DRS_ZENABLE, D3DZB_TRUE), "SetTransform 3"});
  auto found = std::search(recorder.calls.begin(), recorder.calls.end(), expected.begin(), expected.end());
  EXPECT_NE(found, recorder.calls.end()) << "the restore's own calls, in order, one after the other";

  D3DXMATRIX projection, wanted;
  test.device->GetTransform(D3DTS_PROJECTION, &projection);
  D3DXMatrixPerspectiveFovLH(&wanted, 0.7853982f, 90.0f / 160.0f, 0.1f, 225.0f);
  ExpectMatrixNear(projection, wanted, "projection");
  EXPECT_GT(projection._11, projection._22) << "aspect below 1";
  EXPECT_EQ(app.rotator.width, 90);
  EXPECT_EQ(app.rotator.height, 160);
  EXPECT_FLOAT_EQ(app.rotator.radius, 3.0f);
  scenetest::ReleaseScene(app, test);
}

}  // namespace
