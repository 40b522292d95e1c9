// The "Direct3D Settings" dialog: the dialog procedure, the list operations on the
// combo boxes and one handler per list. Handlers read selections through item values,
// never through texts, and each refill keeps the user's earlier choice where it is
// still offered, because it selects the item equal to the value stored in settings.
// A notification that arrives after its list was emptied changes no setting.
#include "device_settings_dialog.h"

#include <cstdio>
#include <vector>

#include "display_names.h"

namespace {

// The one dialog object that is open.
DeviceSettingsDialog* g_openDialog = nullptr;

constexpr size_t kTextBuffer = 50;   // "%d by %d", "%d Hz" and "%d" texts
constexpr int kCompareLimit = 200;   // texts this long or longer are never compared

LPARAM PackSize(UINT width, UINT height) { return LPARAM(DWORD(width & 0xFFFF) | DWORD(height & 0xFFFF) << 16); }

void FormatText(char (&buffer)[kTextBuffer], const char* format, int first, int second = 0) {
  std::snprintf(buffer, sizeof buffer, format, first, second);
  buffer[kTextBuffer - 1] = '\0';
}

void RefreshRateText(char (&buffer)[kTextBuffer], UINT rate) {
  if (rate == 0) {
    std::snprintf(buffer, sizeof buffer, "Default Rate");
  } else {
    FormatText(buffer, "%d Hz", int(rate));
  }
}

template <class T>
std::vector<T> Entries(const GrowArray& array) {
  std::vector<T> entries;
  for (UINT i = 0; i < array.Count(); ++i) entries.push_back(ValueAt<T>(array, i));
  return entries;
}

template <class T>
std::vector<T*> Pointees(const GrowArray* array) {
  std::vector<T*> pointees;
  for (UINT i = 0; array && i < array->Count(); ++i) pointees.push_back(PointerAt<T>(*array, i));
  return pointees;
}

}  // namespace

DeviceSettingsDialog::DeviceSettingsDialog(const DeviceEnumeration* enumeration, const DeviceSettings& settings)
    : enumeration(enumeration), settings(settings) {
  g_openDialog = this;
}

DeviceSettingsDialog::~DeviceSettingsDialog() {
  if (g_openDialog == this) g_openDialog = nullptr;
}

int DeviceSettingsDialog::ShowDialog(HWND parent) {
  return int(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SELECTDEVICE), parent, DialogProc, 0));
}

INT_PTR CALLBACK DeviceSettingsDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return g_openDialog ? g_openDialog->HandleMessage(window, message, wParam, lParam) : FALSE;
}

INT_PTR DeviceSettingsDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    dialogWindow = window;
    FillAdapters();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam);
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(window, id);
      return TRUE;
    case IDC_WINDOW:
    case IDC_FULLSCREEN:
      WindowedFullscreenChanged();
      return TRUE;
  }
  if (HIWORD(wParam) != CBN_SELCHANGE) return TRUE;
  static const struct {
    int list;
    void (DeviceSettingsDialog::*handler)();
  } kHandlers[] = {
      {IDC_ADAPTER_COMBO, &DeviceSettingsDialog::AdapterChanged},
      {IDC_DEVICE_COMBO, &DeviceSettingsDialog::DeviceChanged},
      {IDC_ADAPTERFORMAT_COMBO, &DeviceSettingsDialog::AdapterFormatChanged},
      {IDC_RESOLUTION_COMBO, &DeviceSettingsDialog::ResolutionChanged},
      {IDC_REFRESHRATE_COMBO, &DeviceSettingsDialog::RefreshRateChanged},
      {IDC_BACKBUFFERFORMAT_COMBO, &DeviceSettingsDialog::BackBufferFormatChanged},
      {IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, &DeviceSettingsDialog::DepthStencilFormatChanged},
      {IDC_MULTISAMPLE_COMBO, &DeviceSettingsDialog::MultisampleTypeChanged},
      {IDC_MULTISAMPLE_QUALITY_COMBO, &DeviceSettingsDialog::MultisampleQualityChanged},
      {IDC_VERTEXPROCESSING_COMBO, &DeviceSettingsDialog::VertexProcessingChanged},
      {IDC_PRESENTINTERVAL_COMBO, &DeviceSettingsDialog::PresentIntervalChanged},
  };
  for (const auto& entry : kHandlers) {
    if (entry.list == id) (this->*entry.handler)();
  }
  return TRUE;
}

// ---- List operations ----------------------------------------------------------------

