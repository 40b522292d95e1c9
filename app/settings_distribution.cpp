// The entry point's hand-over of the settings record to the frame capture, the shell
// and the scene.
#include "settings_distribution.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "frame_capture.h"
#include "win32ext.h"

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
  (void)extras;
  return true;
}
