// The dialog runtime's model: an open dialog with its controls (combo boxes, radio and
// push buttons, labels, group boxes), each reached by a handle of its own and driven by
// the usual messages. The message queue hands messages for these handles here; a view
// (GTK with a display) mirrors the model and reports the user's actions back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "win32ext.h"

namespace win32impl {

enum class ControlKind { GroupBox, Label, ComboBox, RadioButton, PushButton };

struct ComboItem {
  std::string text;  // CP932
  LPARAM data = 0;
};

struct Control {
  HWND handle = nullptr;
  int id = -1;
  ControlKind kind = ControlKind::Label;
  DWORD style = 0;
  std::string text;  // CP932
  RECT dialogUnits{};  // left, top, right, bottom in dialog units
  bool enabled = true;
  bool checked = false;
  std::vector<ComboItem> items;
  int selection = -1;
  bool dirty = true;  // the view has not shown the latest state yet
};

class DialogView;

struct Dialog {
  HWND handle = nullptr;
  HWND parent = nullptr;
  DLGPROC procedure = nullptr;
  const win32ext::DialogTemplate* source = nullptr;
  std::vector<Control> controls;
  bool ended = false;
  INT_PTR result = 0;
  std::unique_ptr<DialogView> view;
};

// The kind a template item makes, or false when the layer has no such control.
bool ControlKindOf(const win32ext::DialogItemTemplate& item, ControlKind* kind);

// Open dialogs are registered for the time their modal loop runs.
void RegisterDialog(Dialog* dialog);
void UnregisterDialog(Dialog* dialog);
// The open dialog behind a dialog handle, or null.
Dialog* LookupDialog(HWND handle);
// The control behind a control handle (and its dialog), or null.
Control* LookupControl(HWND handle, Dialog** owner = nullptr);
Control* ControlById(Dialog& dialog, int id);

// Delivers a message to a dialog or control handle; false when the handle is neither.
bool SendToDialogWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT* result);

// What the user does, as the control would report it to its dialog.
void UserChoosesItem(Dialog& dialog, Control& combo, int index);
void UserClicks(Dialog& dialog, Control& button);
void UserPressesKey(Dialog& dialog, int virtualKey);
void UserClosesDialog(Dialog& dialog);

// The dialog font as Pango and GTK name it: a family list for fontconfig, and the em
// height in whole pixels at 96 pixels per inch (a LOGFONT height of -MulDiv(pt, 96, 72)).
constexpr int kPixelsPerInch = 96;
std::string DialogFontFamilies(const char* faceName);
int DialogFontPixels(int pointSize);

// The view that shows a dialog on screen (GTK with a display), made by the back end.
class DialogView {
 public:
  virtual ~DialogView() = default;
  // Shows the state of every control marked dirty.
  virtual void Refresh() = 0;
  // Runs the toolkit's pending events, waiting at most timeoutMs for one.
  virtual void Iterate(int timeoutMs) = 0;
};

}  // namespace win32impl