void DeviceSettingsDialog::AddItem(int list, const char* text, LPARAM value) {
  HWND combo = GetDlgItem(dialogWindow, list);
  LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(text));
  if (index >= 0) SendMessageA(combo, CB_SETITEMDATA, WPARAM(index), value);
}

void DeviceSettingsDialog::SelectIndex(int list, int index) {
  HWND combo = GetDlgItem(dialogWindow, list);
  SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
  PostMessageA(dialogWindow, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), LPARAM(combo));
}

void DeviceSettingsDialog::SelectValue(int list, LPARAM value) {
  HWND combo = GetDlgItem(dialogWindow, list);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(combo, CB_GETITEMDATA, WPARAM(i), 0) == value) {
      SelectIndex(list, int(i));
      return;
    }
  }
}

bool DeviceSettingsDialog::ContainsText(int list, const char* text) {
  HWND combo = GetDlgItem(dialogWindow, list);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, WPARAM(i), 0);
    if (length < 0 || length >= kCompareLimit) continue;
    char item[kCompareLimit];
    SendMessageA(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(item));
    if (lstrcmpA(item, text) == 0) return true;
  }
  return false;
}

LPARAM DeviceSettingsDialog::SelectedValue(int list) {
  LPARAM value = 0;
  return Selected(list, &value) ? value : 0;
}

bool DeviceSettingsDialog::Selected(int list, LPARAM* value) {
  HWND combo = GetDlgItem(dialogWindow, list);
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index < 0) return false;
  *value = SendMessageA(combo, CB_GETITEMDATA, WPARAM(index), 0);
  return true;
}

void DeviceSettingsDialog::Empty(int list) { SendMessageA(GetDlgItem(dialogWindow, list), CB_RESETCONTENT, 0, 0); }

void DeviceSettingsDialog::SelectFirstIfNone(int list) {
  HWND combo = GetDlgItem(dialogWindow, list);
  if (SendMessageA(combo, CB_GETCURSEL, 0, 0) < 0 && SendMessageA(combo, CB_GETCOUNT, 0, 0) > 0) SelectIndex(list, 0);
}

// A list of the windowed mode: its one item, selected, and no choice for the user.
void DeviceSettingsDialog::AddSingleItem(int list, const char* text, LPARAM value) {
  Empty(list);
  AddItem(list, text, value);
  SelectIndex(list, 0);
  EnableWindow(GetDlgItem(dialogWindow, list), FALSE);
}

AdapterInfo* DeviceSettingsDialog::SelectedAdapter() {
  return reinterpret_cast<AdapterInfo*>(SelectedValue(IDC_ADAPTER_COMBO));
}

DeviceInfo* DeviceSettingsDialog::SelectedDevice() {
  return reinterpret_cast<DeviceInfo*>(SelectedValue(IDC_DEVICE_COMBO));
}

// ---- Handlers ---------------------------------------------------------------------------

void DeviceSettingsDialog::FillAdapters() {
  const DeviceCombination* current = settings.CurrentCombination();
  for (AdapterInfo* adapter : Pointees<AdapterInfo>(enumeration->adapters)) {
    char description[512];
    lstrcpynA(description, adapter->identifier.Description, sizeof description);
    AddItem(IDC_ADAPTER_COMBO, description, LPARAM(adapter));
    if (current && adapter->adapterOrdinal == current->adapterOrdinal) SelectValue(IDC_ADAPTER_COMBO, LPARAM(adapter));
  }
  SelectFirstIfNone(IDC_ADAPTER_COMBO);
}

void DeviceSettingsDialog::AdapterChanged() {
  AdapterInfo* adapter = SelectedAdapter();
  if (!adapter) return;
  settings.CurrentAdapter() = adapter;
  Empty(IDC_DEVICE_COMBO);
  const DeviceCombination* current = settings.CurrentCombination();
  for (DeviceInfo* device : Pointees<DeviceInfo>(&adapter->devices)) {
    AddItem(IDC_DEVICE_COMBO, DeviceTypeName(device->deviceType), LPARAM(device));
    if (current && device->deviceType == current->deviceType) SelectValue(IDC_DEVICE_COMBO, LPARAM(device));
  }
  SelectFirstIfNone(IDC_DEVICE_COMBO);
}

