// The window back ends behind one table: SDL2 with a display, a headless desktop kept
// in memory without one. Everything that differs between them goes through the table:
// native windows, native input (as NativeEvent records, which the input translation
// turns into window messages), the pointer, display modes, showing a presented image,
// message boxes and dialog views.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win32ext.h"

namespace win32impl {

struct Dialog;
class DialogView;

struct NativeWindowDesc {
  RECT rect;            // screen coordinates, window rectangle = client rectangle
  bool visible;
  bool bordered;        // the window manager draws a caption and frame
  std::string title;    // UTF-8
};

enum class ShowState { Normal, Minimized, Maximized };

// One piece of native input, in the window layer's own terms: virtual keys, client
// coordinates, the window it happened to.
struct NativeEvent {
  enum class Type { PointerMotion, Button, Wheel, Key, Window };
  enum class MouseButton { Left, Right, Middle };
  enum class WindowChange { Close, Exposed, Minimized, Maximized, Restored, Resized, Moved };

  Type type = Type::PointerMotion;
  uint32_t windowId = 0;
  bool pressed = false;  // Button and Key: down rather than up
  // PointerMotion and Button: client coordinates; Resized: the new client size; Moved:
  // the new position.
  int x = 0, y = 0;
  MouseButton button = MouseButton::Left;
  int clicks = 0;       // Button: presses in quick succession, this one included
  int wheelSteps = 0;   // Wheel: notches, positive away from the user
  // Key: the virtual key, its set-1 scan code, whether it is an extended key, and
  // whether this press repeats a held key.
  int virtualKey = 0;
  BYTE scanCode = 0;
  bool extendedKey = false;
  bool repeat = false;
  // Key: the modifiers held as the event happened.
  bool shift = false, control = false, alt = false;
  WindowChange change = WindowChange::Close;
};

struct MessageBoxButton {
  const char* label;  // with a '_' before the mnemonic
  int id;
};

struct MessageBoxRequest {
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  std::string detail;   // secondary text, may be empty
  UINT type;            // MB_ flags
  std::vector<MessageBoxButton> buttons;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual win32ext::BackendKind Kind() const = 0;
  // True when windows appear on a video device (a screen, or SDL's dummy driver), whose
  // refresh paces presentation.
  virtual bool ShowsWindows() const = 0;

  // Returns the native window id (SDL's window id; a counter headless), 0 on failure.
  virtual uint32_t CreateNativeWindow(const NativeWindowDesc& desc) = 0;
  virtual void DestroyNativeWindow(uint32_t id) = 0;
  virtual void SetRect(uint32_t id, const RECT& rect) = 0;
  virtual void SetVisible(uint32_t id, bool visible) = 0;
  virtual void SetBordered(uint32_t id, bool bordered) = 0;
  virtual void SetMinimumSize(uint32_t id, int width, int height) = 0;
  virtual void SetShowState(uint32_t id, ShowState state) = 0;
  // Copies `part` of an image of 32-bit X8R8G8B8 pixels into the window's client area.
  virtual void ShowImage(uint32_t id, const win32ext::ScreenImage& image, const RECT& part) = 0;

  // Next pending native event, without waiting.
  virtual bool PollEvent(NativeEvent* event) = 0;
  // Waits until an event may be pending or Wake is called, at most timeoutMs.
  virtual void WaitForEvents(int timeoutMs) = 0;
  // Ends a WaitForEvents early; safe from any thread.
  virtual void Wake() = 0;
  // Queues an event behind those already pending; safe from any thread.
  virtual void Inject(const NativeEvent& event) = 0;

  // The window pointer's image; null hides the pointer.
  virtual void SetPointerImage(const win32ext::MonochromeImage* image) = 0;
  // Makes a full-colour image the pointer and shows it. Returns a token for
  // ReleaseColorPointer, 0 when no such pointer can be made.
  virtual uintptr_t ShowColorPointer(const win32ext::ColorPointerImage& image) = 0;
  virtual void ReleaseColorPointer(uintptr_t token) = 0;
  // Confines the pointer to rect within the window, or frees it (rect null).
  virtual void ConfinePointer(uint32_t id, const RECT* rect) = 0;
  // Puts the pointer at a point of the window's client area, unless it stands there.
  virtual void WarpPointer(uint32_t id, int x, int y) = 0;

  // Fills `into` in place, so that a caller polling every frame reuses its storage.
  virtual void Displays(std::vector<win32ext::DisplayInfo>& into) = 0;
  // The modes the display at `index` can be switched to; empty where the back end has
  // no list.
  virtual std::vector<win32ext::DisplayMode> DisplayModes(int index) = 0;

  // Starts the toolkit that shows message boxes and dialogs, where there is one.
  virtual void StartDialogToolkit() = 0;
  // Shows a modal message box and returns the button's id; nothing when this back end
  // shows no boxes.
  virtual std::optional<int> ShowMessageBox(const MessageBoxRequest& request) = 0;
  // The view that shows a dialog on screen; null when this back end shows none.
  virtual std::unique_ptr<DialogView> CreateDialogView(Dialog& dialog) = 0;
};

std::unique_ptr<Backend> CreateHeadlessBackend();
// Null when SDL's video subsystem cannot start. Inside the SDL module only.
std::unique_ptr<Backend> CreateSdlBackend();

// The back end chosen for this process (made on first use).
Backend& TheBackend();

}  // namespace win32impl
