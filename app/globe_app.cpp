// The scene object's construction: its caption, a depth buffer, and the cursor shown
// through the device in full screen.
#include "globe_app.h"

GlobeApp::GlobeApp() {
  windowTitle = "Quelmo: Direct3D Vesk";
  enumeration.usesDepthBuffer = true;
  showCursorWhenFullscreen = true;
}
