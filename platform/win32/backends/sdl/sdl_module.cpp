// The module's entry point, and the window layer's functions that the SDL and GTK code
// calls, each handed over to the program's own through the table it passed in.
#include "backend_module.h"
#include "readable_text.h"

namespace win32impl {
namespace {
const HostCalls* host = nullptr;
}  // namespace

Backend& TheBackend() { return host->theBackend(); }
Window* LookupWindow(HWND handle) { return host->lookupWindow(handle); }
std::string ReadableUtf8(const std::string& cp932) { return host->readableUtf8(cp932); }
void UserChoosesItem(Dialog& dialog, Control& combo, int index) { host->userChoosesItem(dialog, combo, index); }
void UserClicks(Dialog& dialog, Control& button) { host->userClicks(dialog, button); }
void UserPressesKey(Dialog& dialog, int virtualKey) { host->userPressesKey(dialog, virtualKey); }
void UserClosesDialog(Dialog& dialog) { host->userClosesDialog(dialog); }

}  // namespace win32impl

extern "C" __attribute__((visibility("default"))) win32impl::Backend* Win32CreateSdlBackend(
    const win32impl::HostCalls* calls) {
  win32impl::host = calls;
  return win32impl::CreateSdlBackend().release();
}
