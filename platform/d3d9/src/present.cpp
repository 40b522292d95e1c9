// Presentation: the back buffer goes into the adapter's screen image at the window's
// client rectangle (stretched when the sizes differ) and, with a display, into the
// window. GetFrontBufferData copies that screen image. The device cursor is in
// device_cursor.cpp.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "adapters.h"
#include "device.h"
#include "resolve.h"
#include "texel_formats.h"
#include "validation.h"

namespace d3d9impl {
namespace {

// The client rectangle of a window in its adapter's screen coordinates.
RECT ClientOnScreen(HWND window, const Adapter& adapter) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  LONG x = origin.x - adapter.display.bounds.left, y = origin.y - adapter.display.bounds.top;
  return {x, y, x + client.right, y + client.bottom};
}

// 32-bit pixels whose low three bytes are B, G, R: what the screen takes as it is.
struct ImageRows {
  const uint8_t* bits;
  uint32_t pitch;
  uint32_t width;
  uint32_t height;
  const uint32_t* Row(uint32_t y) const { return reinterpret_cast<const uint32_t*>(bits + size_t(y) * pitch); }
};

// Nearest-neighbour copy of an image into the part of `dest` that lies on screen, with
// the unused byte set, as the screen keeps it.
void Composite(Screen& screen, const ImageRows& image, const RECT& dest) {
  LONG destWidth = dest.right - dest.left, destHeight = dest.bottom - dest.top;
  if (destWidth <= 0 || destHeight <= 0) return;
  LONG top = std::max<LONG>(dest.top, 0), bottom = std::min<LONG>(dest.bottom, LONG(screen.height));
  LONG left = std::max<LONG>(dest.left, 0), right = std::min<LONG>(dest.right, LONG(screen.width));
  if (left >= right || top >= bottom) return;
  const size_t count = size_t(right - left);
  if (uint32_t(destWidth) == image.width) {
    const size_t skip = size_t(left - dest.left);
    for (LONG y = top; y < bottom; ++y) {
      const uint32_t* src = image.Row(uint32_t(uint64_t(y - dest.top) * image.height / uint64_t(destHeight))) + skip;
      uint32_t* out = screen.pixels.data() + size_t(y) * screen.width + left;
      for (size_t i = 0; i < count; ++i) out[i] = src[i] | 0xFF000000u;
    }
  } else {
    // The source column of each screen column, worked out once rather than per row.
    std::vector<uint32_t> columns(count);
    for (LONG x = left; x < right; ++x)
      columns[size_t(x - left)] = uint32_t(uint64_t(x - dest.left) * image.width / uint64_t(destWidth));
    for (LONG y = top; y < bottom; ++y) {
      const uint32_t* src = image.Row(uint32_t(uint64_t(y - dest.top) * image.height / uint64_t(destHeight)));
      uint32_t* out = screen.pixels.data() + size_t(y) * screen.width + left;
      for (size_t i = 0; i < count; ++i) out[i] = src[columns[i]] | 0xFF000000u;
    }
  }
  screen.changes.Add({left, top, right, bottom});
}

UINT RefreshesToWait(UINT interval) {
  switch (interval) {
    case D3DPRESENT_INTERVAL_IMMEDIATE: return 0;
    case D3DPRESENT_INTERVAL_TWO: return 2;
    case D3DPRESENT_INTERVAL_THREE: return 3;
    case D3DPRESENT_INTERVAL_FOUR: return 4;
    default: return 1;
  }
}

// Waits for the display's next refresh (or the n-th after the previous present) when
// the interval asks for it. Without a display nothing is waited for.
uint64_t WaitForRefresh(UINT interval, int refreshRate, uint64_t lastTick) {
  UINT refreshes = RefreshesToWait(interval);
  if (refreshes == 0 || !win32ext::WindowsShown()) return lastTick;
  using Clock = std::chrono::steady_clock;
  auto period = std::chrono::nanoseconds(1000000000LL / std::max(refreshRate, 1));
  uint64_t now = uint64_t(Clock::now().time_since_epoch() / period);
  uint64_t tick = std::max(now + 1, lastTick + refreshes);
  std::this_thread::sleep_until(Clock::time_point(period * tick));
  return tick;
}

}  // namespace

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion) {
  if (sourceRect || destRect || dirtyRegion)
    return InvalidCall("Present: only whole back buffers are presented");
  HWND window = PresentWindow(destWindowOverride);
  if (!IsWindow(window)) return InvalidCall("Present: no window");
  if (CheckLoss()) return D3DERR_DEVICELOST;
  Adapter* adapter = FindAdapter(adapter_);
  if (!adapter) return D3DERR_DEVICELOST;
  const PixelStore& back = backBuffer_->Pixels();
  ImageRows image{back.Bits(), back.Pitch(), back.Width(), back.Height()};
  if (back.Samples() > 1 || (back.Format() != D3DFMT_X8R8G8B8 && back.Format() != D3DFMT_A8R8G8B8)) {
    presentImage_.resize(size_t(back.Width()) * back.Height());
    uint8_t* converted = reinterpret_cast<uint8_t*>(presentImage_.data());
    if (back.Samples() > 1)  // the multisampled back buffer is resolved on its way to the screen
      raster::ResolveToArgb(back.ReadView(), 0, 0, back.Width(), back.Height(), converted, back.Width() * 4);
    else
      raster::ConvertRect(back.Format(), back.Bits(), back.Pitch(), D3DFMT_A8R8G8B8, converted, back.Width() * 4,
                          back.Width(), back.Height());
    image = {reinterpret_cast<const uint8_t*>(presentImage_.data()), back.Width() * 4, back.Width(), back.Height()};
  }
  RECT dest = parameters_.Windowed ? ClientOnScreen(window, *adapter)
                                   : RECT{0, 0, LONG(adapter->screen.width), LONG(adapter->screen.height)};
  if (!IsIconic(window)) {
    Composite(adapter->screen, image, dest);
    win32ext::ShowInWindow(window, {adapter->screen.pixels.data(), adapter->screen.width, adapter->screen.height},
                           dest);
  }
  lastPresentTick_ = WaitForRefresh(parameters_.PresentationInterval, adapter->display.refreshRate,
                                    lastPresentTick_);
  return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destination) {
  auto* surface = static_cast<Surface*>(destination);
  if (swapChain != 0 || !surface) return InvalidCall("GetFrontBufferData: bad swap chain or surface");
  Adapter* adapter = FindAdapter(adapter_);
  if (!adapter) return D3DERR_DEVICELOST;
  PixelStore& pixels = surface->Pixels();
  if (pixels.Format() != D3DFMT_A8R8G8B8 ||
      (surface->Pool() != D3DPOOL_SYSTEMMEM && surface->Pool() != D3DPOOL_SCRATCH))
    return InvalidCall("GetFrontBufferData: needs an A8R8G8B8 system-memory or scratch surface");
  if (pixels.Width() != adapter->screen.width || pixels.Height() != adapter->screen.height)
    return InvalidCall("GetFrontBufferData: the surface must have the desktop's size");
  if (pixels.Locked()) return InvalidCall("GetFrontBufferData: the surface is locked");
  // The screen keeps its last image while the device is lost, so it can still be read.
  const Screen& screen = adapter->screen;
  const uint64_t held = pixels.ScreenImage();
  uint8_t* bits = pixels.Bits();
  // Presented rectangles already have their X byte set: they are copied as they are.
  auto copyChange = [&](const RECT& r) {
    for (LONG y = r.top; y < r.bottom; ++y)
      std::memcpy(bits + size_t(y) * pixels.Pitch() + size_t(r.left) * 4,
                  screen.pixels.data() + size_t(y) * screen.width + size_t(r.left), size_t(r.right - r.left) * 4);
  };
  // A surface that still holds an earlier image of this screen takes only the changes;
  // any other gets the whole screen, where the X byte is 0 wherever nothing was presented.
  if (held == 0 || !screen.changes.ForEachSince(held, copyChange))
    raster::ConvertRect(D3DFMT_X8R8G8B8, reinterpret_cast<const uint8_t*>(screen.pixels.data()), screen.width * 4,
                        D3DFMT_A8R8G8B8, bits, pixels.Pitch(), screen.width, screen.height);
  pixels.SetScreenImage(screen.changes.Serial());
  return D3D_OK;
}

}  // namespace d3d9impl
