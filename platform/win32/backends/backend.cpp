// Chooses the window back end once per process: headless when asked for with
// VESK_HEADLESS=1 or when SDL cannot open a video device, SDL otherwise.
#include "backend.h"

#include <cstdlib>
#include <mutex>

#include "display_present.h"

namespace win32impl {

namespace {

// A display, or a video driver named for SDL itself (such as the tests' dummy driver).
bool DisplayMayExist() {
  return win32ext::DisplayPresent() || (!win32ext::HeadlessRequested() && std::getenv("SDL_VIDEODRIVER"));
}

std::unique_ptr<Backend> ChooseBackend() {
  if (DisplayMayExist()) {
    if (auto sdl = CreateSdlBackend()) return sdl;
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
