// The program's entry: asks the settings library for the recording settings, hands
// them to the scene, the shell and the frame capture, then creates and runs the shell.
#include "VeskSet.h"
#include "commctrl.h"
#include "globe_app.h"
#include "settings_distribution.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  GlobeApp app;
  RecordingSettings record;
  if (VeskSet(&record) == 0) return 0;
  // Zeros ask for nothing beyond the 560-byte record, unless the library fills in more.
  RecordingExtras extras{};
  extras.size = sizeof extras;
  VeskSetExtras(&extras);
  if (!DistributeSettings(record, app, extras)) return 2;
  InitCommonControls();
  if (FAILED(app.Create(instance))) return kExitNoMovie;
  int status = app.Run();
  return app.SaveCameraPath() ? status : kExitNoMovie;
}
