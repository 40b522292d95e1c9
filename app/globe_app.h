// GlobeApp: the program's scene, built on the shell. It carries the recording's scene
// settings; the scene's hooks keep the shell's behaviour until the globe is drawn.
#pragma once

#include "app_shell.h"

class GlobeApp : public AppShell {
 public:
  GlobeApp();

  char textureFile[260] = {};
  float eyeY = 0.0f;
  float eyeZ = 0.0f;
  bool spinForward = true;
  int highTessellation = 0;
};
