// The device's life: the initial choice of settings from the enumeration, the
// presentation parameters, creation with the scene's device hooks (and the fallback
// to the reference device), reset, release, full-screen switching and device change.
#include <cstdio>
#include <cstring>

#include "app_shell.h"
#include "device_cursor.h"
#include "d3dx9tex.h"
#include "device_settings_dialog.h"
#include "frame_capture.h"
#include "frame_timer.h"
#include "resources.h"
#include "win32ext.h"

DWORD BehaviorFlags(VertexProcessingType type) {
  switch (type) {
    case SOFTWARE_VP: return D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    case MIXED_VP: return D3DCREATE_MIXED_VERTEXPROCESSING;
    case HARDWARE_VP: return D3DCREATE_HARDWARE_VERTEXPROCESSING;
    case PURE_HARDWARE_VP: return D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
  }
  return 0;
}

namespace {

bool DeviceTypeAllowed(D3DDEVTYPE type, bool requireHal, bool requireRef) {
  return !(requireHal && type != D3DDEVTYPE_HAL) && !(requireRef && type != D3DDEVTYPE_REF);
}

// Calls `visit(adapter, device, combination)` for every combination in enumeration
// order until it returns true.
template <class Visit>
void ForEachCombination(const DeviceEnumeration& enumeration, Visit visit) {
  for (UINT a = 0; a < enumeration.adapters->Count(); ++a) {
    AdapterInfo* adapter = PointerAt<AdapterInfo>(*enumeration.adapters, a);
    for (UINT d = 0; d < adapter->devices.Count(); ++d) {
      DeviceInfo* device = PointerAt<DeviceInfo>(adapter->devices, d);
      for (UINT c = 0; c < device->combinations.Count(); ++c)
        if (visit(adapter, device, PointerAt<DeviceCombination>(device->combinations, c))) return;
    }
  }
}

// The first entry of a list, or `fallback` when the list is empty.
template <class T>
T First(const GrowArray& array, T fallback) {
  return array.Count() ? ValueAt<T>(array, 0) : fallback;
}

// The vertex-processing text of deviceStats.
const char* ProcessingText(DWORD flags, bool hal) {
  if ((flags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && (flags & D3DCREATE_PUREDEVICE))
    return hal ? " (pure hw vp)" : " (simulated pure hw vp)";
  if (flags & D3DCREATE_HARDWARE_VERTEXPROCESSING) return hal ? " (hw vp)" : " (simulated hw vp)";
  if (flags & D3DCREATE_MIXED_VERTEXPROCESSING) return hal ? " (mixed vp)" : " (simulated mixed vp)";
  if (flags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) return " (sw vp)";
  return "";
}

}  // namespace

bool AppShell::ChooseWindowedSettings(bool requireHal, bool requireRef) {
  D3DDISPLAYMODE desktop{};
  direct3D->GetAdapterDisplayMode(0, &desktop);
  AdapterInfo* bestAdapter = nullptr;
  DeviceInfo* bestDevice = nullptr;
  DeviceCombination* best = nullptr;
  ForEachCombination(enumeration, [&](AdapterInfo* adapter, DeviceInfo* device, DeviceCombination* c) {
    if (!DeviceTypeAllowed(device->deviceType, requireHal, requireRef)) return false;
    if (!c->isWindowed || c->adapterFormat != desktop.Format) return false;
    bool hal = device->deviceType == D3DDEVTYPE_HAL;
    bool matching = hal && c->backBufferFormat == c->adapterFormat;
    if (!best || (bestDevice->deviceType != D3DDEVTYPE_HAL && hal) || matching) {
      bestAdapter = adapter;
      bestDevice = device;
      best = c;
    }
    return matching;
  });
  if (!best) return false;
  settings.windowedAdapter = bestAdapter;
  settings.windowedDevice = bestDevice;
  settings.windowedCombination = best;
  settings.windowedDisplayMode = desktop;
  settings.windowedWidth = clientRect.right - clientRect.left;
  settings.windowedHeight = clientRect.bottom - clientRect.top;
  if (enumeration.usesDepthBuffer)
    settings.windowedDepthStencilFormat = First(best->depthStencilFormats, D3DFMT_UNKNOWN);
  settings.windowedMultisampleType = First(best->multisampleTypes, D3DMULTISAMPLE_NONE);
  settings.windowedMultisampleQuality = 0;
  settings.windowedVertexProcessing = First(best->vertexProcessingTypes, SOFTWARE_VP);
  settings.windowedPresentInterval = First(best->presentIntervals, UINT(D3DPRESENT_INTERVAL_DEFAULT));
  settings.isWindowed = true;
  return true;
}

bool AppShell::ChooseFullscreenSettings(bool requireHal, bool requireRef) {
  AdapterInfo* bestAdapter = nullptr;
  DeviceInfo* bestDevice = nullptr;
  DeviceCombination* best = nullptr;
  D3DDISPLAYMODE bestDesktop{}, desktop{};
  AdapterInfo* entered = nullptr;
  ForEachCombination(enumeration, [&](AdapterInfo* adapter, DeviceInfo* device, DeviceCombination* c) {
    if (adapter != entered) {
      entered = adapter;
      direct3D->GetAdapterDisplayMode(adapter->adapterOrdinal, &desktop);
    }
    if (!DeviceTypeAllowed(device->deviceType, requireHal, requireRef) || c->isWindowed) return false;
    bool hal = device->deviceType == D3DDEVTYPE_HAL;
    bool onDesktop = c->adapterFormat == desktop.Format;
    bool both = hal && onDesktop && c->backBufferFormat == c->adapterFormat;
    bool better = !best || (bestDevice->deviceType != D3DDEVTYPE_HAL && hal) ||
                  (hal && best->adapterFormat != desktop.Format && onDesktop) || both;
    if (better) {
      bestAdapter = adapter;
      bestDevice = device;
      best = c;
      bestDesktop = desktop;
    }
    return better && both;
  });
  if (!best) return false;
  D3DDISPLAYMODE picked{};
  bool taken = false;
  for (UINT i = 0; i < bestAdapter->displayModes.Count(); ++i) {
    D3DDISPLAYMODE mode = ValueAt<D3DDISPLAYMODE>(bestAdapter->displayModes, i);
    if (mode.Format != best->adapterFormat) continue;
    if (mode.Width == bestDesktop.Width && mode.Height == bestDesktop.Height &&
        mode.RefreshRate == bestDesktop.RefreshRate) {
      picked = mode;
      break;
    }
    if (mode.Width == bestDesktop.Width || !taken) {
      picked = mode;
      taken = true;
    }
  }
  settings.fullscreenAdapter = bestAdapter;
  settings.fullscreenDevice = bestDevice;
  settings.fullscreenCombination = best;
  settings.fullscreenDisplayMode = picked;
  if (enumeration.usesDepthBuffer)
    settings.fullscreenDepthStencilFormat = First(best->depthStencilFormats, D3DFMT_UNKNOWN);
  settings.fullscreenMultisampleType = First(best->multisampleTypes, D3DMULTISAMPLE_NONE);
  settings.fullscreenMultisampleQuality = 0;
  settings.fullscreenVertexProcessing = First(best->vertexProcessingTypes, SOFTWARE_VP);
  settings.fullscreenPresentInterval = D3DPRESENT_INTERVAL_DEFAULT;
  settings.isWindowed = false;
  return true;
}

HRESULT AppShell::ChooseInitialSettings() {
  bool foundFullscreen = ChooseFullscreenSettings(false, false);
  bool foundWindowed = ChooseWindowedSettings(false, false);
  if (startFullscreen && foundFullscreen) settings.isWindowed = false;
  if (!foundWindowed && foundFullscreen) settings.isWindowed = false;
  if (!foundFullscreen && !foundWindowed) return ERR_NO_COMPATIBLE_DEVICES;
  ApplyAntialias();
  return S_OK;
}

namespace {

// The combination's multisample type of the most samples, at most `samples`, that goes
// with the depth/stencil format; NONE when it has none (NONMASKABLE is not a count).
D3DMULTISAMPLE_TYPE NearestSampleType(const DeviceCombination* combination, D3DFORMAT depth, DWORD samples) {
  D3DMULTISAMPLE_TYPE best = D3DMULTISAMPLE_NONE;
  if (!combination) return best;
  for (UINT i = 0; i < combination->multisampleTypes.Count(); ++i) {
    auto type = ValueAt<D3DMULTISAMPLE_TYPE>(combination->multisampleTypes, i);
    if (type < D3DMULTISAMPLE_2_SAMPLES || type > samples || type <= best) continue;
    bool conflicts = false;
    for (UINT c = 0; c < combination->conflicts.Count(); ++c) {
      auto pair = ValueAt<DepthMultisampleConflict>(combination->conflicts, c);
      conflicts |= pair.depthStencilFormat == depth && pair.multisampleType == type;
    }
    if (!conflicts) best = type;
  }
  return best;
}

}  // namespace

// Smooth edges: both halves of the initial settings take the type of antialiasSamples
// where their combination offers it, else the nearest lower one; one line on standard
// error tells when the half in force gets fewer samples than asked.
void AppShell::ApplyAntialias() {
  if (antialiasSamples == 0) return;
  if (settings.windowedCombination) {
    settings.windowedMultisampleType = NearestSampleType(settings.windowedCombination,
                                                         settings.windowedDepthStencilFormat, antialiasSamples);
    settings.windowedMultisampleQuality = 0;
  }
  if (settings.fullscreenCombination) {
    settings.fullscreenMultisampleType = NearestSampleType(settings.fullscreenCombination,
                                                           settings.fullscreenDepthStencilFormat, antialiasSamples);
    settings.fullscreenMultisampleQuality = 0;
  }
  DWORD samples = settings.CurrentMultisampleType();
  if (samples == antialiasSamples) return;
  if (samples == D3DMULTISAMPLE_NONE)
    std::fprintf(stderr, "vesk: smooth edges with %lu samples per pixel are not available on this device; "
                 "drawing without them\n", static_cast<unsigned long>(antialiasSamples));
  else
    std::fprintf(stderr, "vesk: smooth edges with %lu samples per pixel are not available on this device; "
                 "using %lu\n", static_cast<unsigned long>(antialiasSamples), static_cast<unsigned long>(samples));
}

void AppShell::BuildPresentParameters() {
  DeviceCombination* combination = settings.CurrentCombination();
  if (!combination) return;  // no settings in force: callers refuse before building
  presentParameters.Windowed = settings.isWindowed;
  presentParameters.BackBufferCount = 1;
  presentParameters.MultiSampleType = settings.CurrentMultisampleType();
  presentParameters.MultiSampleQuality = settings.CurrentMultisampleQuality();
  presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParameters.EnableAutoDepthStencil = enumeration.usesDepthBuffer;
  presentParameters.hDeviceWindow = window;
  if (enumeration.usesDepthBuffer) {
    presentParameters.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    presentParameters.AutoDepthStencilFormat = settings.CurrentDepthStencilFormat();
  } else {
    presentParameters.Flags = 0;
  }
  if (windowed) {
    presentParameters.BackBufferWidth = UINT(clientRect.right - clientRect.left);
    presentParameters.BackBufferHeight = UINT(clientRect.bottom - clientRect.top);
    presentParameters.FullScreen_RefreshRateInHz = 0;
  } else {
    presentParameters.BackBufferWidth = settings.CurrentDisplayMode().Width;
    presentParameters.BackBufferHeight = settings.CurrentDisplayMode().Height;
    presentParameters.FullScreen_RefreshRateInHz = settings.fullscreenDisplayMode.RefreshRate;
  }
  presentParameters.BackBufferFormat = combination->backBufferFormat;
  presentParameters.PresentationInterval = settings.CurrentPresentInterval();
}

// Cursor use for the mode in force: through the device and confined in full screen.
static void ApplyCursorSettings(AppShell& shell) {
  if (shell.showCursorWhenFullscreen && !shell.windowed) {
    // The device cursor is the window class's cursor, marked so it tells from the system's.
    auto classCursor = reinterpret_cast<HCURSOR>(uintptr_t(GetClassLongA(shell.window, GCL_HCURSOR)));
    SetDeviceCursor(shell.device, classCursor, true);
    shell.device->ShowCursor(TRUE);
  }
  if (shell.clipCursorWhenFullscreen) {
    if (shell.windowed) {
      ClipCursor(nullptr);
    } else {
      RECT rect;
      GetWindowRect(shell.window, &rect);
      ClipCursor(&rect);
    }
  }
}

static void ReadBackBufferDesc(AppShell& shell) {
  IDirect3DSurface9* back = nullptr;
  if (SUCCEEDED(shell.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) {
    back->GetDesc(&shell.backBufferDesc);
    back->Release();
  }
}

void AppShell::WriteDeviceStats() {
  bool hal = settings.CurrentDevice()->deviceType == D3DDEVTYPE_HAL;
  D3DDEVTYPE type = settings.CurrentDevice()->deviceType;
  std::snprintf(deviceStats, sizeof deviceStats, "%s%s",
                type == D3DDEVTYPE_HAL ? "HAL" : type == D3DDEVTYPE_REF ? "REF" : "SW",
                ProcessingText(behaviorFlags, hal));
  if (!hal) return;
  size_t used = std::strlen(deviceStats);
  size_t room = sizeof deviceStats - 1 - used;
  if (room < 2) return;
  std::strcat(deviceStats, ": ");
  const char* name = settings.CurrentAdapter()->identifier.Description;
  size_t take = win32ext::Cp932SafePrefix(name, room - 2);
  std::strncat(deviceStats, name, take);
}

HRESULT AppShell::Initialize3DEnvironment() {
  DeviceInfo* deviceInfo = settings.CurrentDevice();
  if (!deviceInfo || !settings.CurrentCombination() || !direct3D) return ERR_NO_COMPATIBLE_DEVICES;
  windowed = settings.isWindowed;
  AdjustWindowForChange();
  BuildPresentParameters();
  if (deviceInfo->caps.PrimitiveMiscCaps & D3DPMISCCAPS_NULLREFERENCE) ShowError(ERR_NULL_REF_DEVICE, MSG_NONE);
  DWORD flags = BehaviorFlags(settings.CurrentVertexProcessing());
  HRESULT result = direct3D->CreateDevice(settings.CurrentCombination()->adapterOrdinal, deviceInfo->deviceType,
                                          focusWindow, flags, &presentParameters, &device);
  if (SUCCEEDED(result)) {
    if (windowed)
      PlaceWindowAtBounds();
    device->GetDeviceCaps(&caps);
    behaviorFlags = flags;
    WriteDeviceStats();
    if (std::strstr(deviceStats, "REF")) MessageBoxA(nullptr, deviceStats, "Initialize3DEnvironment", MB_OK);
    ReadBackBufferDesc(*this);
    ApplyCursorSettings(*this);
    result = InitDeviceObjects();
    if (FAILED(result)) {
      DeleteDeviceObjects();
      Cleanup3DEnvironment();
    } else {
      deviceObjectsInited = true;
      result = RestoreDeviceObjects();
      if (SUCCEEDED(result)) {
        deviceObjectsRestored = true;
        KeepCaptureInStep();
        return S_OK;
      }
      InvalidateDeviceObjects();
      Cleanup3DEnvironment();
    }
  }
  return FallBackToReference(result, deviceInfo->deviceType);
}

// After a failed HAL device: retry windowed on the reference device when there is one,
// except for missing media, which no other device would find either.
// A must-exit message on the way (a leftover reference, a driver-internal error) has
// closed the program and released Direct3D: then nothing more is tried.
HRESULT AppShell::FallBackToReference(HRESULT result, D3DDEVTYPE failedType) {
  if (fatalErrorShown || result == ERR_MEDIA_NOT_FOUND || result == D3DX_FILE_NOT_FOUND ||
      failedType != D3DDEVTYPE_HAL || !ChooseWindowedSettings(false, true))
    return result;
  windowed = true;
  AdjustWindowForChange();
  PlaceWindowAtBounds();
  ShowError(result, MSGWARN_SWITCHEDTOREF);
  if (fatalErrorShown) return result;
  return Initialize3DEnvironment();
}

// The recording reads the front buffer through the shell's device: after a new device
// it takes that one, and a scratch surface of its adapter's display size.
void AppShell::KeepCaptureInStep() {
  if (!frameCapture.device) return;  // no recording prepared yet
  direct3D->GetAdapterDisplayMode(settings.CurrentCombination()->adapterOrdinal, &frameCapture.displayMode);
  frameCapture.UseDevice(device);
}

// Releases the device and builds one with the settings in force, unless the release
// ended the program.
HRESULT AppShell::RebuildDevice() {
  Cleanup3DEnvironment();
  if (fatalErrorShown) return ERR_NONZERO_REFCOUNT;
  return Initialize3DEnvironment();
}

HRESULT AppShell::Reset3DEnvironment() {
  if (deviceObjectsRestored) {
    deviceObjectsRestored = false;
    InvalidateDeviceObjects();
  }
  HRESULT result = device->Reset(&presentParameters);
  if (FAILED(result)) return result;
  ReadBackBufferDesc(*this);
  ApplyCursorSettings(*this);
  result = RestoreDeviceObjects();
  if (FAILED(result)) {
    InvalidateDeviceObjects();
    return result;
  }
  deviceObjectsRestored = true;
  RenderOneStep();
  return S_OK;
}

// With the animation stopped, one animated frame shows the new state.
void AppShell::RenderOneStep() {
  if (frameMoving) return;
  singleStep = true;
  FrameTimer(TIMER_START);
  FrameTimer(TIMER_STOP);
}

void AppShell::Cleanup3DEnvironment() {
  if (!device) return;
  if (deviceObjectsRestored) {
    deviceObjectsRestored = false;
    InvalidateDeviceObjects();
  }
  if (deviceObjectsInited) {
    deviceObjectsInited = false;
    DeleteDeviceObjects();
  }
  // The must-exit message runs the close sequence, which must find the device gone.
  IDirect3DDevice9* released = device;
  device = nullptr;
  if (released->Release() > 0 && !fatalErrorShown)
    ShowMustExit("A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).");
}

// Puts the window back where windowBounds says, in front of other windows but not topmost.
void AppShell::PlaceWindowAtBounds() {
  SetWindowPos(window, HWND_NOTOPMOST, windowBounds.left, windowBounds.top, windowBounds.right - windowBounds.left,
               windowBounds.bottom - windowBounds.top, SWP_SHOWWINDOW);
}

void AppShell::BackToWindowed() {
  windowed = true;
  settings.isWindowed = true;
  AdjustWindowForChange();
  PlaceWindowAtBounds();
}

// Without settings for the other mode (none was found) the switch is refused and
// nothing changes.
HRESULT AppShell::ToggleFullscreen() {
  if (!settings.windowedCombination || !settings.fullscreenCombination) return S_FALSE;
  UINT oldAdapter = settings.CurrentCombination()->adapterOrdinal;
  D3DDEVTYPE oldType = settings.CurrentCombination()->deviceType;
  Pause(true);
  ignoreSizeChange = true;
  windowed = !windowed;
  settings.isWindowed = windowed;
  AdjustWindowForChange();
  HRESULT result;
  if (settings.CurrentCombination()->adapterOrdinal == oldAdapter &&
      settings.CurrentCombination()->deviceType == oldType) {
    BuildPresentParameters();
    result = Reset3DEnvironment();
  } else {
    result = RebuildDevice();
  }
  if (FAILED(result)) {
    if (result != D3DERR_OUTOFVIDEOMEMORY) result = ERR_RESET_FAILED;
    ignoreSizeChange = false;
    if (!windowed) BackToWindowed();
    return ShowError(result, MSGERR_APPMUSTEXIT);
  }
  ignoreSizeChange = false;
  if (windowed)
    PlaceWindowAtBounds();
  Pause(false);
  return S_OK;
}

HRESULT AppShell::ChangeDevice() {
  if (!windowed && FAILED(ToggleFullscreen())) {
    if (!fatalErrorShown) ShowMustExit("Could not reset the Direct3D device.");
    return E_FAIL;
  }
  // Cancel, the close box, or a dialog that cannot open (-1) change nothing.
  DeviceSettingsDialog dialog(&enumeration, settings);
  if (dialog.ShowDialog(window) != IDOK) return S_OK;
  settings = dialog.GetSettings();
  windowed = settings.isWindowed;
  HRESULT result = RebuildDevice();
  if (FAILED(result)) {
    if (result != D3DERR_OUTOFVIDEOMEMORY) result = ERR_RESET_FAILED;
    if (!windowed) BackToWindowed();
    return ShowError(result, MSGERR_APPMUSTEXIT);
  }
  RenderOneStep();
  return S_OK;
}
