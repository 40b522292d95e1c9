// Modal dialogs from the program's dialog templates: the controls are built as a model,
// WM_INITDIALOG goes to the dialog procedure, and a modal loop dispatches the thread's
// messages until EndDialog. The owner is disabled meanwhile, so input for it is dropped.
// With a display the back end's view (GTK) shows the dialog; headless a dialog opens only while a
// test's hook plays the user, and otherwise fails with -1.
#include <mutex>

#include "backend.h"
#include "dialog_model.h"
#include "handles.h"
#include "message_queue.h"
#include "window_model.h"

namespace win32impl {

namespace {

std::mutex g_hookMutex;
win32ext::DialogHook g_hook;

win32ext::DialogHook CurrentHook() {
  std::lock_guard lock(g_hookMutex);
  return g_hook;
}

// Null (with the reason in GetLastError) when a control of the template does not exist
// on this platform.
std::unique_ptr<Dialog> BuildDialog(const win32ext::DialogTemplate& source, HWND parent, DLGPROC procedure) {
  auto dialog = std::make_unique<Dialog>();
  dialog->handle = MakeHandle<HWND>(NextHandleValue());
  dialog->parent = parent;
  dialog->procedure = procedure;
  dialog->source = &source;
  dialog->controls.resize(source.itemCount);
  for (size_t i = 0; i < source.itemCount; ++i) {
    const win32ext::DialogItemTemplate& item = source.items[i];
    Control& control = dialog->controls[i];
    if (!ControlKindOf(item, &control.kind)) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return nullptr;
    }
    control.handle = MakeHandle<HWND>(NextHandleValue());
    control.id = item.id;
    control.style = item.style;
    control.text = item.text;
    control.dialogUnits = {item.x, item.y, item.x + item.cx, item.y + item.cy};
    control.enabled = !(item.style & WS_DISABLED);
  }
  return dialog;
}

bool IsInput(UINT message) {
  return (message >= WM_KEYDOWN && message <= WM_SYSCHAR) ||
         (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL);
}

bool BelongsTo(const Dialog& dialog, HWND handle) {
  Dialog* owner = nullptr;
  return handle == dialog.handle || (LookupControl(handle, &owner) && owner == &dialog);
}

// Dispatches one queued message; false when nothing but painting was left.
bool DispatchOne(Dialog& dialog) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    // The quit message ends the dialog and stays for the program's own loop.
    PostQuitMessage(static_cast<int>(msg.wParam));
    dialog.ended = true;
    dialog.result = IDCANCEL;
    return true;
  }
  if (IsInput(msg.message) && !BelongsTo(dialog, msg.hwnd)) return true;  // the owner is disabled
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return msg.message != WM_PAINT;
}

void RunModalLoop(Dialog& dialog, const win32ext::DialogHook& hook) {
  win32ext::DialogUser user(dialog.handle);
  bool userDone = false;
  while (!dialog.ended) {
    if (DispatchOne(dialog)) continue;
    if (dialog.view) {
      dialog.view->Refresh();
      dialog.view->Iterate(20);
    } else if (userDone) {
      // The close box did not end the dialog either: nothing more can happen.
      dialog.ended = true;
      dialog.result = -1;
    } else if (!hook(user)) {
      userDone = true;
      UserClosesDialog(dialog);
    }
  }
}

void ForgetMessagesOf(const Dialog& dialog) {
  RemoveMessagesFor(dialog.handle);
  for (const Control& control : dialog.controls) RemoveMessagesFor(control.handle);
}

HWND FirstTabStop(const Dialog& dialog) {
  for (const Control& control : dialog.controls) {
    if (control.style & WS_TABSTOP) return control.handle;
  }
  return nullptr;
}

Dialog* Require(HWND handle) {
  Dialog* dialog = LookupDialog(handle);
  if (!dialog) SetLastError(ERROR_WINDOW_NOT_DIALOG);
  return dialog;
}

}  // namespace

}  // namespace win32impl

using namespace win32impl;

void win32ext::SetDialogHook(DialogHook hook) {
  std::lock_guard lock(g_hookMutex);
  g_hook = std::move(hook);
}

bool win32ext::DialogUser::Choose(int controlId, std::string_view text) const {
  Dialog* dialog = Require(dialog_);
  Control* combo = dialog ? ControlById(*dialog, controlId) : nullptr;
  if (!combo || combo->kind != ControlKind::ComboBox || !combo->enabled) return false;
  for (size_t i = 0; i < combo->items.size(); ++i) {
    if (combo->items[i].text != text) continue;
    UserChoosesItem(*dialog, *combo, static_cast<int>(i));
    return true;
  }
  return false;
}

bool win32ext::DialogUser::Click(int controlId) const {
  Dialog* dialog = Require(dialog_);
  Control* button = dialog ? ControlById(*dialog, controlId) : nullptr;
  if (!button || !button->enabled ||
      (button->kind != ControlKind::PushButton && button->kind != ControlKind::RadioButton)) {
    return false;
  }
  UserClicks(*dialog, *button);
  return true;
}

bool win32ext::DialogUser::PressKey(int virtualKey) const {
  Dialog* dialog = Require(dialog_);
  if (!dialog || (virtualKey != VK_ESCAPE && virtualKey != VK_RETURN)) return false;
  UserPressesKey(*dialog, virtualKey);
  return true;
}

void win32ext::DialogUser::Close() const {
  if (Dialog* dialog = Require(dialog_)) UserClosesDialog(*dialog);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam) {
  const win32ext::ResourceEntry* entry = win32ext::FindResourceEntry(instance, RT_DIALOG, templateName);
  if (!entry) return -1;
  if (!dialogProc || !entry->data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (parent && !LookupWindow(parent) && !LookupDialog(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  std::unique_ptr<Dialog> dialog =
      BuildDialog(*static_cast<const win32ext::DialogTemplate*>(entry->data), parent, dialogProc);
  if (!dialog) return -1;
  win32ext::DialogHook hook = CurrentHook();
  if (!hook) dialog->view = TheBackend().CreateDialogView(*dialog);
  if (!hook && !dialog->view) {
    SetLastError(ERROR_NOT_SUPPORTED);  // no screen to show it on and no one to answer it
    return -1;
  }
  RegisterDialog(dialog.get());
  BOOL ownerWasDisabled = parent ? EnableWindow(parent, FALSE) : TRUE;
  SendMessageA(dialog->handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(*dialog)), initParam);
  RunModalLoop(*dialog, hook);
  dialog->view.reset();
  if (!ownerWasDisabled) EnableWindow(parent, TRUE);
  UnregisterDialog(dialog.get());
  ForgetMessagesOf(*dialog);
  return dialog->result;
}
