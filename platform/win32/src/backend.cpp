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

std::vector<win32ext::DisplayInfo> win32ext::Displays() {
  std::vector<DisplayInfo> displays;
  RefreshDisplays(displays);
  return displays;
}

void win32ext::RefreshDisplays(std::vector<DisplayInfo>& displays) { win32impl::TheBackend().Displays(displays); }

void win32ext::InjectInput(const SDL_Event& event) { win32impl::TheBackend().Inject(event); }
