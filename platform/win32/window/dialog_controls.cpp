// The controls of open dialogs as a model: combo boxes answer the CB_ messages, buttons
// BM_GETCHECK and BM_SETCHECK; the dialog window does the default dialog processing
// (the close box cancels) around the program's dialog procedure. A program's own
// changes send no notification; the user's actions send the ones Windows sends.
#include <cstring>

#include "dialog_model.h"
#include "window_model.h"

namespace win32impl {

namespace {

std::vector<Dialog*>& OpenDialogs() {
  static std::vector<Dialog*> dialogs;
  return dialogs;
}

bool ValidIndex(const Control& combo, WPARAM index) { return index < combo.items.size(); }

LRESULT ComboMessage(Control& combo, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case CB_ADDSTRING: {
      if (!lParam) return CB_ERR;
      combo.items.push_back({reinterpret_cast<const char*>(lParam), 0});
      combo.dirty = true;
      return static_cast<LRESULT>(combo.items.size() - 1);
    }
    case CB_SETITEMDATA:
      if (!ValidIndex(combo, wParam)) return CB_ERR;
      combo.items[wParam].data = lParam;
      return TRUE;
    case CB_GETITEMDATA:
      return ValidIndex(combo, wParam) ? combo.items[wParam].data : CB_ERR;
    case CB_SETCURSEL:
      // An index past the end, or -1, clears the selection and reports CB_ERR.
      combo.selection = ValidIndex(combo, wParam) ? static_cast<int>(wParam) : -1;
      combo.dirty = true;
      return combo.selection < 0 ? CB_ERR : combo.selection;
    case CB_GETCURSEL:
      return combo.selection < 0 ? CB_ERR : combo.selection;
    case CB_GETCOUNT:
      return static_cast<LRESULT>(combo.items.size());
    case CB_GETLBTEXTLEN:
      return ValidIndex(combo, wParam) ? static_cast<LRESULT>(combo.items[wParam].text.size()) : CB_ERR;
    case CB_GETLBTEXT: {
      // As on Windows the buffer must hold the whole text: ask CB_GETLBTEXTLEN first.
      if (!ValidIndex(combo, wParam) || !lParam) return CB_ERR;
      const std::string& text = combo.items[wParam].text;
      std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
      return static_cast<LRESULT>(text.size());
    }
    case CB_RESETCONTENT:
      combo.items.clear();
      combo.selection = -1;
      combo.dirty = true;
      return TRUE;
  }
  return 0;
}

LRESULT ButtonMessage(Control& button, UINT message, WPARAM wParam) {
  switch (message) {
    case BM_GETCHECK:
      return button.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      button.checked = wParam == BST_CHECKED;
      button.dirty = true;
      return 0;
  }
  return 0;
}

LRESULT ControlMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (control.kind) {
    case ControlKind::ComboBox: return ComboMessage(control, message, wParam, lParam);
    case ControlKind::RadioButton:
    case ControlKind::PushButton: return ButtonMessage(control, message, wParam);
    default: return 0;
  }
}

HWND HandleOfId(Dialog& dialog, int id) {
  Control* control = ControlById(dialog, id);
  return control ? control->handle : nullptr;
}

void SendCommand(Dialog& dialog, int id, WORD notification, HWND control) {
  SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(control));
}

// Default dialog processing for what the dialog procedure leaves unhandled.
LRESULT DialogWindowMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR handled = dialog.procedure(dialog.handle, message, wParam, lParam);
  if (handled) return handled;
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(dialog.handle, WM_CLOSE, 0, 0);
      break;
    case WM_CLOSE:
      PostMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(HandleOfId(dialog, IDCANCEL)));
      break;
  }
  return 0;
}

// The radio buttons that an automatic radio button unchecks: its group runs from the
// nearest control at or before it that starts a group up to the next one that does.
void CheckWithinGroup(Dialog& dialog, Control& radio) {
  auto self = dialog.controls.begin() + (&radio - dialog.controls.data());
  auto first = self;
  while (first != dialog.controls.begin() && !(first->style & WS_GROUP)) --first;
  for (auto it = first; it != dialog.controls.end(); ++it) {
    if (it != first && (it->style & WS_GROUP)) break;
    if (it->kind != ControlKind::RadioButton) continue;
    it->checked = &*it == &radio;
    it->dirty = true;
  }
}

Control* RequireControl(HWND dialogHandle, int id) {
  Dialog* dialog = LookupDialog(dialogHandle);
  if (!dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  Control* control = ControlById(*dialog, id);
  if (!control) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return control;
}

}  // namespace

