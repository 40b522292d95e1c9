// A GlobeApp on a real headless device, without the shell's window loop, for tests of
// the scene's hooks; plus small file helpers.
#pragma once

#include <string>

#include "device_test_support.h"
#include "globe_app.h"
#include "png_image.h"
#include "scratch_dir.h"

namespace scenetest {

// Writes `text` to `path`.
void WriteFile(const std::string& path, const std::string& text);

// Four triangles facing -z in a row, material i on triangle i, with the diffuse alphas
// given and the texture name on material 0.
std::string FourMaterialMesh(float alpha0, float alpha1, float alpha2, float alpha3, const char* texture);

// Gives the scene the test's device, Direct3D object and window, and what the shell
// knows about them (caps, the windowed display mode, the back buffer's description), as
// the shell does before it calls the device hooks.
void AttachDevice(GlobeApp& app, testsupport::TestDevice& test);

// OneTimeSceneInit, InitDeviceObjects with the bundled media (found through the
// registry.ini beside the test program) and the default picture, RestoreDeviceObjects.
void InitScene(GlobeApp& app);

// One frame of the scene at a fixed spin (FrameMove, Render, Present), read back from the
// screen at the window's place.
testsupport::Image DrawFrame(testsupport::TestDevice& test, GlobeApp& app, float spin,
                             const testsupport::DeviceOptions& options);

// The hooks of the device's end and the scene's, in the shell's order; the device's
// stream and indices are let go so that the test device can check for leaks.
void ReleaseScene(GlobeApp& app, testsupport::TestDevice& test);

// A scratch folder made current for the test's life.
struct TemporaryDirectory {
  const std::string& path() const { return dir.path(); }

  testsupport::ScratchDir dir{"vesk-scene"};
  testsupport::ScopedCwd cwd{dir.path()};
};

}  // namespace scenetest
