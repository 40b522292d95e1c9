// Run, the message and frame loop with the recording (at the chosen pace), and
// Render3DEnvironment, the frame step: device loss, the time step (the fixed recording
// step after a grab), FrameMove, Render and Present.
#include <cstdio>
#include <numbers>

#include "app_shell.h"
#include "frame_capture.h"
#include "frame_timer.h"
#include "movie_output.h"
#include "resources.h"
#include "win32ext.h"

namespace {

// The movie's defined turn: a recording spins the globe 6.4 radians in all, whatever its
// number of frames, so each recorded frame steps an equal share of it.
constexpr float kMovieTurn = 6.4f;

// Prepares the capture for a recording from frame 1; false when no surface can be made.
bool PrepareRecording(IDirect3DDevice9* device) {
  frameCapture.frameNumber = 1;
  if (frameCapture.UseDevice(device)) return true;
  win32ext::ReportProblem("vesk: cannot make a %ux%u surface to read the screen into\n",
                          frameCapture.displayMode.Width, frameCapture.displayMode.Height);
  return false;
}

}  // namespace

int AppShell::Run() {
  HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_ACCEL));
  MSG message{};
  message.message = WM_NULL;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  if (!LoadMovieWriter(frameCapture)) return kExitNoMovie;
  captureStepPending = false;
  if (!PrepareRecording(device)) return kExitNoMovie;
  bool stepFailed = false;

  while (message.message != WM_QUIT) {
    bool got = active ? PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0
                      : GetMessageA(&message, nullptr, 0, 0) != 0;
    if (got) {
      if (!(accelerators && window && TranslateAcceleratorA(window, accelerators, &message))) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      continue;
    }
    if (deviceLost) Sleep(10);
    // At the live pace the messages go on being handled (the mouse steers) until the
    // next frame is due.
    if (DWORD wait = pace.WaitBefore(frameCapture.frameNumber)) {
      Sleep(wait < 10 ? wait : 10);
      continue;
    }
    if (active && FAILED(Render3DEnvironment())) {
      stepFailed = true;
      SendMessageA(window, WM_CLOSE, 0, 0);
    }
    // A close in this pass has released the device the capture reads from: there is
    // nothing left to grab, and the quit message ends the loop on the next pass.
    if (frameCapture.frameNumber != 0 && device) {
      captureStepPending = true;
      int32_t number = frameCapture.frameNumber;
      bool goOn = frameCapture.CaptureFrame();
      if (goOn || frameCapture.finished) FrameCaptured(number);
      if (!goOn) break;
    }
  }
  if (accelerators) DestroyAcceleratorTable(accelerators);
  if (StartAfterRecordingPrograms(frameCapture, outputKinds)) return int(message.wParam);
  // A recording that ended without its movie failed, unless the user ended it (the
  // quit message with no must-exit error before it).
  bool userEnded = message.message == WM_QUIT && !fatalErrorShown && !stepFailed;
  return frameCapture.finished || userEnded ? 0 : kExitNoMovie;
}

float AppShell::RecordingStep() const {
  if (loopTurns == 0) return kMovieTurn / float(frameCapture.frameCount);
  return float(2.0 * std::numbers::pi * loopTurns / frameCapture.frameCount);
}

// The movie holds at least two frames: a one-frame recording hands over two.
void AppShell::FrameCaptured(int32_t number) {
  pace.Count(number, frameCapture.frameCount > 2 ? frameCapture.frameCount : 2);
}

HRESULT AppShell::Render3DEnvironment() {
  if (deviceLost) {
    HRESULT level = device->TestCooperativeLevel();
    if (level == D3DERR_DEVICELOST) return S_OK;
    if (level == D3DERR_DEVICENOTRESET) {
      if (windowed) {
        direct3D->GetAdapterDisplayMode(settings.CurrentAdapter()->adapterOrdinal, &settings.windowedDisplayMode);
        presentParameters.BackBufferFormat = settings.windowedDisplayMode.Format;
      }
      return Reset3DEnvironment();
    }
    if (FAILED(level)) return level;
    deviceLost = false;
  }
  float appTime = FrameTimer(TIMER_GETAPPTIME);
  float step = FrameTimer(TIMER_GETELAPSEDTIME);
  if (step == 0.0f && frameMoving) return S_OK;
  if (captureStepPending) {
    step = RecordingStep();
    captureStepPending = false;
  } else if (loopTurns != 0) {
    step = 0.0f;  // a loop's first frame is at spin angle 0, whatever the clock says
  }
  if (frameMoving || singleStep) {
    elapsedTime = step;
    time = appTime;
    HRESULT result = FrameMove();
    if (FAILED(result)) return result;
    singleStep = false;
  }
  HRESULT result = Render();
  if (FAILED(result)) return result;
  if (device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) deviceLost = true;
  return S_OK;
}
