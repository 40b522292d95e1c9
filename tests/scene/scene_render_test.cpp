// The scene's drawing: the mesh container's opaque and alpha passes, and Render's
// device calls in their order, recorded on their way to a real device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "recording_device.h"
#include "scene_test_support.h"

namespace {

using Calls = std::vector<std::string>;
using recorded::Rs;
using recorded::Samp;
using recorded::Tss;

Calls Only(const Calls& calls, const std::string& prefix) {
  Calls kept;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(kept),
               [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
  return kept;
}

class SceneRenderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test_.created, D3D_OK); }
  scenetest::TemporaryDirectory directory_;
  testsupport::TestDevice test_;
};

TEST_F(SceneRenderTest, OpaqueAndAlphaPassesSortSubsetsByDiffuseAlpha) {
  scenetest::WriteFile("four.x", scenetest::FourMaterialMesh(1.0f, 0.5f, 2.0f, 1.0f, "missing.png"));
  MeshContainer mesh("test");
  ASSERT_EQ(mesh.Create(test_.device, "four.x"), S_OK);
  ASSERT_EQ(mesh.materialCount, 4u);
  EXPECT_EQ(mesh.textures[0], nullptr) << "a texture that cannot load leaves the subset untextured";
  mesh.materials[3].Diffuse.a = std::numeric_limits<float>::quiet_NaN();
  RecordingDevice recorder(test_.device);
  EXPECT_EQ(mesh.Render(&recorder, true, true), E_FAIL) << "not restored yet";
  ASSERT_EQ(mesh.RestoreDeviceObjects(&recorder), S_OK);  // its draws go through the recorder
  recorder.calls.clear();
  test_.device->BeginScene();
  EXPECT_EQ(mesh.Render(&recorder, true, true), S_OK);
  test_.device->EndScene();
  EXPECT_EQ(Only(recorder.calls, "SetMaterial"),
            (Calls{"SetMaterial 1.000000", "SetMaterial 2.000000", "SetMaterial nan",  // opaque pass
                   "SetMaterial 0.500000", "SetMaterial 2.000000", "SetMaterial nan"}));  // alpha pass
  EXPECT_EQ(Only(recorder.calls, "DrawIndexedPrimitive").size(), 6u);
  mesh.InvalidateDeviceObjects();
  EXPECT_EQ(mesh.Render(&recorder, true, true), E_FAIL);
  mesh.Destroy();
  EXPECT_EQ(mesh.Destroy(), S_OK) << "a second Destroy finds nothing to release";
  test_.device->SetStreamSource(0, nullptr, 0, 0);
  test_.device->SetIndices(nullptr);
}

TEST_F(SceneRenderTest, RenderIssuesTheBackdropAndGlobeCallsInOrder) {
  scenetest::WriteFile("vesk.x", scenetest::FourMaterialMesh(1.0f, 1.0f, 1.0f, 1.0f, nullptr));
  GlobeApp app;
  RecordingDevice recorder(test_.device);
  app.device = test_.device;
  test_.device->GetDeviceCaps(&app.caps);
  app.mesh = new MeshContainer("Backdrop_Mesh");
  ASSERT_EQ(app.mesh->Create(test_.device, "vesk.x"), S_OK);
  ASSERT_EQ(app.mesh->RestoreDeviceObjects(&recorder), S_OK);  // its draws go through the recorder
  app.highTessellation = 0;
  ASSERT_EQ(app.CreateGlobeVertexBuffer(), S_OK);
  app.device = &recorder;
  ASSERT_EQ(app.FrameMove(), S_OK);
  recorder.calls.clear();
  ASSERT_EQ(app.Render(), S_OK);
  Calls expected = {"BeginScene", "SetTransform 256", "SetTransform 2", Rs(D3DRS_WRAP0, 0),
                    Samp(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), Samp(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
                    Samp(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR), Samp(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR),
                    Tss(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1),
                    Tss(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE), Tss(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
                    Tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE), Tss(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE),
                    Rs(D3DRS_ZFUNC, D3DCMP_ALWAYS)};
  for (int subset = 0; subset < 4; ++subset)
    expected.insert(expected.end(), {"SetMaterial 1.000000", "SetTexture 0 none", "SetFVF 2",
                                     "SetStreamSource 0 0 12", "SetIndices", "DrawIndexedPrimitive"});
  Calls globe = {Rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL), "SetTransform 256", "SetTransform 2",
                 Rs(D3DRS_WRAP0, 3), Tss(0, D3DTSS_COLOROP, D3DTOP_MODULATE), Tss(0, D3DTSS_COLORARG1, D3DTA_TEXTURE),
                 Tss(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), Tss(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
                 Tss(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE), Tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE),
                 "SetTexture 0 none", Tss(0, D3DTSS_TEXCOORDINDEX, 1), "SetFVF 530",
                 Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), Tss(0, D3DTSS_COLORARG1, D3DTA_TEXTURE),
                 Tss(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), Tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE),
                 Tss(2, D3DTSS_COLOROP, D3DTOP_DISABLE), "SetStreamSource 0 0 40", "DrawPrimitive 5 0 108",
                 "SetTexture 0 none", Tss(0, D3DTSS_TEXCOORDINDEX, 0), Tss(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1),
                 Tss(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), Tss(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE),
                 Tss(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE), Tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE),
                 Tss(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE), Tss(2, D3DTSS_COLOROP, D3DTOP_DISABLE),
                 Tss(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE), "EndScene"};
  expected.insert(expected.end(), globe.begin(), globe.end());
  EXPECT_EQ(recorder.calls, expected);
  test_.device->SetStreamSource(0, nullptr, 0, 0);
  test_.device->SetIndices(nullptr);
  app.device = nullptr;
  app.DeleteDeviceObjects();
  app.FinalCleanup();
}

TEST_F(SceneRenderTest, SpinFollowsElapsedTimeAndDirectionAndHoldsWhileDragging) {
  GlobeApp app;
  app.device = test_.device;
  app.eyeZ = -3.0f;
  ASSERT_EQ(app.CreateGlobeVertexBuffer(), S_OK);
  float start = spinAngle;
  app.elapsedTime = 0.1f;
  app.FrameMove();
  EXPECT_FLOAT_EQ(spinAngle, start + 0.1f);
  app.spinForward = false;
  app.FrameMove();
  app.FrameMove();
  EXPECT_FLOAT_EQ(spinAngle, start - 0.1f);
  app.rotator.dragging = 1;
  app.FrameMove();
  EXPECT_FLOAT_EQ(spinAngle, start - 0.1f);
  app.DeleteDeviceObjects();
  app.device = nullptr;
}

}  // namespace
