// The shell's object, window and messages: construction, Create, the window procedure
// and MsgProc, the pause counter, the size check and the close sequence.
#include "app_shell.h"

#include "frame_capture.h"
#include "frame_timer.h"
#include "resources.h"

AppShell* theApp = nullptr;
int32_t pauseCount = 0;
bool fatalErrorShown = false;

namespace {

constexpr DWORD kOverlappedVisible = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
constexpr DWORD kPopupVisible = WS_POPUP | WS_VISIBLE;
constexpr DWORD kPopupSysMenuVisible = WS_POPUP | WS_SYSMENU | WS_VISIBLE;
const char kWindowClass[] = "D3D Window";

// The enumeration asks the scene about each vertex processing type through this.
bool AskScene(const D3DCAPS9* caps, VertexProcessingType type, D3DFORMAT adapterFormat,
                           D3DFORMAT backBufferFormat) {
  D3DCAPS9 copy = *caps;
  return theApp->ConfirmDevice(&copy, BehaviorFlags(type), adapterFormat, backBufferFormat) >= 0;
}

bool RegisterShellClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.style = 0;
  windowClass.lpfnWndProc = ShellWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN_ICON));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

}  // namespace

LRESULT CALLBACK ShellWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return theApp->MsgProc(hWnd, message, wParam, lParam);
}

AppShell::AppShell() {
  theApp = this;
  // A new shell starts paused with its timer stopped.
  ++pauseCount;
  active = pauseCount == 0;
  if (pauseCount == 1 && frameMoving) FrameTimer(TIMER_STOP);
}

AppShell::~AppShell() = default;

HRESULT AppShell::ConfirmDevice(D3DCAPS9*, DWORD, D3DFORMAT, D3DFORMAT) { return S_OK; }

HRESULT AppShell::Create(HINSTANCE instance) {
  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3D) return ShowError(ERR_NO_DIRECT3D, MSGERR_APPMUSTEXIT);
  enumeration.direct3D = direct3D;
  enumeration.confirmDevice = AskScene;
  HRESULT result = enumeration.Enumerate();
  if (SUCCEEDED(result) && !window) {
    RegisterShellClass(instance);
    windowStyle = kOverlappedVisible;
    RECT rect{0, 0, creationWidth, creationHeight};
    AdjustWindowRect(&rect, windowStyle, TRUE);
    window = CreateWindowExA(0, kWindowClass, windowTitle, windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
  }
  if (SUCCEEDED(result)) {
    if (!focusWindow) focusWindow = window;
    windowStyle = DWORD(GetWindowLongA(window, GWL_STYLE));
    GetWindowRect(window, &windowBounds);
    GetClientRect(window, &clientRect);
    if (FAILED(direct3D->GetAdapterDisplayMode(0, &frameCapture.displayMode))) {
      MessageBoxA(nullptr, "GetAdapterDisplayMode fail", nullptr, MB_OK);
      return E_FAIL;
    }
    frameCapture.sourceRect = windowBounds;
    frameCapture.window = window;
    result = ChooseInitialSettings();
  }
  if (SUCCEEDED(result)) {
    FrameTimer(TIMER_START);
    result = OneTimeSceneInit();
  }
  if (SUCCEEDED(result)) {
    Pause(false);
    if (chooseDeviceAtStart) ChangeDevice();
    // A device the settings dialog already built is kept: a second one would leak it.
    if (!device) result = Initialize3DEnvironment();
  }
  if (FAILED(result)) {
    if (direct3D) {
      direct3D->Release();
      direct3D = nullptr;
    }
    return ShowError(result, MSGERR_APPMUSTEXIT);
  }
  SetWindowLongA(window, GWL_STYLE, LONG(kPopupVisible));
  return S_OK;
}

void AppShell::Pause(bool pause) {
  pauseCount += pause ? 1 : -1;
  active = pauseCount == 0;
  if (pause && pauseCount == 1 && frameMoving) FrameTimer(TIMER_STOP);
  if (pauseCount == 0 && frameMoving) FrameTimer(TIMER_START);
}

HRESULT AppShell::AdjustWindowForChange() {
  if (windowed) {
    SetWindowLongA(window, GWL_STYLE, LONG(windowStyle));
    if (savedMenu) {
      SetMenu(window, savedMenu);
      savedMenu = nullptr;
    }
  } else {
    SetWindowLongA(window, GWL_STYLE, LONG(kPopupSysMenuVisible));
    if (!savedMenu) {
      savedMenu = GetMenu(window);
      SetMenu(window, nullptr);
    }
  }
  return S_OK;
}

