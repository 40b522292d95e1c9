// UpdateStats: the frame rate, measured over about a second of frames.
#include "app_shell.h"
#include "frame_timer.h"

void AppShell::UpdateStats() {
  static float lastTime = 0.0f;
  static uint32_t frames = 0;
  float now = FrameTimer(TIMER_GETABSOLUTETIME);
  ++frames;
  if (now - lastTime > 1.0f) {
    framesPerSecond = float(frames) / (now - lastTime);
    frames = 0;
    lastTime = now;
  }
}
