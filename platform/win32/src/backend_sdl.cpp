// The SDL2 back end: real windows on X11 or Wayland (or SDL's dummy driver), native
// input read with SDL_PollEvent. The window manager draws decorations outside the
// client area, so an SDL window's size is the client size. As the headless desktop
// does, a display grows to contain a window placed beyond it: the adapter's screen
// image then holds the whole window, of which the user sees the part that fits.
#include <algorithm>
#include <map>

#include "backend.h"

namespace win32impl {

namespace {

class SdlBackend final : public Backend {
 public:
  static std::unique_ptr<Backend> Create() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return nullptr;
    Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<Uint32>(-1)) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
      return nullptr;
    }
    return std::unique_ptr<Backend>(new SdlBackend(wakeType));
  }

  ~SdlBackend() override {
    for (auto& [image, cursor] : cursors_) SDL_FreeCursor(cursor);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  win32ext::BackendKind Kind() const override { return win32ext::BackendKind::Sdl; }

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

  bool PollEvent(SDL_Event* event) override {
    while (SDL_PollEvent(event)) {
      if (event->type != wakeType_) return true;
    }
    return false;
  }
  void WaitForEvents(int timeoutMs) override { SDL_WaitEventTimeout(nullptr, timeoutMs); }
  void Wake() override {
    SDL_Event event{};
    event.type = wakeType_;
    SDL_PushEvent(&event);
  }
  void Inject(const SDL_Event& event) override {
    SDL_Event copy = event;
    SDL_PushEvent(&copy);
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

 private:
  explicit SdlBackend(Uint32 wakeType) : wakeType_(wakeType) {}

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
  std::map<const win32ext::MonochromeImage*, SDL_Cursor*> cursors_;
  std::map<uint32_t, RECT> windowRects_;  // as last placed, in desktop coordinates
};

}  // namespace

std::unique_ptr<Backend> CreateSdlBackend() { return SdlBackend::Create(); }

}  // namespace win32impl
