// ShowError: every failure code turned into its fixed message, shown as a warning or
// as a must-exit error that closes the window.
#include <cstring>
#include <string>

#include "app_shell.h"
#include "d3dx9tex.h"

namespace {

const char kMustExit[] = "\n\nThis program will now exit.";
const char kSwitchedToRef[] =
    "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
    "Direct3D feature set, but runs very slowly.";

const char* MessageText(HRESULT code) {
  switch (code) {
    case ERR_NO_DIRECT3D:
      return "Could not initialize Direct3D. You may\nwant to check that the latest version of\n"
             "DirectX is correctly installed on your\nsystem.  Also make sure that this program\n"
             "was compiled with header files that match\nthe installed DirectX DLLs.";
    case ERR_NO_COMPATIBLE_DEVICES: return "Could not find any compatible Direct3D\ndevices.";
    case ERR_NO_WINDOWABLE_DEVICES:
      return "This program cannot run in a desktop\nwindow with the current display settings.\n"
             "Please change your desktop settings to a\n16- or 32-bit display mode and re-run this\nprogram.";
    case ERR_NO_HARDWARE_DEVICE: return "No hardware-accelerated Direct3D devices\nwere found.";
    case ERR_HAL_NOT_COMPATIBLE:
      return "This program requires functionality that is\nnot available on your Direct3D hardware\naccelerator.";
    case ERR_NO_WINDOWED_HAL:
      return "Your Direct3D hardware accelerator cannot\nrender into a window.\n"
             "Press F2 while the app is running to see a\nlist of available devices and modes.";
    case ERR_NO_DESKTOP_HAL:
      return "Your Direct3D hardware accelerator cannot\nrender into a window with the current\n"
             "desktop display settings.\nPress F2 while the app is running to see a\n"
             "list of available devices and modes.";
    case ERR_NO_HAL_THIS_MODE:
      return "This program requires functionality that is\nnot available on your Direct3D hardware\n"
             "accelerator with the current desktop display\nsettings.\n"
             "Press F2 while the app is running to see a\nlist of available devices and modes.";
    case ERR_NONZERO_REFCOUNT:
      return "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).";
    case ERR_MEDIA_NOT_FOUND:
    case D3DX_FILE_NOT_FOUND: return "Could not load required media.";
    case ERR_RESET_FAILED: return "Could not reset the Direct3D device.";
    case ERR_NULL_REF_DEVICE:
      return "Warning: Nothing will be rendered.\nThe reference rendering device was selected, but your\n"
             "computer only has a reduced-functionality reference device\ninstalled.  Install the graphics "
             "SDK to get the full\nreference device.\n";
    case E_OUTOFMEMORY: return "Not enough memory.";
    case D3DERR_OUTOFVIDEOMEMORY: return "Not enough video memory.";
    case D3DERR_DRIVERINTERNALERROR: return "A serious problem occured inside the display driver.";
    default: return "Generic application error. Enable\ndebug output for detailed information.";
  }
}

}  // namespace

// The must-exit ending shared by ShowError and the shell's direct messages.
void AppShell::ShowMustExit(const char* text) {
  fatalErrorShown = true;
  std::string message = std::string(text) + kMustExit;
  MessageBoxA(nullptr, message.c_str(), windowTitle, MB_ICONERROR | MB_OK);
  if (window) SendMessageA(window, WM_CLOSE, 0, 0);
}

HRESULT AppShell::ShowError(HRESULT code, int kind) {
  if (fatalErrorShown) return code;
  const char* text = MessageText(code);
  if (kind == MSGERR_APPMUSTEXIT || code == D3DERR_DRIVERINTERNALERROR) {
    ShowMustExit(text);
    return code;
  }
  std::string message = std::string(text) + (kind == MSGWARN_SWITCHEDTOREF ? kSwitchedToRef : "");
  MessageBoxA(nullptr, message.c_str(), windowTitle, MB_ICONWARNING | MB_OK);
  return code;
}
