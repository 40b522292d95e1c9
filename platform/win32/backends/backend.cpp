// Chooses the window back end once per process: headless when asked for with
// VESK_HEADLESS=1 or when SDL cannot open a video device, SDL otherwise. The SDL back
// end is opened from its module only then (see backend_module.h).
#include "backend.h"

#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "backend_module.h"
#include "display_present.h"
#include "readable_text.h"

namespace win32impl {

namespace {

// A display, or a video driver named for SDL itself (such as the tests' dummy driver).
bool DisplayMayExist() {
  return win32ext::DisplayPresent() || (!win32ext::HeadlessRequested() && std::getenv("SDL_VIDEODRIVER"));
}

const HostCalls kHostCalls{&TheBackend, &LookupWindow,   &ReadableUtf8,   &UserChoosesItem,
                           &UserClicks, &UserPressesKey, &UserClosesDialog};

// The SDL back end from its module; null when SDL cannot start, and null after one line
// on standard error naming each place tried and why when the module cannot be opened.
std::unique_ptr<Backend> LoadSdlBackend() {
  std::string problem;
  auto create = reinterpret_cast<CreateSdlBackendEntry>(
      win32ext::OpenModuleEntry(win32ext::LibraryCandidates(kSdlModuleFile), kSdlModuleEntry, problem));
  if (create) return std::unique_ptr<Backend>(create(&kHostCalls));
  std::fprintf(stderr, "%s: cannot load the display's window back end (%s); going on without windows\n",
               program_invocation_short_name, problem.c_str());
  return nullptr;
}

std::unique_ptr<Backend> ChooseBackend() {
  if (DisplayMayExist()) {
    if (auto sdl = LoadSdlBackend()) return sdl;
  }
  return CreateHeadlessBackend();
}

}  // namespace

Backend& TheBackend() {
  static std::once_flag once;
  static std::unique_ptr<Backend> backend;
  std::call_once(once, [] { backend = ChooseBackend(); });
  return *backend;
}

}  // namespace win32impl

win32ext::BackendKind win32ext::ActiveBackend() { return win32impl::TheBackend().Kind(); }

// The extensions below hand straight over to the back end in use.

std::vector<win32ext::DisplayInfo> win32ext::Displays() {
  std::vector<DisplayInfo> displays;
  RefreshDisplays(displays);
  return displays;
}

void win32ext::RefreshDisplays(std::vector<DisplayInfo>& displays) { win32impl::TheBackend().Displays(displays); }

std::vector<win32ext::DisplayMode> win32ext::DisplayModes(int displayIndex) {
  return win32impl::TheBackend().DisplayModes(displayIndex);
}

bool win32ext::WindowsShown() { return win32impl::TheBackend().ShowsWindows(); }

void win32ext::ShowInWindow(HWND window, const ScreenImage& image, const RECT& part) {
  if (uint32_t id = NativeWindowId(window)) win32impl::TheBackend().ShowImage(id, image, part);
}

uintptr_t win32ext::ShowColorPointer(const ColorPointerImage& image) {
  return win32impl::TheBackend().ShowColorPointer(image);
}

void win32ext::ReleaseColorPointer(uintptr_t token) {
  if (token) win32impl::TheBackend().ReleaseColorPointer(token);
}

void win32ext::HidePointer() { win32impl::TheBackend().SetPointerImage(nullptr); }

void win32ext::WarpPointer(HWND window, int x, int y) {
  if (uint32_t id = NativeWindowId(window)) win32impl::TheBackend().WarpPointer(id, x, y);
}