void DeviceSettingsDialog::DeviceChanged() {
  DeviceInfo* device = SelectedDevice();
  if (!device) return;
  settings.CurrentDevice() = device;
  bool windowedCapable = false, fullscreenCapable = false;
  for (DeviceCombination* combination : Pointees<DeviceCombination>(&device->combinations)) {
    (combination->isWindowed ? windowedCapable : fullscreenCapable) = true;
  }
  EnableWindow(GetDlgItem(dialogWindow, IDC_WINDOW), windowedCapable);
  EnableWindow(GetDlgItem(dialogWindow, IDC_FULLSCREEN), fullscreenCapable);
  // A device that offers only one of the two modes gets that one checked. For a
  // windowed-only device with full-screen settings this checks "&Windowed", where the
  // rule "windowed settings and a windowed-capable device, else full screen" would check
  // the disabled "&Fullscreen" and go on to fill full-screen lists the device has no
  // combination for: a mended fault.
  bool windowed = windowedCapable && (settings.isWindowed || !fullscreenCapable);
  CheckRadioButton(dialogWindow, IDC_WINDOW, IDC_FULLSCREEN, windowed ? IDC_WINDOW : IDC_FULLSCREEN);
  WindowedFullscreenChanged();
}

void DeviceSettingsDialog::WindowedFullscreenChanged() {
  AdapterInfo* adapter = SelectedAdapter();
  DeviceInfo* device = SelectedDevice();
  if (!adapter || !device) return;
  if (IsDlgButtonChecked(dialogWindow, IDC_WINDOW)) {
    settings.isWindowed = true;
    settings.windowedAdapter = adapter;
    settings.windowedDevice = device;
    FillWindowedModeLists();
  } else {
    settings.isWindowed = false;
    settings.fullscreenAdapter = adapter;
    settings.fullscreenDevice = device;
    FillFullscreenAdapterFormats(*device);
  }
}

// The windowed mode is the desktop's: one item per list, and the lists disabled.
void DeviceSettingsDialog::FillWindowedModeLists() {
  const D3DDISPLAYMODE& mode = settings.windowedDisplayMode;
  AddSingleItem(IDC_ADAPTERFORMAT_COMBO, FormatName(mode.Format, true), LPARAM(mode.Format));
  char text[kTextBuffer];
  FormatText(text, "%d by %d", int(mode.Width), int(mode.Height));
  AddSingleItem(IDC_RESOLUTION_COMBO, text, PackSize(mode.Width, mode.Height));
  RefreshRateText(text, mode.RefreshRate);
  AddSingleItem(IDC_REFRESHRATE_COMBO, text, LPARAM(mode.RefreshRate));
}

void DeviceSettingsDialog::FillFullscreenAdapterFormats(const DeviceInfo& device) {
  Empty(IDC_ADAPTERFORMAT_COMBO);
  for (DeviceCombination* combination : Pointees<DeviceCombination>(&device.combinations)) {
    if (combination->isWindowed) continue;
    const char* name = FormatName(combination->adapterFormat, true);
    if (ContainsText(IDC_ADAPTERFORMAT_COMBO, name)) continue;
    AddItem(IDC_ADAPTERFORMAT_COMBO, name, LPARAM(combination->adapterFormat));
    if (combination->adapterFormat == settings.fullscreenDisplayMode.Format) {
      SelectValue(IDC_ADAPTERFORMAT_COMBO, LPARAM(combination->adapterFormat));
    }
  }
  SelectFirstIfNone(IDC_ADAPTERFORMAT_COMBO);
  for (int list : {IDC_ADAPTERFORMAT_COMBO, IDC_RESOLUTION_COMBO, IDC_REFRESHRATE_COMBO}) {
    EnableWindow(GetDlgItem(dialogWindow, list), TRUE);
  }
}

void DeviceSettingsDialog::AdapterFormatChanged() {
  LPARAM format = 0;
  if (!IsDlgButtonChecked(dialogWindow, IDC_WINDOW) && Selected(IDC_ADAPTERFORMAT_COMBO, &format)) {
    settings.fullscreenDisplayMode.Format = D3DFORMAT(format);
    FillResolutions(D3DFORMAT(format));
  }
  DeviceInfo* device = SelectedDevice();
  if (!device) return;
  Empty(IDC_BACKBUFFERFORMAT_COMBO);
  D3DFORMAT adapterFormat = settings.CurrentDisplayMode().Format;
  const DeviceCombination* current = settings.CurrentCombination();
  for (DeviceCombination* combination : Pointees<DeviceCombination>(&device->combinations)) {
    if (combination->isWindowed != settings.isWindowed || combination->adapterFormat != adapterFormat) continue;
    const char* name = FormatName(combination->backBufferFormat, true);
    if (ContainsText(IDC_BACKBUFFERFORMAT_COMBO, name)) continue;
    AddItem(IDC_BACKBUFFERFORMAT_COMBO, name, LPARAM(combination->backBufferFormat));
    if (current && combination->backBufferFormat == current->backBufferFormat) {
      SelectValue(IDC_BACKBUFFERFORMAT_COMBO, LPARAM(combination->backBufferFormat));
    }
  }
  SelectFirstIfNone(IDC_BACKBUFFERFORMAT_COMBO);
}

