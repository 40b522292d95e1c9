// AppShell: the program's framework class. It owns the window, the Direct3D objects,
// the device settings and the frame loop's state, and calls a fixed set of virtual
// hooks that the scene class overrides.
#pragma once

#include "d3d9.h"
#include "device_enumeration.h"
#include "recording_pace.h"
#include "windows.h"

// The shell's own result codes.
constexpr HRESULT ERR_NO_DIRECT3D = HRESULT(0x82000001);
constexpr HRESULT ERR_NO_COMPATIBLE_DEVICES = HRESULT(0x82000003);
constexpr HRESULT ERR_NO_WINDOWABLE_DEVICES = HRESULT(0x82000004);
constexpr HRESULT ERR_NO_HARDWARE_DEVICE = HRESULT(0x82000005);
constexpr HRESULT ERR_HAL_NOT_COMPATIBLE = HRESULT(0x82000006);
constexpr HRESULT ERR_NO_WINDOWED_HAL = HRESULT(0x82000007);
constexpr HRESULT ERR_NO_DESKTOP_HAL = HRESULT(0x82000008);
constexpr HRESULT ERR_NO_HAL_THIS_MODE = HRESULT(0x82000009);
constexpr HRESULT ERR_NONZERO_REFCOUNT = HRESULT(0x8200000A);
constexpr HRESULT ERR_MEDIA_NOT_FOUND = HRESULT(0x8200000B);
constexpr HRESULT ERR_RESET_FAILED = HRESULT(0x8200000C);
constexpr HRESULT ERR_NULL_REF_DEVICE = HRESULT(0x8200000D);

// The exit status of a run that could not make its movie (0 stays for a complete
// recording, one the user ended and settings the user declined; 2 for a bad option).
constexpr int kExitNoMovie = 1;

// Kinds of ShowError messages.
enum ErrorKind : int { MSG_NONE = 0, MSGERR_APPMUSTEXIT = 1, MSGWARN_SWITCHEDTOREF = 2 };

class AppShell {
 public:
  AppShell();
  virtual ~AppShell();
  AppShell(const AppShell&) = delete;
  AppShell& operator=(const AppShell&) = delete;

  // Hooks, in the order of the class's table.
  virtual HRESULT AdjustWindowForChange();
  virtual void UpdateStats();
  virtual HRESULT ConfirmDevice(D3DCAPS9* caps, DWORD behavior, D3DFORMAT adapterFormat,
                                D3DFORMAT backBufferFormat);
  virtual HRESULT OneTimeSceneInit() { return S_OK; }
  virtual HRESULT InitDeviceObjects() { return S_OK; }
  virtual HRESULT RestoreDeviceObjects() { return S_OK; }
  virtual HRESULT FrameMove() { return S_OK; }
  virtual HRESULT Render() { return S_OK; }
  virtual HRESULT InvalidateDeviceObjects() { return S_OK; }
  virtual HRESULT DeleteDeviceObjects() { return S_OK; }
  virtual HRESULT FinalCleanup() { return S_OK; }
  virtual HRESULT Create(HINSTANCE instance);
  virtual int Run();
  virtual LRESULT MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void Pause(bool pause);
  // After frame `number` went into the movie: counts it when a pace was chosen.
  virtual void FrameCaptured(int32_t number);

  // Shows the fixed message of `code` (warning, must-exit or switched-to-reference)
  // and returns the code. After the first must-exit message nothing more is shown.
  HRESULT ShowError(HRESULT code, int kind);

  // Device life cycle.
  HRESULT ChooseInitialSettings();
  bool ChooseWindowedSettings(bool requireHal, bool requireRef);
  bool ChooseFullscreenSettings(bool requireHal, bool requireRef);
  void BuildPresentParameters();
  HRESULT Initialize3DEnvironment();
  HRESULT Reset3DEnvironment();
  void Cleanup3DEnvironment();
  HRESULT ToggleFullscreen();
  HRESULT ChangeDevice();
  HRESULT Render3DEnvironment();
  // The spin step of a frame after a grab: 6.4 radians over the frame count, or for a
  // seamless loop its turns over the frame count.
  float RecordingStep() const;

  DeviceEnumeration enumeration;
  DeviceSettings settings;
  bool windowed = true;
  bool active = false;
  bool deviceLost = false;
  bool minimized = false;
  bool maximized = false;
  bool ignoreSizeChange = false;
  bool deviceObjectsInited = false;
  bool deviceObjectsRestored = false;
  bool frameMoving = true;
  bool singleStep = false;
  bool captureStepPending = false;
  D3DPRESENT_PARAMETERS presentParameters{};
  HWND window = nullptr;
  HWND focusWindow = nullptr;
  HMENU savedMenu = nullptr;
  IDirect3D9* direct3D = nullptr;
  IDirect3DDevice9* device = nullptr;
  D3DCAPS9 caps{};
  D3DSURFACE_DESC backBufferDesc{};
  DWORD behaviorFlags = 0;
  DWORD windowStyle = 0;
  RECT windowBounds{};
  RECT clientRect{};
  float time = 0.0f;
  float elapsedTime = 0.0f;
  float framesPerSecond = 0.0f;
  char deviceStats[90] = {};
  char frameStats[90] = {};
  const char* windowTitle = "D3D9 Application";
  bool showCursorWhenFullscreen = false;
  bool clipCursorWhenFullscreen = true;
  bool startFullscreen = false;
  int32_t creationWidth = 0;
  int32_t creationHeight = 0;
  char outputKinds[64] = {};
  bool chooseDeviceAtStart = false;
  // Recording extensions; zero is the loop as fast as it runs with the fixed step.
  int32_t loopTurns = 0;  // whole turns the frames make, from spin angle 0
  RecordingPace pace;
  // Smooth edges (--antialias): the samples per pixel the initial settings ask for; 0
  // leaves the enumeration's first multisample type.
  DWORD antialiasSamples = 0;

 private:
  void ApplyAntialias();
  HRESULT CheckForWindowSizeChange();
  void OnSize(WPARAM kind);
  bool OnCommand(WORD command);
  void CloseSequence();
  void ShowMustExit(const char* text);
  void BackToWindowed();
  void PlaceWindowAtBounds();
  void RenderOneStep();
  void WriteDeviceStats();
  HRESULT FallBackToReference(HRESULT result, D3DDEVTYPE failedType);
  HRESULT RebuildDevice();
  void KeepCaptureInStep();
  bool closing_ = false;
};

// The one application object, and the process-wide state of the shell.
extern AppShell* theApp;
extern int32_t pauseCount;
extern bool fatalErrorShown;

// The device-creation flags of a vertex processing type (0 for an unknown one).
DWORD BehaviorFlags(VertexProcessingType type);

// The window procedure of the "D3D Window" class: forwards to theApp's MsgProc.
LRESULT CALLBACK ShellWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
