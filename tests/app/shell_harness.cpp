// The recording shell and the run fixture of the shell tests.
#include "shell_harness.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "child_processes.h"
#include "frame_capture.h"
#include "window_test_support.h"

namespace apptest {

namespace fs = std::filesystem;

HRESULT HookedShell::Note(const std::string& hook, bool log) {
  if (log) lifecycle.push_back(hook);
  if (onHook) onHook(hook);
  int call = ++calls_[hook];
  auto failing = failOnCall.find(hook);
  if (failing != failOnCall.end() &&
      (call == failing->second || (failFromThenOn && call > failing->second)))
    return failure;
  return S_OK;
}

int HookedShell::Count(const std::string& hook) const {
  auto found = calls_.find(hook);
  return found == calls_.end() ? 0 : found->second;
}

HRESULT HookedShell::ConfirmDevice(D3DCAPS9*, DWORD, D3DFORMAT, D3DFORMAT) {
  ++confirmCalls;
  if (window) confirmSawWindow = true;
  return confirmResult;
}

HRESULT HookedShell::FrameMove() {
  steps.push_back({renders + 1, elapsedTime, time});
  return Note("FrameMove", false);
}

HRESULT HookedShell::Render() {
  int number = ++renders;
  frameNumberAtRender.push_back(frameCapture.frameNumber);
  auto action = atRender.find(number);
  if (action != atRender.end()) action->second();
  return Note("Render", false);
}

LRESULT HookedShell::MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (onMessage) onMessage(message, wParam, lParam);
  return AppShell::MsgProc(hWnd, message, wParam, lParam);
}

void ShellRun::SetUp() {
  win32ext::SetProgramResources(&win32ext::ProgramResources());
  win32ext::SetMessageBoxHook([this](const win32ext::MessageBoxRecord& box) {
    boxes.push_back(box);
    return IDOK;
  });
}

void ShellRun::TearDown() {
  // A run that ended with its recording leaves the window open; close it so that the
  // device and the Direct3D object are released before the process ends.
  if (shell.window && IsWindow(shell.window)) SendMessageA(shell.window, WM_CLOSE, 0, 0);
  win32ext::SetMessageBoxHook({});
  if (!oldPath_.empty()) setenv("PATH", oldPath_.c_str(), 1);
}

void ShellRun::Configure(int frameCount, const char* outputKinds) {
  shell.creationWidth = 64;
  shell.creationHeight = 48;
  frameCapture.frameCount = frameCount;
  ASSERT_TRUE(frameCapture.SetOutputPath("movie.avi"));
  std::snprintf(shell.outputKinds, sizeof shell.outputKinds, "%s", outputKinds);
}

int ShellRun::CreateAndRun(int frameCount, const char* outputKinds) {
  Configure(frameCount, outputKinds);
  HRESULT created = Create();
  EXPECT_EQ(created, S_OK);
  if (FAILED(created)) return -1;
  return shell.Run();
}

void ShellRun::Press(SDL_Keycode key, bool alt) {
  HWND w = shell.window;
  Uint16 mod = alt ? KMOD_LALT : KMOD_NONE;
  if (alt) win32ext::InjectInput(testsupport::KeyEvent(w, SDLK_LALT, true, mod));
  win32ext::InjectInput(testsupport::KeyEvent(w, key, true, mod));
  win32ext::InjectInput(testsupport::KeyEvent(w, key, false, mod));
  if (alt) win32ext::InjectInput(testsupport::KeyEvent(w, SDLK_LALT, false));
}

void ShellRun::WindowEvent(Uint8 kind) { win32ext::InjectInput(testsupport::WindowEvent(shell.window, kind)); }

void ShellRun::InstallProgramStandIns() {
  fs::create_directories(directory / "stand-ins");
  for (const char* name : {"RizudAvuv.exe", "VoridEdadide.exe", "xdg-open"}) {
    fs::path script = directory / "stand-ins" / name;
    std::ofstream(script) << "#!/bin/sh\n: > \"" << (directory / name).string() << "\"\n";
    chmod(script.c_str(), 0755);
  }
  oldPath_ = std::getenv("PATH");
  setenv("PATH", ((directory / "stand-ins").string() + ":" + oldPath_).c_str(), 1);
}

bool ShellRun::StandInRan(const std::string& name) const {
  EXPECT_TRUE(testsupport::WaitForChildProcesses());
  return fs::exists(directory / name);
}

}  // namespace apptest