void DeviceSettingsDialog::FillResolutions(D3DFORMAT format) {
  Empty(IDC_RESOLUTION_COMBO);
  AdapterInfo* adapter = SelectedAdapter();
  if (!adapter) return;
  const D3DDISPLAYMODE& chosen = settings.fullscreenDisplayMode;
  for (const D3DDISPLAYMODE& mode : Entries<D3DDISPLAYMODE>(adapter->displayModes)) {
    if (mode.Format != format) continue;
    char text[kTextBuffer];
    FormatText(text, "%d by %d", int(mode.Width), int(mode.Height));
    if (ContainsText(IDC_RESOLUTION_COMBO, text)) continue;
    AddItem(IDC_RESOLUTION_COMBO, text, PackSize(mode.Width, mode.Height));
    if (mode.Width == chosen.Width && mode.Height == chosen.Height) {
      SelectValue(IDC_RESOLUTION_COMBO, PackSize(mode.Width, mode.Height));
    }
  }
  SelectFirstIfNone(IDC_RESOLUTION_COMBO);
}

void DeviceSettingsDialog::ResolutionChanged() {
  if (settings.isWindowed) return;
  AdapterInfo* adapter = SelectedAdapter();
  LPARAM selected = 0;
  if (!adapter || !Selected(IDC_RESOLUTION_COMBO, &selected)) return;
  DWORD packed = DWORD(selected);
  settings.fullscreenDisplayMode.Width = LOWORD(packed);
  settings.fullscreenDisplayMode.Height = HIWORD(packed);
  D3DFORMAT format = D3DFORMAT(SelectedValue(IDC_ADAPTERFORMAT_COMBO));
  Empty(IDC_REFRESHRATE_COMBO);
  for (const D3DDISPLAYMODE& mode : Entries<D3DDISPLAYMODE>(adapter->displayModes)) {
    if (mode.Format != format || mode.Width != LOWORD(packed) || mode.Height != HIWORD(packed)) continue;
    char text[kTextBuffer];
    RefreshRateText(text, mode.RefreshRate);
    if (ContainsText(IDC_REFRESHRATE_COMBO, text)) continue;
    AddItem(IDC_REFRESHRATE_COMBO, text, LPARAM(mode.RefreshRate));
    if (mode.RefreshRate == settings.fullscreenDisplayMode.RefreshRate) {
      SelectValue(IDC_REFRESHRATE_COMBO, LPARAM(mode.RefreshRate));
    }
  }
  SelectFirstIfNone(IDC_REFRESHRATE_COMBO);
}

void DeviceSettingsDialog::RefreshRateChanged() {
  LPARAM rate = 0;
  if (!settings.isWindowed && Selected(IDC_REFRESHRATE_COMBO, &rate)) settings.fullscreenDisplayMode.RefreshRate = UINT(rate);
}

void DeviceSettingsDialog::BackBufferFormatChanged() {
  DeviceInfo* device = SelectedDevice();
  if (!device) return;
  D3DFORMAT adapterFormat = D3DFORMAT(SelectedValue(IDC_ADAPTERFORMAT_COMBO));
  D3DFORMAT backBufferFormat = D3DFORMAT(SelectedValue(IDC_BACKBUFFERFORMAT_COMBO));
  DeviceCombination* found = nullptr;
  for (DeviceCombination* combination : Pointees<DeviceCombination>(&device->combinations)) {
    if (combination->isWindowed == settings.isWindowed && combination->adapterFormat == adapterFormat &&
        combination->backBufferFormat == backBufferFormat) {
      found = combination;
      break;
    }
  }
  if (!found) return;
  settings.CurrentCombination() = found;
  FillDepthStencilFormats(*found);
  Empty(IDC_VERTEXPROCESSING_COMBO);
  for (VertexProcessingType type : Entries<VertexProcessingType>(found->vertexProcessingTypes)) {
    AddItem(IDC_VERTEXPROCESSING_COMBO, VertexProcessingName(type), LPARAM(type));
    if (type == settings.CurrentVertexProcessing()) SelectValue(IDC_VERTEXPROCESSING_COMBO, LPARAM(type));
  }
  SelectFirstIfNone(IDC_VERTEXPROCESSING_COMBO);
  Empty(IDC_PRESENTINTERVAL_COMBO);
  for (UINT interval : Entries<UINT>(found->presentIntervals)) {
    AddItem(IDC_PRESENTINTERVAL_COMBO, PresentIntervalName(interval), LPARAM(interval));
    if (interval == settings.CurrentPresentInterval()) SelectValue(IDC_PRESENTINTERVAL_COMBO, LPARAM(interval));
  }
  SelectFirstIfNone(IDC_PRESENTINTERVAL_COMBO);
}

