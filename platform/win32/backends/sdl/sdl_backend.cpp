// The SDL2 back end: real windows on X11 or Wayland (or SDL's dummy driver), native
// input read with SDL_PollEvent, message boxes and dialogs shown with GTK where a
// display runs it. The window manager draws decorations outside the client area, so an
// SDL window's size is the client size. As the headless desktop does, a display grows
// to contain a window placed beyond it: the adapter's screen image then holds the whole
// window, of which the user sees the part that fits.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "backend.h"
#include "dialog_model.h"
#include "gtk_toolkit.h"
#include "sdl_events.h"

namespace win32impl {

namespace {

class SdlBackend final : public Backend {
 public:
  static std::unique_ptr<Backend> Create() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return nullptr;
    // Two event types of its own: one that only wakes the waiting loop, one that marks
    // the place of an injected event in SDL's queue.
    Uint32 firstType = SDL_RegisterEvents(2);
    if (firstType == static_cast<Uint32>(-1)) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
      return nullptr;
    }
    return std::unique_ptr<Backend>(new SdlBackend(firstType, firstType + 1));
  }

  ~SdlBackend() override {
    for (auto& [image, cursor] : cursors_) SDL_FreeCursor(cursor);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  win32ext::BackendKind Kind() const override { return win32ext::BackendKind::Sdl; }
  bool ShowsWindows() const override { return true; }

  uint32_t CreateNativeWindow(const NativeWindowDesc& desc) override {
    Uint32 flags = SDL_WINDOW_RESIZABLE | (desc.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    if (!desc.bordered) flags |= SDL_WINDOW_BORDERLESS;
    SDL_Window* window = SDL_CreateWindow(desc.title.c_str(), desc.rect.left, desc.rect.top,
                                          desc.rect.right - desc.rect.left,
                                          desc.rect.bottom - desc.rect.top, flags);
    if (!window) return 0;
    uint32_t id = SDL_GetWindowID(window);
    windowRects_[id] = desc.rect;
    return id;
  }
  void DestroyNativeWindow(uint32_t id) override {
    windowRects_.erase(id);
    if (SDL_Window* window = SDL_GetWindowFromID(id)) SDL_DestroyWindow(window);
  }
  void SetRect(uint32_t id, const RECT& rect) override {
    if (SDL_Window* window = SDL_GetWindowFromID(id)) {
      windowRects_[id] = rect;
      SDL_SetWindowPosition(window, rect.left, rect.top);
      SDL_SetWindowSize(window, rect.right - rect.left, rect.bottom - rect.top);
    }
  }
  void SetVisible(uint32_t id, bool visible) override {
    if (SDL_Window* window = SDL_GetWindowFromID(id)) {
      visible ? SDL_ShowWindow(window) : SDL_HideWindow(window);
    }
  }
  void SetBordered(uint32_t id, bool bordered) override {
    if (SDL_Window* window = SDL_GetWindowFromID(id)) {
      SDL_SetWindowBordered(window, bordered ? SDL_TRUE : SDL_FALSE);
    }
  }
  void SetMinimumSize(uint32_t id, int width, int height) override {
    if (SDL_Window* window = SDL_GetWindowFromID(id)) {
      SDL_SetWindowMinimumSize(window, width, height);
    }
  }
  void SetShowState(uint32_t id, ShowState state) override {
    SDL_Window* window = SDL_GetWindowFromID(id);
    if (!window) return;
    switch (state) {
      case ShowState::Minimized: SDL_MinimizeWindow(window); break;
      case ShowState::Maximized: SDL_MaximizeWindow(window); break;
      case ShowState::Normal: SDL_RestoreWindow(window); break;
    }
  }

  void ShowImage(uint32_t id, const win32ext::ScreenImage& image, const RECT& part) override {
    SDL_Window* native = SDL_GetWindowFromID(id);
    SDL_Surface* target = native ? SDL_GetWindowSurface(native) : nullptr;
    if (!target) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(image.pixels), int(image.width), int(image.height), 32, int(image.width * 4),
        SDL_PIXELFORMAT_ARGB8888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);  // the fourth byte is no alpha
    SDL_Rect from{int(part.left), int(part.top), int(part.right - part.left), int(part.bottom - part.top)};
    SDL_BlitSurface(source, &from, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(native);
  }

  bool PollEvent(NativeEvent* event) override {
    SDL_Event sdl;
    while (SDL_PollEvent(&sdl)) {
      if (sdl.type == wakeType_) continue;
      if (sdl.type == injectedType_) {
        std::lock_guard lock(injectedMutex_);
        if (injected_.empty()) continue;
        *event = injected_.front();
        injected_.pop_front();
        return true;
      }
      if (std::optional<NativeEvent> native = FromSdl(sdl)) {
        *event = *native;
        return true;
      }
    }
    return false;
  }
  void WaitForEvents(int timeoutMs) override { SDL_WaitEventTimeout(nullptr, timeoutMs); }
  void Wake() override {
    SDL_Event event{};
    event.type = wakeType_;
    SDL_PushEvent(&event);
  }
  // The event waits beside SDL's queue, which holds a marker in its place, so that it
  // arrives in order with the events pushed around it.
  void Inject(const NativeEvent& event) override {
    std::lock_guard lock(injectedMutex_);
    SDL_Event marker{};
    marker.type = injectedType_;
    if (SDL_PushEvent(&marker) == 1) injected_.push_back(event);
  }

  void SetPointerImage(const win32ext::MonochromeImage* image) override {
    if (!image) {
      SDL_ShowCursor(SDL_DISABLE);
      return;
    }
    SDL_Cursor* cursor = CursorFor(*image);
    if (cursor) SDL_SetCursor(cursor);
    SDL_ShowCursor(SDL_ENABLE);
  }
  uintptr_t ShowColorPointer(const win32ext::ColorPointerImage& image) override {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(image.pixels), image.width, image.height, 32, image.width * 4,
        SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return 0;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, image.hotX, image.hotY);
    SDL_FreeSurface(surface);
    if (!cursor) return 0;
    SDL_SetCursor(cursor);
    SDL_ShowCursor(SDL_ENABLE);
    return reinterpret_cast<uintptr_t>(cursor);
  }
  void ReleaseColorPointer(uintptr_t token) override { SDL_FreeCursor(reinterpret_cast<SDL_Cursor*>(token)); }
  void ConfinePointer(uint32_t id, const RECT* rect) override {
    SDL_Window* window = SDL_GetWindowFromID(id);
    if (!window) return;
    if (!rect) {
      SDL_SetWindowMouseRect(window, nullptr);
      return;
    }
    int x = 0, y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_Rect area{rect->left - x, rect->top - y, rect->right - rect->left,
                  rect->bottom - rect->top};
    SDL_SetWindowMouseRect(window, &area);
  }

  void WarpPointer(uint32_t id, int x, int y) override {
    SDL_Window* window = SDL_GetWindowFromID(id);
    if (!window) return;
    int pointerX = 0, pointerY = 0;
    SDL_GetMouseState(&pointerX, &pointerY);
    if (SDL_GetMouseFocus() == window && pointerX == x && pointerY == y) return;
    SDL_WarpMouseInWindow(window, x, y);
  }

  void Displays(std::vector<win32ext::DisplayInfo>& into) override {
    size_t used = 0;
    int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
      SDL_Rect bounds;
      SDL_DisplayMode mode;
      if (SDL_GetDisplayBounds(i, &bounds) != 0 || SDL_GetCurrentDisplayMode(i, &mode) != 0) {
        continue;
      }
      if (used == into.size()) into.emplace_back();
      win32ext::DisplayInfo& display = into[used++];
      const char* name = SDL_GetDisplayName(i);
      display.name = name ? name : "Display";
      display.bounds = {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
      display.refreshRate = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    }
    into.resize(used);
    for (const auto& [id, rect] : windowRects_) GrowToContain(into, rect);
  }
  std::vector<win32ext::DisplayMode> DisplayModes(int index) override {
    std::vector<win32ext::DisplayMode> modes;
    int count = SDL_GetNumDisplayModes(index);
    for (int i = 0; i < count; ++i) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(index, i, &mode) == 0 && mode.w > 0 && mode.h > 0)
        modes.push_back({mode.w, mode.h, std::max(mode.refresh_rate, 0)});
    }
    return modes;
  }

  void StartDialogToolkit() override { GtkAvailable(); }
  std::optional<int> ShowMessageBox(const MessageBoxRequest& request) override {
    if (!GtkAvailable()) return std::nullopt;
    return ShowGtkMessageBox(request);
  }
  std::unique_ptr<DialogView> CreateDialogView(Dialog& dialog) override {
    return GtkAvailable() ? CreateGtkDialogView(dialog) : nullptr;
  }

 private:
  SdlBackend(Uint32 wakeType, Uint32 injectedType) : wakeType_(wakeType), injectedType_(injectedType) {}

  // Grows the display that holds the window's top-left corner (the first one when none
  // does) to the window's right and bottom edges.
  static void GrowToContain(std::vector<win32ext::DisplayInfo>& displays, const RECT& rect) {
    if (displays.empty()) return;
    auto holds = [&](const win32ext::DisplayInfo& d) {
      return rect.left >= d.bounds.left && rect.left < d.bounds.right && rect.top >= d.bounds.top &&
             rect.top < d.bounds.bottom;
    };
    auto found = std::find_if(displays.begin(), displays.end(), holds);
    RECT& bounds = (found == displays.end() ? displays.front() : *found).bounds;
    bounds.right = std::max(bounds.right, rect.right);
    bounds.bottom = std::max(bounds.bottom, rect.bottom);
  }

  // SDL takes the same two planes as Win32 with another truth table: Win32's
  // (AND, XOR) = (0,0) black, (0,1) white, (1,0) transparent, (1,1) inverted;
  // SDL's (data, mask) = (1,1) black, (0,1) white, (0,0) transparent, (1,0) inverted.
  SDL_Cursor* CursorFor(const win32ext::MonochromeImage& image) {
    auto found = cursors_.find(&image);
    if (found != cursors_.end()) return found->second;
    if (image.width % 8 != 0) return nullptr;
    std::vector<Uint8> data(image.andMask.size()), mask(image.andMask.size());
    for (size_t i = 0; i < data.size(); ++i) {
      Uint8 a = image.andMask[i];
      Uint8 x = image.xorMask[i];
      data[i] = static_cast<Uint8>(~(a ^ x));
      mask[i] = static_cast<Uint8>(~a);
    }
    SDL_Cursor* cursor = SDL_CreateCursor(data.data(), mask.data(), image.width, image.height,
                                          image.hotX, image.hotY);
    cursors_[&image] = cursor;
    return cursor;
  }

  Uint32 wakeType_;
  Uint32 injectedType_;
  std::mutex injectedMutex_;
  std::deque<NativeEvent> injected_;  // in the order of their markers in SDL's queue
  std::map<const win32ext::MonochromeImage*, SDL_Cursor*> cursors_;
  std::map<uint32_t, RECT> windowRects_;  // as last placed, in desktop coordinates
};

}  // namespace

std::unique_ptr<Backend> CreateSdlBackend() { return SdlBackend::Create(); }

}  // namespace win32impl
