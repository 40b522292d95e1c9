// Accelerator tables loaded from the program's resources, and their translation of
// key messages into WM_COMMAND. A key that matches is consumed: the window never sees
// its WM_KEYDOWN or WM_SYSKEYDOWN.
#include <map>
#include <vector>

#include "handles.h"
#include "win32ext.h"
#include "window_model.h"

namespace {

std::map<uint32_t, std::vector<ACCEL>>& Tables() {
  static std::map<uint32_t, std::vector<ACCEL>> tables;
  return tables;
}

bool Matches(const ACCEL& accel, const MSG& msg) {
  bool keyMessage = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  bool charMessage = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
  if (!(accel.fVirt & FVIRTKEY)) return charMessage && msg.wParam == accel.key;
  if (!keyMessage || msg.wParam != accel.key) return false;
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool control = GetKeyState(VK_CONTROL) < 0;
  bool alt = (msg.lParam & (1 << 29)) != 0 || GetKeyState(VK_MENU) < 0;
  return shift == ((accel.fVirt & FSHIFT) != 0) && control == ((accel.fVirt & FCONTROL) != 0) &&
         alt == ((accel.fVirt & FALT) != 0);
}

}  // namespace

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName) {
  const win32ext::ResourceEntry* entry =
      win32ext::FindResourceEntry(instance, RT_ACCELERATOR, tableName);
  if (!entry || entry->count == 0) return nullptr;
  const ACCEL* first = static_cast<const ACCEL*>(entry->data);
  uint32_t value = win32impl::NextHandleValue();
  Tables()[value] = std::vector<ACCEL>(first, first + entry->count);
  return win32impl::MakeHandle<HACCEL>(value);
}

int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg) {
  auto found = Tables().find(win32impl::HandleValue(table));
  if (found == Tables().end()) {
    SetLastError(ERROR_INVALID_ACCEL_HANDLE);
    return 0;
  }
  if (!win32impl::LookupWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!msg) return 0;
  for (const ACCEL& accel : found->second) {
    if (Matches(accel, *msg)) {
      SendMessageA(window, WM_COMMAND, MAKEWPARAM(accel.cmd, 1), 0);
      return 1;
    }
  }
  return 0;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  if (Tables().erase(win32impl::HandleValue(table)) == 0) {
    SetLastError(ERROR_INVALID_ACCEL_HANDLE);
    return FALSE;
  }
  return TRUE;
}