void DeviceSettingsDialog::FillDepthStencilFormats(const DeviceCombination& combination) {
  Empty(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO);
  if (!enumeration->usesDepthBuffer) {
    EnableWindow(GetDlgItem(dialogWindow, IDC_DEPTHSTENCILBUFFERFORMAT_COMBO), FALSE);
    AddItem(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, "(not used)", 0);
    SelectIndex(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, 0);
    return;
  }
  for (D3DFORMAT format : Entries<D3DFORMAT>(combination.depthStencilFormats)) {
    AddItem(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, FormatName(format, true), LPARAM(format));
    if (format == settings.CurrentDepthStencilFormat()) {
      SelectValue(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, LPARAM(format));
    }
  }
  SelectFirstIfNone(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO);
}

void DeviceSettingsDialog::DepthStencilFormatChanged() {
  LPARAM selected = 0;
  const DeviceCombination* combination = settings.CurrentCombination();
  if (!Selected(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, &selected) || !combination) return;
  D3DFORMAT format = D3DFORMAT(selected);
  if (enumeration->usesDepthBuffer) settings.CurrentDepthStencilFormat() = format;
  Empty(IDC_MULTISAMPLE_COMBO);
  for (D3DMULTISAMPLE_TYPE type : Entries<D3DMULTISAMPLE_TYPE>(combination->multisampleTypes)) {
    DepthMultisampleConflict pair{format, type};
    if (combination->conflicts.Contains(&pair)) continue;
    AddItem(IDC_MULTISAMPLE_COMBO, MultisampleTypeName(type), LPARAM(type));
    if (type == settings.CurrentMultisampleType()) SelectValue(IDC_MULTISAMPLE_COMBO, LPARAM(type));
  }
  SelectFirstIfNone(IDC_MULTISAMPLE_COMBO);
}

void DeviceSettingsDialog::MultisampleTypeChanged() {
  LPARAM selected = 0;
  const DeviceCombination* combination = settings.CurrentCombination();
  if (!Selected(IDC_MULTISAMPLE_COMBO, &selected) || !combination) return;
  D3DMULTISAMPLE_TYPE type = D3DMULTISAMPLE_TYPE(selected);
  settings.CurrentMultisampleType() = type;
  DWORD levels = 0;
  std::vector<D3DMULTISAMPLE_TYPE> types = Entries<D3DMULTISAMPLE_TYPE>(combination->multisampleTypes);
  for (UINT i = 0; i < types.size(); ++i) {
    if (types[i] != type) continue;
    if (i < combination->multisampleQualities.Count()) levels = ValueAt<DWORD>(combination->multisampleQualities, i);
    break;
  }
  Empty(IDC_MULTISAMPLE_QUALITY_COMBO);
  for (DWORD level = 0; level < levels; ++level) {
    char text[kTextBuffer];
    FormatText(text, "%d", int(level));
    AddItem(IDC_MULTISAMPLE_QUALITY_COMBO, text, LPARAM(level));
    if (level == settings.CurrentMultisampleQuality()) SelectValue(IDC_MULTISAMPLE_QUALITY_COMBO, LPARAM(level));
  }
  SelectFirstIfNone(IDC_MULTISAMPLE_QUALITY_COMBO);
}

void DeviceSettingsDialog::MultisampleQualityChanged() {
  LPARAM level = 0;
  if (Selected(IDC_MULTISAMPLE_QUALITY_COMBO, &level)) settings.CurrentMultisampleQuality() = DWORD(level);
}

void DeviceSettingsDialog::VertexProcessingChanged() {
  LPARAM type = 0;
  if (Selected(IDC_VERTEXPROCESSING_COMBO, &type)) settings.CurrentVertexProcessing() = VertexProcessingType(type);
}

void DeviceSettingsDialog::PresentIntervalChanged() {
  LPARAM interval = 0;
  if (Selected(IDC_PRESENTINTERVAL_COMBO, &interval)) settings.CurrentPresentInterval() = UINT(interval);
}
