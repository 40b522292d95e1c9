// The entry point's hand-over of the settings record to the frame capture, the shell
// and the scene.
#include "settings_distribution.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "frame_capture.h"
#include "win32ext.h"

namespace {

// A CP932 name of an extras field, as messages show it.
std::string ShownName(const char* cp932) { return win32ext::ToSystemPath(cp932).value_or(cp932); }

// The camera path to follow sets the frame count; the one to save is made now, so that
// neither can fail once the window is open.
bool PrepareCameraPaths(const RecordingExtras& extras, GlobeApp& app) {
  std::string error;
  if (extras.pathFile[0] != '\0') {
    if (!ReadCameraPath(extras.pathFile, app.cameraPath, error)) {
      std::fprintf(stderr, "vesk: cannot follow the camera path '%s': %s\n", ShownName(extras.pathFile).c_str(),
                   error.c_str());
      return false;
    }
    frameCapture.frameCount = int32_t(app.cameraPath.size());
  }
  if (extras.savePathFile[0] != '\0') {
    std::memcpy(app.savePathFile, extras.savePathFile, sizeof app.savePathFile);
    if (!app.pathWriter.Open(app.savePathFile, error)) {
      std::fprintf(stderr, "vesk: cannot write the camera path '%s': %s\n", ShownName(app.savePathFile).c_str(),
                   error.c_str());
      return false;
    }
  }
  return true;
}

// Fields an older library did not fill are zero: nothing chosen. A text is read no
// further than its field, terminated or not.
void DistributeLook(const RecordingExtras& extras, EarthLook& look) {
  look.sun = extras.sunOn != 0;
  look.sunDegrees = float(extras.sunDegrees);
  look.atmosphere = extras.atmosphere != 0;
  std::snprintf(look.nightFile, sizeof look.nightFile, "%.*s", int(sizeof extras.nightFile), extras.nightFile);
  std::snprintf(look.cloudsFile, sizeof look.cloudsFile, "%.*s", int(sizeof extras.cloudsFile), extras.cloudsFile);
}

// The fields beyond the 560-byte record; their texts are read no further than their
// fields, terminated or not.
bool DistributeExtras(RecordingExtras extras, GlobeApp& app) {
  extras.savePathFile[sizeof extras.savePathFile - 1] = '\0';
  extras.pathFile[sizeof extras.pathFile - 1] = '\0';
  app.loopTurns = int32_t(extras.loopTurns);
  app.tiltDegrees = extras.tiltDegrees;
  app.pace.Choose(extras.pace);
  app.antialiasSamples = extras.antialias;
  DistributeLook(extras, app.layers.look);
  return PrepareCameraPaths(extras, app);
}

}  // namespace

// A movie path longer than the capture can hold is refused rather than cut short. The
// record's text is read no further than its field, terminated or not.
bool DistributeSettings(const RecordingSettings& record, GlobeApp& app, const RecordingExtras& extras) {
  std::string_view movie(record.movieFile, strnlen(record.movieFile, sizeof record.movieFile));
  if (!frameCapture.SetOutputPath(movie)) {
    std::string name = win32ext::Cp932ToUtf8(movie).value_or(std::string(movie));
    std::fprintf(stderr, "vesk: the movie path is too long (at most %zu bytes): %s\n",
                 sizeof frameCapture.outputPath - 1, name.c_str());
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
  return DistributeExtras(extras, app);
}
