// The program's entry: asks the settings library for the recording settings, hands
// them to the scene, the shell and the frame capture, then creates and runs the shell.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "VeskSet.h"
#include "commctrl.h"
#include "frame_capture.h"
#include "globe_app.h"

namespace {

// A movie path longer than the capture can hold is refused rather than cut short. The
// record's text is read no further than its field, terminated or not.
bool DistributeSettings(const RecordingSettings& record, GlobeApp& app) {
  std::string_view movie(record.movieFile, strnlen(record.movieFile, sizeof record.movieFile));
  if (!frameCapture.SetOutputPath(movie)) {
    std::fprintf(stderr, "vesk: the movie path is too long (at most %zu bytes): %.*s\n",
                 sizeof frameCapture.outputPath - 1, int(movie.size()), movie.data());
    return false;
  }
  std::memcpy(app.textureFile, record.textureFile, sizeof app.textureFile);
  app.textureFile[sizeof app.textureFile - 1] = '\0';
  frameCapture.frameCount = record.frameCount;
  app.creationWidth = record.width;
  app.creationHeight = record.height;
  std::snprintf(app.outputKinds, sizeof app.outputKinds, "%.*s", int(sizeof record.outputKinds),
                record.outputKinds);
  app.eyeY = float(record.eyeHeight) * 0.034904446f;
  app.chooseDeviceAtStart = record.chooseDevice != 0;
  app.spinForward = record.spinForward != 0;
  app.eyeZ = -3.0f;
  app.highTessellation = record.highTessellation;
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  GlobeApp app;
  RecordingSettings record;
  if (VeskSet(&record) == 0) return 0;
  if (!DistributeSettings(record, app)) return 2;
  InitCommonControls();
  if (FAILED(app.Create(instance))) return kExitNoMovie;
  return app.Run();
}
