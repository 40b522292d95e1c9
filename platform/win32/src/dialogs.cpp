// Modal dialogs from the program's dialog templates. The dialog runtime (controls as a
// model, the modal loop, the GTK view) is not part of this layer yet, so every dialog
// fails to open with the platform's failure value and the reason in GetLastError.
#include "win32ext.h"
#include "windows.h"

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam) {
  (void)parent;
  (void)dialogProc;
  (void)initParam;
  bool found = win32ext::FindResourceEntry(instance, RT_DIALOG, templateName) != nullptr;
  SetLastError(found ? ERROR_NOT_SUPPORTED : ERROR_RESOURCE_NAME_NOT_FOUND);
  return -1;
}
