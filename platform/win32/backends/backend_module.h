// The SDL back end (with GTK for its message boxes and dialogs) is a module of its own,
// opened with dlopen when a display is there: a headless run never maps SDL, GTK and
// the eighty-odd libraries under them. The module links nothing of the window layer;
// the few layer functions it calls come with this table from the program that opens
// it, so the layer's state (windows, dialogs, the chosen back end) exists once.
#pragma once

#include <string>

#include "backend.h"
#include "dialog_model.h"
#include "window_model.h"

namespace win32impl {

struct HostCalls {
  Backend& (*theBackend)();
  Window* (*lookupWindow)(HWND handle);
  std::string (*readableUtf8)(const std::string& cp932);
  void (*userChoosesItem)(Dialog& dialog, Control& combo, int index);
  void (*userClicks)(Dialog& dialog, Control& button);
  void (*userPressesKey)(Dialog& dialog, int virtualKey);
  void (*userClosesDialog)(Dialog& dialog);
};

// The module's file, found as LoadLibraryA finds a library, and its one entry point:
// a new SDL back end (the caller owns it), or null when SDL's video cannot start.
inline constexpr const char* kSdlModuleFile = "libwin32_sdl.so";
inline constexpr const char* kSdlModuleEntry = "Win32CreateSdlBackend";
using CreateSdlBackendEntry = Backend* (*)(const HostCalls* calls);

}  // namespace win32impl
