// A GlobeApp on a real headless device, without the shell's window loop, for tests of
// the scene's hooks; plus small file helpers.
#pragma once

#include <string>

#include "device_test_support.h"
#include "globe_app.h"
#include "scratch_dir.h"

namespace scenetest {

// Writes `text` to `path`.
void WriteFile(const std::string& path, const std::string& text);

// Four triangles facing -z in a row, material i on triangle i, with the diffuse alphas
// given and the texture name on material 0.
std::string FourMaterialMesh(float alpha0, float alpha1, float alpha2, float alpha3, const char* texture);

// A scratch folder made current for the test's life.
struct TemporaryDirectory {
  const std::string& path() const { return dir.path(); }

  testsupport::ScratchDir dir{"vesk-scene"};
  testsupport::ScopedCwd cwd{dir.path()};
};

}  // namespace scenetest
