// A shell whose scene hooks write down every call and can be told to fail, plus a
// fixture that runs the real Create and Run in a temporary current directory with the
// program's resources installed and every message box recorded instead of shown.
// Input is given at chosen frame numbers from inside the Render hook, as a user would
// give it between two frames.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app_shell.h"
#include "scratch_dir.h"
#include "win32ext.h"

namespace apptest {

// One FrameMove as the scene saw it.
struct FrameStep {
  int render;          // number of the Render call that follows it (1 = the first)
  float elapsedTime;   // the shell's elapsedTime during the call
  float time;          // the shell's time during the call
};

class HookedShell : public AppShell {
 public:
  // Device and scene hooks in call order; FrameMove and Render are counted instead.
  std::vector<std::string> lifecycle;
  std::vector<FrameStep> steps;
  // The capture's frame number seen by each Render call, in order.
  std::vector<int> frameNumberAtRender;
  std::atomic<int> renders{0};
  int confirmCalls = 0;
  HRESULT confirmResult = S_OK;
  bool confirmSawWindow = false;

  // Actions run inside the Render call with this number, after it is counted.
  std::map<int, std::function<void()>> atRender;
  // A hook named here returns `failure` on the given call (1 = first), or from that
  // call on when `failFromThenOn` is set.
  std::map<std::string, int> failOnCall;
  bool failFromThenOn = false;
  HRESULT failure = E_FAIL;
  // Called with each logged hook's name as it runs, before its result is chosen.
  std::function<void(const std::string&)> onHook;
  // Called for every message the window procedure hands over, before the shell's own
  // handling.
  std::function<void(UINT, WPARAM, LPARAM)> onMessage;

  HRESULT ConfirmDevice(D3DCAPS9* caps, DWORD behavior, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat) override;
  HRESULT OneTimeSceneInit() override { return Note("OneTimeSceneInit"); }
  HRESULT InitDeviceObjects() override { return Note("InitDeviceObjects"); }
  HRESULT RestoreDeviceObjects() override { return Note("RestoreDeviceObjects"); }
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override { return Note("InvalidateDeviceObjects"); }
  HRESULT DeleteDeviceObjects() override { return Note("DeleteDeviceObjects"); }
  HRESULT FinalCleanup() override { return Note("FinalCleanup"); }
  LRESULT MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  int Count(const std::string& hook) const;

 private:
  HRESULT Note(const std::string& hook, bool log = true);
  std::map<std::string, int> calls_;
};

// The CP932 keywords of the after-recording plan.
inline constexpr char kEditKeyword[] = "\x95\xD2\x8F\x57";  // 編集

class ShellRun : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The settings the entry point would hand over; call before Create.
  void Configure(int frameCount, const char* outputKinds = "non");
  HRESULT Create() { return shell.Create(GetModuleHandleA(nullptr)); }
  // Create (which must succeed) and Run; returns Run's result.
  int CreateAndRun(int frameCount, const char* outputKinds = "non");

  // Input the way the user's devices give it.
  void Press(SDL_Keycode key, bool alt = false);
  void WindowEvent(Uint8 kind);

  // Puts stand-ins of the after-recording programs first on PATH; each writes a file
  // named after itself into the temporary directory when it runs.
  void InstallProgramStandIns();
  // Whether the stand-in ran, once every started program has ended.
  bool StandInRan(const std::string& name) const;

  std::vector<win32ext::MessageBoxRecord> boxes;
  HookedShell shell;

 private:
  testsupport::ScratchDir scratch_{"vesk-app"};
  testsupport::ScopedCwd cwd_{scratch_.path()};
  std::string oldPath_;

 public:
  const std::filesystem::path directory = scratch_.path();
};

}  // namespace apptest
