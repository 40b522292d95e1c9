// The window back ends behind one table: SDL2 with a display, a headless desktop kept
// in memory without one. Each reports native input as SDL_Event records, which the
// input translation turns into window messages; the window model drives the back end
// through the operations below.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "win32ext.h"

namespace win32impl {

struct NativeWindowDesc {
  RECT rect;            // screen coordinates, window rectangle = client rectangle
  bool visible;
  bool bordered;        // the window manager draws a caption and frame
  std::string title;    // UTF-8
};

enum class ShowState { Normal, Minimized, Maximized };

class Backend {
 public:
  virtual ~Backend() = default;
  virtual win32ext::BackendKind Kind() const = 0;

  // Returns the native window id (SDL's window id; a counter headless), 0 on failure.
  virtual uint32_t CreateNativeWindow(const NativeWindowDesc& desc) = 0;
  virtual void DestroyNativeWindow(uint32_t id) = 0;
  virtual void SetRect(uint32_t id, const RECT& rect) = 0;
  virtual void SetVisible(uint32_t id, bool visible) = 0;
  virtual void SetBordered(uint32_t id, bool bordered) = 0;
  virtual void SetMinimumSize(uint32_t id, int width, int height) = 0;
  virtual void SetShowState(uint32_t id, ShowState state) = 0;

  // Next pending native event, without waiting.
  virtual bool PollEvent(SDL_Event* event) = 0;
  // Waits until an event may be pending or Wake is called, at most timeoutMs.
  virtual void WaitForEvents(int timeoutMs) = 0;
  // Ends a WaitForEvents early; safe from any thread.
  virtual void Wake() = 0;
  virtual void Inject(const SDL_Event& event) = 0;

  virtual void SetPointerImage(const win32ext::MonochromeImage* image) = 0;
  // Confines the pointer to rect within the window, or frees it (rect null).
  virtual void ConfinePointer(uint32_t id, const RECT* rect) = 0;

  // Fills `into` in place, so that a caller polling every frame reuses its storage.
  virtual void Displays(std::vector<win32ext::DisplayInfo>& into) = 0;
};

std::unique_ptr<Backend> CreateHeadlessBackend();
// Null when SDL's video subsystem cannot start.
std::unique_ptr<Backend> CreateSdlBackend();

// The back end chosen for this process (made on first use).
Backend& TheBackend();

}  // namespace win32impl