HRESULT AppShell::CheckForWindowSizeChange() {
  RECT old = clientRect;
  if (ignoreSizeChange) return S_OK;
  GetWindowRect(window, &windowBounds);
  GetClientRect(window, &clientRect);
  if (old.right - old.left == clientRect.right - clientRect.left &&
      old.bottom - old.top == clientRect.bottom - clientRect.top)
    return S_OK;
  Pause(true);
  presentParameters.BackBufferWidth = UINT(clientRect.right - clientRect.left);
  presentParameters.BackBufferHeight = UINT(clientRect.bottom - clientRect.top);
  if (device) {
    HRESULT result = Reset3DEnvironment();
    if (FAILED(result)) {
      if (result != D3DERR_OUTOFVIDEOMEMORY) result = ERR_RESET_FAILED;
      ShowError(result, MSGERR_APPMUSTEXIT);
      Pause(false);
      return result;
    }
  }
  Pause(false);
  return S_OK;
}

// Releasing the device may show a must-exit message that sends WM_CLOSE again; that
// second pass finds the sequence running and releases nothing twice.
void AppShell::CloseSequence() {
  if (closing_) return;
  closing_ = true;
  Cleanup3DEnvironment();
  if (direct3D) {
    direct3D->Release();
    direct3D = nullptr;
  }
  FinalCleanup();
  if (HMENU menu = GetMenu(window)) DestroyMenu(menu);
  DestroyWindow(window);
  PostQuitMessage(0);
  window = nullptr;
}

LRESULT AppShell::MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (device && !active && windowed && deviceObjectsInited && deviceObjectsRestored) {
        Render();
        device->Present(nullptr, nullptr, nullptr, nullptr);
      }
      break;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {100, 100};
      break;
    case WM_SETCURSOR:
      if (active && !windowed) {
        SetCursor(nullptr);
        if (showCursorWhenFullscreen) device->ShowCursor(TRUE);
        return TRUE;
      }
      break;
    case WM_NCHITTEST:
      if (!windowed) return HTCLIENT;
      break;
    case WM_SYSCOMMAND:
      if (!windowed && (wParam == SC_SIZE || wParam == SC_MOVE || wParam == SC_MAXIMIZE ||
                        wParam == SC_KEYMENU || wParam == SC_MONITORPOWER))
        return TRUE;
      break;
    case WM_SIZE:
      OnSize(wParam);
      break;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
      Pause(true);
      break;
    case WM_EXITMENULOOP:
      Pause(false);
      break;
    case WM_EXITSIZEMOVE:
      Pause(false);
      CheckForWindowSizeChange();
      break;
    case WM_MOUSEMOVE:
      if (active && device) {
        POINT cursor;
        GetCursorPos(&cursor);
        if (!windowed) ScreenToClient(window, &cursor);
        device->SetCursorPosition(cursor.x, cursor.y, 0);
      }
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) return TRUE;
      break;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam))) return 0;
      break;
    case WM_CLOSE:
      CloseSequence();
      return 0;
  }
  return DefWindowProcA(hWnd, message, wParam, lParam);
}

void AppShell::OnSize(WPARAM kind) {
  if (windowed && window) windowStyle = DWORD(GetWindowLongA(window, GWL_STYLE));
  if (kind == SIZE_MINIMIZED) {
    if (clipCursorWhenFullscreen && !windowed) ClipCursor(nullptr);
    Pause(true);
    minimized = true;
    maximized = false;
  } else if (kind == SIZE_MAXIMIZED) {
    if (minimized) Pause(false);
    minimized = false;
    maximized = true;
    CheckForWindowSizeChange();
  } else if (kind == SIZE_RESTORED) {
    if (maximized) {
      maximized = false;
      CheckForWindowSizeChange();
    } else if (minimized) {
      Pause(false);
      minimized = false;
      CheckForWindowSizeChange();
    }
  }
}

// True when the command is fully handled (MsgProc then returns 0).
bool AppShell::OnCommand(WORD command) {
  switch (command) {
    case IDM_CHANGEDEVICE:
      Pause(true);
      ChangeDevice();
      Pause(false);
      return true;
    case IDM_TOGGLEFULLSCREEN:
      Pause(true);
      if (FAILED(ToggleFullscreen())) ShowError(ERR_RESET_FAILED, MSGERR_APPMUSTEXIT);
      Pause(false);
      return true;
    case IDM_TOGGLESTART:
      frameMoving = !frameMoving;
      FrameTimer(frameMoving ? TIMER_START : TIMER_STOP);
      return false;
    case IDM_SINGLESTEP:
      FrameTimer(frameMoving ? TIMER_STOP : TIMER_ADVANCE);
      frameMoving = false;
      singleStep = true;
      return false;
    case IDM_EXIT:
      SendMessageA(window, WM_CLOSE, 0, 0);
      return true;
  }
  return false;
}
