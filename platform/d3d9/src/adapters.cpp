// Adapter list, display modes and screen images.
#include "adapters.h"

#include <algorithm>
#include <iterator>

namespace d3d9impl {
namespace {

// Sizes offered headless (and when the back end lists no modes), up to the desktop's size.
constexpr struct {
  UINT width, height;
} kStandardSizes[] = {{640, 480},   {800, 600},   {1024, 768},  {1280, 720},
                      {1280, 1024}, {1600, 900},  {1920, 1080}, {2560, 1440}, {3840, 2160}};

// The display's own modes, as the window back end lists them.
std::vector<D3DDISPLAYMODE> ListedModes(int displayIndex) {
  std::vector<D3DDISPLAYMODE> modes;
  for (const win32ext::DisplayMode& mode : win32ext::DisplayModes(displayIndex))
    modes.push_back({UINT(mode.width), UINT(mode.height), UINT(mode.refreshRate), kDesktopFormat});
  return modes;
}

std::vector<D3DDISPLAYMODE> ModesOf(const win32ext::DisplayInfo& display, int index) {
  UINT width = UINT(display.bounds.right - display.bounds.left);
  UINT height = UINT(display.bounds.bottom - display.bounds.top);
  UINT refresh = UINT(std::max(display.refreshRate, 0));
  std::vector<D3DDISPLAYMODE> modes = ListedModes(index);
  if (modes.empty()) {
    for (auto size : kStandardSizes)
      if (size.width <= width && size.height <= height)
        modes.push_back({size.width, size.height, refresh, kDesktopFormat});
  }
  D3DDISPLAYMODE desktop{width, height, refresh, kDesktopFormat};
  auto same = [&](const D3DDISPLAYMODE& m) {
    return m.Width == width && m.Height == height && m.RefreshRate == refresh;
  };
  if (std::none_of(modes.begin(), modes.end(), same)) modes.push_back(desktop);
  return modes;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void FitScreen(Screen& screen, const RECT& bounds) {
  uint32_t width = uint32_t(std::max<LONG>(bounds.right - bounds.left, 1));
  uint32_t height = uint32_t(std::max<LONG>(bounds.bottom - bounds.top, 1));
  if (screen.width == width && screen.height == height) return;
  screen.width = width;
  screen.height = height;
  screen.pixels = raster::FreshVector<uint32_t>(size_t{width} * height);
  screen.changes.Reset();
}

std::vector<Adapter>& Refreshed() {
  static std::vector<Adapter> adapters;
  static std::vector<win32ext::DisplayInfo> displays;  // kept: asked for every frame
  win32ext::RefreshDisplays(displays);
  adapters.resize(displays.size());
  for (size_t i = 0; i < displays.size(); ++i) {
    Adapter& adapter = adapters[i];
    bool changed = adapter.modes.empty() || !SameRect(adapter.display.bounds, displays[i].bounds) ||
                   adapter.display.refreshRate != displays[i].refreshRate;
    adapter.display = displays[i];
    if (changed) adapter.modes = ModesOf(displays[i], int(i));
    FitScreen(adapter.screen, displays[i].bounds);
  }
  return adapters;
}

}  // namespace

uint32_t AdapterCount() { return uint32_t(Refreshed().size()); }

Adapter* FindAdapter(uint32_t ordinal) {
  std::vector<Adapter>& adapters = Refreshed();
  return ordinal < adapters.size() ? &adapters[ordinal] : nullptr;
}

D3DDISPLAYMODE DesktopMode(const Adapter& adapter) {
  const RECT& b = adapter.display.bounds;
  return {UINT(b.right - b.left), UINT(b.bottom - b.top),
          UINT(std::max(adapter.display.refreshRate, 0)), kDesktopFormat};
}

bool IsDisplayFormat(D3DFORMAT format) {
  return std::find(std::begin(kDisplayFormats), std::end(kDisplayFormats), format) !=
         std::end(kDisplayFormats);
}

}  // namespace d3d9impl