bool ControlKindOf(const win32ext::DialogItemTemplate& item, ControlKind* kind) {
  if (!item.className || !item.text) return false;
  if (std::strcmp(item.className, "STATIC") == 0) {
    *kind = ControlKind::Label;
  } else if (std::strcmp(item.className, "COMBOBOX") == 0) {
    *kind = ControlKind::ComboBox;
  } else if (std::strcmp(item.className, "BUTTON") == 0) {
    switch (item.style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON: *kind = ControlKind::PushButton; break;
      case BS_GROUPBOX: *kind = ControlKind::GroupBox; break;
      case BS_AUTORADIOBUTTON: *kind = ControlKind::RadioButton; break;
      default: return false;
    }
  } else {
    return false;
  }
  return true;
}

void RegisterDialog(Dialog* dialog) { OpenDialogs().push_back(dialog); }

void UnregisterDialog(Dialog* dialog) { std::erase(OpenDialogs(), dialog); }

Dialog* LookupDialog(HWND handle) {
  if (!handle) return nullptr;
  for (Dialog* dialog : OpenDialogs()) {
    if (dialog->handle == handle) return dialog;
  }
  return nullptr;
}

Control* LookupControl(HWND handle, Dialog** owner) {
  if (!handle) return nullptr;
  for (Dialog* dialog : OpenDialogs()) {
    for (Control& control : dialog->controls) {
      if (control.handle != handle) continue;
      if (owner) *owner = dialog;
      return &control;
    }
  }
  return nullptr;
}

Control* ControlById(Dialog& dialog, int id) {
  for (Control& control : dialog.controls) {
    if (id != -1 && control.id == id) return &control;
  }
  return nullptr;
}

bool SendToDialogWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (Dialog* dialog = LookupDialog(handle)) {
    *result = DialogWindowMessage(*dialog, message, wParam, lParam);
    return true;
  }
  if (Control* control = LookupControl(handle)) {
    *result = ControlMessage(*control, message, wParam, lParam);
    return true;
  }
  return false;
}

void UserChoosesItem(Dialog& dialog, Control& combo, int index) {
  if (!combo.enabled || index < 0 || static_cast<size_t>(index) >= combo.items.size()) return;
  combo.selection = index;
  combo.dirty = true;
  SendCommand(dialog, combo.id, CBN_SELCHANGE, combo.handle);
}

void UserClicks(Dialog& dialog, Control& button) {
  if (!button.enabled) return;
  if (button.kind == ControlKind::RadioButton) CheckWithinGroup(dialog, button);
  SendCommand(dialog, button.id, BN_CLICKED, button.handle);
}

void UserPressesKey(Dialog& dialog, int virtualKey) {
  if (virtualKey == VK_ESCAPE) {
    SendCommand(dialog, IDCANCEL, BN_CLICKED, HandleOfId(dialog, IDCANCEL));
    return;
  }
  if (virtualKey != VK_RETURN) return;
  // Enter presses the default push button, or stands for IDOK where there is none.
  for (Control& control : dialog.controls) {
    if (control.kind == ControlKind::PushButton && (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      if (control.enabled) SendCommand(dialog, control.id, BN_CLICKED, control.handle);
      return;
    }
  }
  SendCommand(dialog, IDOK, BN_CLICKED, nullptr);
}

void UserClosesDialog(Dialog& dialog) { SendMessageA(dialog.handle, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace win32impl

using namespace win32impl;

BOOL EndDialog(HWND dialogHandle, INT_PTR result) {
  Dialog* dialog = LookupDialog(dialogHandle);
  if (!dialog) {
    SetLastError(ERROR_WINDOW_NOT_DIALOG);
    return FALSE;
  }
  dialog->ended = true;
  dialog->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Control* control = RequireControl(dialog, id);
  return control ? control->handle : nullptr;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  if (Control* control = LookupControl(handle)) {
    BOOL wasDisabled = !control->enabled;
    control->enabled = enable != FALSE;
    control->dirty = true;
    return wasDisabled;
  }
  if (LookupDialog(handle)) return FALSE;
  Window* window = LookupWindow(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  BOOL wasDisabled = (window->style & WS_DISABLED) != 0;
  window->style = enable ? (window->style & ~WS_DISABLED) : (window->style | WS_DISABLED);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND handle) {
  if (Control* control = LookupControl(handle)) return control->enabled;
  if (LookupDialog(handle)) return TRUE;
  Window* window = LookupWindow(handle);
  return window && !(window->style & WS_DISABLED);
}

BOOL CheckRadioButton(HWND dialogHandle, int firstId, int lastId, int checkId) {
  Dialog* dialog = LookupDialog(dialogHandle);
  if (!dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  for (Control& control : dialog->controls) {
    if (control.id < firstId || control.id > lastId || control.kind != ControlKind::RadioButton) continue;
    control.checked = control.id == checkId;
    control.dirty = true;
  }
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  Control* control = RequireControl(dialog, id);
  return control && control->checked ? BST_CHECKED : BST_UNCHECKED;
}
