// The device cursor: its image, position and visibility. In full screen with a display
// it is the window's pointer; in a window, and headless, the device only keeps it.
#include <algorithm>

#include "device.h"
#include "validation.h"
#include "win32ext.h"

namespace d3d9impl {

HRESULT Device::SetCursorProperties(UINT hotSpotX, UINT hotSpotY, IDirect3DSurface9* image) {
  auto* surface = static_cast<Surface*>(image);
  if (!surface) return InvalidCall("SetCursorProperties: no image");
  PixelStore& pixels = surface->Pixels();
  if (pixels.Format() != D3DFMT_A8R8G8B8 || hotSpotX >= pixels.Width() || hotSpotY >= pixels.Height())
    return InvalidCall("SetCursorProperties: needs A8R8G8B8 and a hot spot inside the image");
  if (pixels.Width() > 256 || pixels.Height() > 256 || pixels.Locked())
    return InvalidCall("SetCursorProperties: image too large or locked");
  cursorImage_.resize(size_t(pixels.Width()) * pixels.Height());
  for (uint32_t y = 0; y < pixels.Height(); ++y)
    std::copy_n(reinterpret_cast<const uint32_t*>(pixels.Bits() + size_t(y) * pixels.Pitch()),
                pixels.Width(), cursorImage_.data() + size_t(y) * pixels.Width());
  cursorWidth_ = pixels.Width();
  cursorHeight_ = pixels.Height();
  cursorHotX_ = hotSpotX;
  cursorHotY_ = hotSpotY;
  ApplyCursor();
  return D3D_OK;
}

// The device cursor is the window's pointer, so it already stands wherever the pointer
// is. Only a move elsewhere warps the pointer: the shell passes on every pointer motion,
// and warping to the pointer's own place would feed it another motion without end.
void Device::SetCursorPosition(int x, int y, DWORD flags) {
  (void)flags;
  cursorPosition_ = {x, y};
  if (!parameters_.Windowed) win32ext::WarpPointer(PresentWindow(nullptr), x, y);
}

BOOL Device::ShowCursor(BOOL show) {
  BOOL previous = cursorShown_;
  cursorShown_ = show != 0;
  ApplyCursor();
  return previous;
}

// In full screen the device's image is the window's pointer while it is shown.
void Device::ApplyCursor() {
  if (parameters_.Windowed) return;
  if (!cursorShown_) {
    win32ext::HidePointer();
    return;
  }
  if (cursorImage_.empty()) return;
  uintptr_t pointer = win32ext::ShowColorPointer({cursorImage_.data(), int(cursorWidth_), int(cursorHeight_),
                                                  int(cursorHotX_), int(cursorHotY_)});
  if (!pointer) return;
  ReleaseCursor();
  pointer_ = pointer;
}

void Device::ReleaseCursor() {
  win32ext::ReleaseColorPointer(pointer_);
  pointer_ = 0;
}

}  // namespace d3d9impl
