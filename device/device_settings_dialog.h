// DeviceSettingsDialog: the modal "Direct3D Settings" dialog. It shows the enumeration
// tree as a chain of dependent lists, starting from the settings it is given, and edits
// a private copy of them. Every programmatic selection posts the list's selection-change
// notification, so each level of the cascade runs after the previous handler returned.
// It never calls Direct3D: everything it offers comes from the enumeration.
#pragma once

#include "device_dialog_ids.h"
#include "device_enumeration.h"

class DeviceSettingsDialog {
 public:
  // Registers itself as the open dialog that DialogProc forwards to.
  DeviceSettingsDialog(const DeviceEnumeration* enumeration, const DeviceSettings& settings);
  ~DeviceSettingsDialog();
  DeviceSettingsDialog(const DeviceSettingsDialog&) = delete;
  DeviceSettingsDialog& operator=(const DeviceSettingsDialog&) = delete;

  // Runs dialog 144 of the program's module: IDOK or IDCANCEL, -1 when it cannot open.
  int ShowDialog(HWND parent);
  DeviceSettings GetSettings() const { return settings; }

  // The dialog procedure of template 144; it hands every message to the open dialog.
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The list operations.
  void AddItem(int list, const char* text, LPARAM value);
  void SelectIndex(int list, int index);
  void SelectValue(int list, LPARAM value);
  bool ContainsText(int list, const char* text);
  LPARAM SelectedValue(int list);  // 0 when nothing is selected
  bool Selected(int list, LPARAM* value);
  void Empty(int list);
  void SelectFirstIfNone(int list);
  void AddSingleItem(int list, const char* text, LPARAM value);

  AdapterInfo* SelectedAdapter();
  DeviceInfo* SelectedDevice();

  void FillAdapters();
  void AdapterChanged();
  void DeviceChanged();
  void WindowedFullscreenChanged();
  void FillWindowedModeLists();
  void FillFullscreenAdapterFormats(const DeviceInfo& device);
  void AdapterFormatChanged();
  void FillResolutions(D3DFORMAT format);
  void ResolutionChanged();
  void RefreshRateChanged();
  void BackBufferFormatChanged();
  void FillDepthStencilFormats(const DeviceCombination& combination);
  void DepthStencilFormatChanged();
  void MultisampleTypeChanged();
  void MultisampleQualityChanged();
  void VertexProcessingChanged();
  void PresentIntervalChanged();

  HWND dialogWindow = nullptr;
  const DeviceEnumeration* enumeration;
  DeviceSettings settings;
};
