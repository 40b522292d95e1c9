// The "Direct3D Settings" dialog through its real template and dialog procedure on an
// enumerated scripted Direct3D object, with the automation hook as the user: what the
// lists show for the stored settings, the windowed and fullscreen switch, the depth,
// multisample and quality lists, the posted cascade, value-driven selections, stale
// notifications, and what OK and Cancel hand back.
#include "device_settings_dialog.h"

#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <string>

#include "enumeration_test_support.h"
#include "resources.h"

using testing::ElementsAre;

namespace {

struct ListState {
  std::vector<std::string> texts;
  std::vector<LPARAM> values;
  int selection = CB_ERR;
  bool enabled = false;
  std::string Selected() const { return selection < 0 ? "" : texts[size_t(selection)]; }
};

ListState ReadList(HWND dialog, int id) {
  HWND combo = GetDlgItem(dialog, id);
  ListState state;
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::string text(size_t(SendMessageA(combo, CB_GETLBTEXTLEN, WPARAM(i), 0)), '\0');
    SendMessageA(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text.data()));
    state.texts.push_back(text);
    state.values.push_back(SendMessageA(combo, CB_GETITEMDATA, WPARAM(i), 0));
  }
  state.selection = int(SendMessageA(combo, CB_GETCURSEL, 0, 0));
  state.enabled = IsWindowEnabled(combo);
  return state;
}

struct DialogView {
  std::map<int, ListState> lists;
  bool windowedChecked = false, fullscreenChecked = false;
  bool windowedEnabled = false, fullscreenEnabled = false;
};

DialogView ReadDialog(HWND dialog) {
  DialogView view;
  for (int id : {IDC_ADAPTER_COMBO, IDC_DEVICE_COMBO, IDC_ADAPTERFORMAT_COMBO, IDC_RESOLUTION_COMBO,
                 IDC_REFRESHRATE_COMBO, IDC_BACKBUFFERFORMAT_COMBO, IDC_DEPTHSTENCILBUFFERFORMAT_COMBO,
                 IDC_MULTISAMPLE_COMBO, IDC_MULTISAMPLE_QUALITY_COMBO, IDC_VERTEXPROCESSING_COMBO,
                 IDC_PRESENTINTERVAL_COMBO}) {
    view.lists[id] = ReadList(dialog, id);
  }
  view.windowedChecked = IsDlgButtonChecked(dialog, IDC_WINDOW) == BST_CHECKED;
  view.fullscreenChecked = IsDlgButtonChecked(dialog, IDC_FULLSCREEN) == BST_CHECKED;
  view.windowedEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_WINDOW));
  view.fullscreenEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_FULLSCREEN));
  return view;
}

using Step = std::function<void(const win32ext::DialogUser&)>;

// A HAL device with two adapter formats, two back buffers on X8R8G8B8, two depth
// formats of which D24S8 cannot take 4 samples, 4 quality levels at 4 samples, and
// the present intervals ONE and IMMEDIATE; and a REF device.
AdapterScript RichAdapter(const std::string& description = "Primary adapter") {
  DeviceScript hal;
  hal.devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  hal.presentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  hal.formatPairs = {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
                     {D3DFMT_R5G6B5, D3DFMT_R5G6B5}};
  hal.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  hal.multisample = {{D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE},      {D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 4},
                     {D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE},      {D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE},
                     {D3DFMT_D16, D3DMULTISAMPLE_NONE},           {D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES},
                     {D3DFMT_D24S8, D3DMULTISAMPLE_NONE}};
  return {description,
          {{640, 480, 60, D3DFMT_X8R8G8B8},
           {800, 600, 60, D3DFMT_X8R8G8B8},
           {800, 600, 75, D3DFMT_X8R8G8B8},
           {1024, 768, 60, D3DFMT_R5G6B5}},
          {},
          {hal, SimpleDevice(D3DDEVTYPE_REF)}};
}

class SettingsDialog : public EnumerationTest {
 protected:
  void SetUp() override {
    EnumerationTest::SetUp();
    win32ext::SetProgramResources(&win32ext::ProgramResources());
    enumeration.usesDepthBuffer = true;
  }
  void TearDown() override { win32ext::SetDialogHook({}); }

  DeviceCombination* Find(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBuffer,
                          bool windowed) {
    DeviceCombination* found = Lookup(adapter, type, adapterFormat, backBuffer, windowed);
    EXPECT_NE(found, nullptr) << "no such combination";
    return found;
  }
  DeviceCombination* Lookup(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBuffer,
                            bool windowed) {
    for (UINT d = 0; d < Adapter(adapter).devices.Count(); ++d) {
      DeviceInfo* device = PointerAt<DeviceInfo>(Adapter(adapter).devices, d);
      if (device->deviceType != type) continue;
      for (UINT c = 0; c < device->combinations.Count(); ++c) {
        DeviceCombination* combination = PointerAt<DeviceCombination>(device->combinations, c);
        if (combination->adapterFormat == adapterFormat && combination->backBufferFormat == backBuffer &&
            combination->isWindowed == windowed)
          return combination;
      }
    }
    return nullptr;
  }

  // Fullscreen on the HAL device of an adapter at 800 by 600, 75 Hz, with D16, 4 samples
  // at quality 2 and IMMEDIATE; the windowed half on the 1024 by 768 desktop.
  DeviceSettings Stored(UINT adapter = 0) {
    DeviceSettings settings;
    settings.isWindowed = false;
    settings.fullscreenAdapter = PointerAt<AdapterInfo>(*enumeration.adapters, adapter);
    settings.fullscreenDevice = PointerAt<DeviceInfo>(settings.fullscreenAdapter->devices, 0);
    settings.fullscreenCombination = Find(adapter, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false);
    settings.fullscreenDisplayMode = {800, 600, 75, D3DFMT_X8R8G8B8};
    settings.fullscreenDepthStencilFormat = D3DFMT_D16;
    settings.fullscreenMultisampleType = D3DMULTISAMPLE_4_SAMPLES;
    settings.fullscreenMultisampleQuality = 2;
    settings.fullscreenVertexProcessing = SOFTWARE_VP;
    settings.fullscreenPresentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    settings.windowedAdapter = settings.fullscreenAdapter;
    settings.windowedDevice = settings.fullscreenDevice;
    settings.windowedCombination = Lookup(adapter, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true);
    settings.windowedDisplayMode = {1024, 768, 0, D3DFMT_X8R8G8B8};
    settings.windowedDepthStencilFormat = D3DFMT_D16;
    return settings;
  }

  // Shows the dialog on the settings; the steps run one per idle turn, then the user
  // closes the dialog unless a step ended it. Returns ShowDialog's result.
  int Show(const DeviceSettings& start, std::vector<Step> steps) {
    size_t next = 0;
    win32ext::SetDialogHook([&](const win32ext::DialogUser& user) {
      if (next == steps.size()) return false;
      steps[next++](user);
      return true;
    });
    DeviceSettingsDialog dialog(&enumeration, start);
    int result = dialog.ShowDialog(nullptr);
    result_ = dialog.GetSettings();
    return result;
  }

  Step Read(DialogView* view) {
    return [view](const win32ext::DialogUser& user) { *view = ReadDialog(user.dialog()); };
  }
  static Step Choose(int list, const std::string& text) {
    return [list, text](const win32ext::DialogUser& user) { EXPECT_TRUE(user.Choose(list, text)) << text; };
  }
  static Step Click(int id) {
    return [id](const win32ext::DialogUser& user) { EXPECT_TRUE(user.Click(id)); };
  }

  DeviceSettings result_;
};

TEST_F(SettingsDialog, OpensOnTheStoredChoicesAllTheWayDownToThePresentInterval) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DialogView view;
  EXPECT_EQ(Show(Stored(), {Read(&view)}), IDCANCEL);
  auto& lists = view.lists;
  EXPECT_THAT(lists[IDC_ADAPTER_COMBO].texts, ElementsAre("Primary adapter"));
  EXPECT_EQ(lists[IDC_ADAPTER_COMBO].values[0], LPARAM(&Adapter(0)));
  EXPECT_THAT(lists[IDC_DEVICE_COMBO].texts, ElementsAre("D3DDEVTYPE_HAL", "D3DDEVTYPE_REF"));
  EXPECT_EQ(lists[IDC_DEVICE_COMBO].Selected(), "D3DDEVTYPE_HAL");
  EXPECT_TRUE(view.fullscreenChecked);
  EXPECT_FALSE(view.windowedChecked);
  EXPECT_TRUE(view.windowedEnabled && view.fullscreenEnabled);
  EXPECT_THAT(lists[IDC_ADAPTERFORMAT_COMBO].texts, ElementsAre("D3DFMT_X8R8G8B8", "D3DFMT_R5G6B5"))
      << "each format once";
  EXPECT_EQ(lists[IDC_ADAPTERFORMAT_COMBO].Selected(), "D3DFMT_X8R8G8B8");
  // 800x600 at 60 and at 75 Hz: one resolution, two rates in order.
  EXPECT_THAT(lists[IDC_RESOLUTION_COMBO].texts, ElementsAre("640 by 480", "800 by 600"));
  EXPECT_EQ(lists[IDC_RESOLUTION_COMBO].values[1], LPARAM(800 | 600 << 16));
  EXPECT_EQ(lists[IDC_RESOLUTION_COMBO].Selected(), "800 by 600");
  EXPECT_THAT(lists[IDC_REFRESHRATE_COMBO].texts, ElementsAre("60 Hz", "75 Hz"));
  EXPECT_THAT(lists[IDC_REFRESHRATE_COMBO].values, ElementsAre(60, 75));
  EXPECT_EQ(lists[IDC_REFRESHRATE_COMBO].Selected(), "75 Hz");
  EXPECT_THAT(lists[IDC_BACKBUFFERFORMAT_COMBO].texts, ElementsAre("D3DFMT_A8R8G8B8", "D3DFMT_X8R8G8B8"));
  EXPECT_EQ(lists[IDC_BACKBUFFERFORMAT_COMBO].Selected(), "D3DFMT_X8R8G8B8");
  EXPECT_THAT(lists[IDC_DEPTHSTENCILBUFFERFORMAT_COMBO].texts, ElementsAre("D3DFMT_D16", "D3DFMT_D24S8"));
  EXPECT_EQ(lists[IDC_DEPTHSTENCILBUFFERFORMAT_COMBO].Selected(), "D3DFMT_D16");
  EXPECT_THAT(lists[IDC_MULTISAMPLE_COMBO].texts, ElementsAre("D3DMULTISAMPLE_NONE", "D3DMULTISAMPLE_4_SAMPLES"));
  EXPECT_EQ(lists[IDC_MULTISAMPLE_COMBO].Selected(), "D3DMULTISAMPLE_4_SAMPLES");
  EXPECT_THAT(lists[IDC_MULTISAMPLE_QUALITY_COMBO].texts, ElementsAre("0", "1", "2", "3"));
  EXPECT_EQ(lists[IDC_MULTISAMPLE_QUALITY_COMBO].Selected(), "2");
  EXPECT_THAT(lists[IDC_VERTEXPROCESSING_COMBO].texts, ElementsAre("HARDWARE_VP", "SOFTWARE_VP"));
  EXPECT_EQ(lists[IDC_VERTEXPROCESSING_COMBO].Selected(), "SOFTWARE_VP");
  EXPECT_EQ(lists[IDC_PRESENTINTERVAL_COMBO].Selected(), "D3DPRESENT_INTERVAL_IMMEDIATE");
  for (auto& [id, list] : lists) EXPECT_TRUE(list.enabled) << id;
}

TEST_F(SettingsDialog, OkWithoutChangesHandsBackTheStoredSettings) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DeviceSettings stored = Stored();
  EXPECT_EQ(Show(stored, {Click(IDOK)}), IDOK);
  EXPECT_FALSE(result_.isWindowed);
  EXPECT_EQ(result_.fullscreenAdapter, stored.fullscreenAdapter);
  EXPECT_EQ(result_.fullscreenDevice, stored.fullscreenDevice);
  EXPECT_EQ(result_.fullscreenCombination, stored.fullscreenCombination);
  EXPECT_EQ(result_.fullscreenDisplayMode, stored.fullscreenDisplayMode);
  EXPECT_EQ(result_.fullscreenDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(result_.fullscreenMultisampleType, D3DMULTISAMPLE_4_SAMPLES);
  EXPECT_EQ(result_.fullscreenMultisampleQuality, 2u);
  EXPECT_EQ(result_.fullscreenVertexProcessing, SOFTWARE_VP);
  EXPECT_EQ(result_.fullscreenPresentInterval, UINT(D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_EQ(result_.windowedCombination, stored.windowedCombination) << "the other half is untouched";
}

TEST_F(SettingsDialog, TheUsersChoicesReachTheSettingsOnOkAndEscapeReturnsCancel) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  EXPECT_EQ(Show(Stored(), {Choose(IDC_RESOLUTION_COMBO, "640 by 480"), Choose(IDC_BACKBUFFERFORMAT_COMBO, "D3DFMT_A8R8G8B8"),
                            Choose(IDC_PRESENTINTERVAL_COMBO, "D3DPRESENT_INTERVAL_ONE"), Click(IDOK)}),
            IDOK);
  EXPECT_EQ(result_.fullscreenDisplayMode, (D3DDISPLAYMODE{640, 480, 60, D3DFMT_X8R8G8B8}))
      << "the only rate of the new resolution";
  EXPECT_EQ(result_.fullscreenCombination, Find(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, false));
  EXPECT_EQ(result_.fullscreenPresentInterval, UINT(D3DPRESENT_INTERVAL_ONE));
  EXPECT_EQ(result_.fullscreenMultisampleType, D3DMULTISAMPLE_NONE) << "A8R8G8B8 takes no 4 samples";

  auto escape = [](const win32ext::DialogUser& user) { EXPECT_TRUE(user.PressKey(VK_ESCAPE)); };
  EXPECT_EQ(Show(Stored(), {Choose(IDC_PRESENTINTERVAL_COMBO, "D3DPRESENT_INTERVAL_ONE"), escape}), IDCANCEL);
  EXPECT_EQ(Show(Stored(), {[](const win32ext::DialogUser& user) { user.Close(); }}), IDCANCEL);
}

TEST_F(SettingsDialog, WindowedShowsOnlyTheDesktopModeAndFullscreenBringsTheListsBack) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DialogView windowed, fullscreen;
  EXPECT_EQ(Show(Stored(), {Click(IDC_WINDOW), Read(&windowed), Click(IDC_FULLSCREEN), Read(&fullscreen)}), IDCANCEL);
  EXPECT_TRUE(windowed.windowedChecked);
  EXPECT_FALSE(windowed.fullscreenChecked);
  for (int id : {IDC_ADAPTERFORMAT_COMBO, IDC_RESOLUTION_COMBO, IDC_REFRESHRATE_COMBO}) {
    EXPECT_FALSE(windowed.lists[id].enabled) << id;
    EXPECT_EQ(windowed.lists[id].selection, 0) << id;
    EXPECT_TRUE(fullscreen.lists[id].enabled) << id;
  }
  EXPECT_THAT(windowed.lists[IDC_ADAPTERFORMAT_COMBO].texts, ElementsAre("D3DFMT_X8R8G8B8"));
  EXPECT_THAT(windowed.lists[IDC_RESOLUTION_COMBO].texts, ElementsAre("1024 by 768"));
  EXPECT_THAT(windowed.lists[IDC_REFRESHRATE_COMBO].texts, ElementsAre("Default Rate"));
  EXPECT_THAT(windowed.lists[IDC_REFRESHRATE_COMBO].values, ElementsAre(0));
  EXPECT_THAT(fullscreen.lists[IDC_ADAPTERFORMAT_COMBO].texts, ElementsAre("D3DFMT_X8R8G8B8", "D3DFMT_R5G6B5"));
  EXPECT_EQ(fullscreen.lists[IDC_REFRESHRATE_COMBO].Selected(), "75 Hz") << "the earlier choice is kept";
}

TEST_F(SettingsDialog, ChoosingWindowedStoresTheWindowedHalf) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  EXPECT_EQ(Show(Stored(), {Click(IDC_WINDOW), Choose(IDC_BACKBUFFERFORMAT_COMBO, "D3DFMT_A8R8G8B8"), Click(IDOK)}), IDOK);
  EXPECT_TRUE(result_.isWindowed);
  EXPECT_EQ(result_.windowedCombination, Find(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, true));
  EXPECT_EQ(result_.windowedDisplayMode, (D3DDISPLAYMODE{1024, 768, 0, D3DFMT_X8R8G8B8}));
  EXPECT_EQ(result_.fullscreenDisplayMode, (D3DDISPLAYMODE{800, 600, 75, D3DFMT_X8R8G8B8}));
}

TEST_F(SettingsDialog, ADeviceWithOnlyFullscreenCombinationsChecksFullscreenEvenForWindowedSettings) {
  AdapterScript adapter = RichAdapter();
  adapter.devices[0].windowing = Windowing::FullscreenOnly;
  ASSERT_EQ(Run({adapter}), S_OK);
  DeviceSettings start = Stored();
  start.isWindowed = true;
  start.windowedCombination = start.fullscreenCombination;  // no windowed one exists
  DialogView view;
  auto refused = [](const win32ext::DialogUser& user) { EXPECT_FALSE(user.Click(IDC_WINDOW)); };
  EXPECT_EQ(Show(start, {Read(&view), refused, Click(IDOK)}), IDOK);
  EXPECT_FALSE(view.windowedEnabled);
  EXPECT_TRUE(view.fullscreenEnabled);
  EXPECT_TRUE(view.fullscreenChecked);
  EXPECT_FALSE(result_.isWindowed) << "a disabled button takes no click";
}

// The mirror case, a mended fault: a windowed-only device with full-screen settings
// checks "&Windowed" (not the disabled "&Fullscreen") and shows the windowed lists.
TEST_F(SettingsDialog, ADeviceWithOnlyWindowedCombinationsChecksWindowedEvenForFullscreenSettings) {
  AdapterScript adapter = RichAdapter();
  adapter.devices[0].windowing = Windowing::WindowedOnly;
  ASSERT_EQ(Run({adapter}), S_OK);
  // Built here: Stored() takes a full-screen combination, and this device has none.
  DeviceSettings start;
  start.isWindowed = false;
  start.fullscreenAdapter = start.windowedAdapter = PointerAt<AdapterInfo>(*enumeration.adapters, 0);
  start.fullscreenDevice = start.windowedDevice = PointerAt<DeviceInfo>(start.fullscreenAdapter->devices, 0);
  start.fullscreenCombination = start.windowedCombination =
      Find(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true);
  start.fullscreenDisplayMode = {800, 600, 75, D3DFMT_X8R8G8B8};
  start.windowedDisplayMode = {1024, 768, 0, D3DFMT_X8R8G8B8};
  start.fullscreenDepthStencilFormat = start.windowedDepthStencilFormat = D3DFMT_D16;
  DialogView view;
  auto refused = [](const win32ext::DialogUser& user) { EXPECT_FALSE(user.Click(IDC_FULLSCREEN)); };
  EXPECT_EQ(Show(start, {Read(&view), refused, Click(IDOK)}), IDOK);
  EXPECT_TRUE(view.windowedEnabled);
  EXPECT_FALSE(view.fullscreenEnabled);
  EXPECT_TRUE(view.windowedChecked);
  EXPECT_FALSE(view.fullscreenChecked);
  EXPECT_EQ(view.lists[IDC_RESOLUTION_COMBO].texts.size(), 1u) << "the desktop mode alone, as windowed";
  EXPECT_TRUE(result_.isWindowed) << "a disabled button takes no click";
  EXPECT_EQ(result_.windowedCombination, Find(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true));
}

TEST_F(SettingsDialog, WithoutADepthBufferTheDepthListIsDisabledAndSaysNotUsed) {
  enumeration.usesDepthBuffer = false;
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DeviceSettings start = Stored();
  start.fullscreenDepthStencilFormat = D3DFMT_UNKNOWN;
  DialogView view;
  EXPECT_EQ(Show(start, {Read(&view), Click(IDOK)}), IDOK);
  const ListState& depth = view.lists[IDC_DEPTHSTENCILBUFFERFORMAT_COMBO];
  EXPECT_THAT(depth.texts, ElementsAre("(not used)"));
  EXPECT_THAT(depth.values, ElementsAre(0));
  EXPECT_EQ(depth.selection, 0);
  EXPECT_FALSE(depth.enabled);
  EXPECT_EQ(result_.fullscreenDepthStencilFormat, D3DFMT_UNKNOWN);
}

TEST_F(SettingsDialog, AMultisampleTypeThatConflictsWithTheDepthFormatIsLeftOutUntilAnotherIsChosen) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DialogView withD24S8, backToD16;
  Show(Stored(), {Choose(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, "D3DFMT_D24S8"), Read(&withD24S8),
                  Choose(IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, "D3DFMT_D16"), Read(&backToD16)});
  EXPECT_THAT(withD24S8.lists[IDC_MULTISAMPLE_COMBO].texts, ElementsAre("D3DMULTISAMPLE_NONE"));
  EXPECT_THAT(withD24S8.lists[IDC_MULTISAMPLE_QUALITY_COMBO].texts, ElementsAre("0"));
  EXPECT_THAT(backToD16.lists[IDC_MULTISAMPLE_COMBO].texts,
              ElementsAre("D3DMULTISAMPLE_NONE", "D3DMULTISAMPLE_4_SAMPLES"));
}

// The dialog procedure wrapped so that the test sees every notification in the order
// the dialog receives them.
std::vector<int> g_notified;
size_t g_devicesAfterInit = 99;
INT_PTR CALLBACK WatchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) g_notified.push_back(LOWORD(wParam));
  INT_PTR result = DeviceSettingsDialog::DialogProc(window, message, wParam, lParam);
  if (message == WM_INITDIALOG) {
    g_devicesAfterInit = size_t(SendMessageA(GetDlgItem(window, IDC_DEVICE_COMBO), CB_GETCOUNT, 0, 0));
  }
  return result;
}

TEST_F(SettingsDialog, TheCascadeRunsThroughPostedNotificationsInTheOrderTheyWereQueued) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  g_notified.clear();
  win32ext::SetDialogHook([](const win32ext::DialogUser& user) { return user.Click(IDOK); });
  DeviceSettingsDialog dialog(&enumeration, Stored());
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SELECTDEVICE), nullptr, WatchingProc, 0),
            IDOK);
  EXPECT_EQ(g_devicesAfterInit, 0u) << "the adapter's handler runs only after initialisation returned";
  // Breadth first: each handler's selections queue behind those already waiting. Handlers
  // called directly would give 1002 1000 1003 1004 1006 1007 1008 1005 1011 1009 1010.
  EXPECT_THAT(g_notified, ElementsAre(IDC_ADAPTER_COMBO, IDC_DEVICE_COMBO, IDC_ADAPTERFORMAT_COMBO, IDC_RESOLUTION_COMBO,
                                      IDC_BACKBUFFERFORMAT_COMBO, IDC_REFRESHRATE_COMBO,
                                      IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, IDC_VERTEXPROCESSING_COMBO,
                                      IDC_PRESENTINTERVAL_COMBO, IDC_MULTISAMPLE_COMBO, IDC_MULTISAMPLE_QUALITY_COMBO));
  EXPECT_EQ(dialog.GetSettings().fullscreenMultisampleQuality, 2u);
}

TEST_F(SettingsDialog, SelectionsFollowItemValuesNotTexts) {
  ASSERT_EQ(Run({RichAdapter("Twin adapter"), RichAdapter("Twin adapter")}), S_OK);
  DialogView view;
  // Stored on the second adapter: the second of two equal texts is selected, by value.
  EXPECT_EQ(Show(Stored(1), {Read(&view), Click(IDOK)}), IDOK);
  EXPECT_EQ(view.lists[IDC_ADAPTER_COMBO].selection, 1);
  EXPECT_EQ(view.lists[IDC_DEVICE_COMBO].values[0], LPARAM(&Device(1, 0)));
  EXPECT_EQ(result_.fullscreenAdapter, &Adapter(1));
  EXPECT_EQ(result_.fullscreenCombination->adapterOrdinal, 1u);
  // The user picks the first "Twin adapter": the settings move to adapter 0.
  EXPECT_EQ(Show(Stored(1), {Choose(IDC_ADAPTER_COMBO, "Twin adapter"), Click(IDOK)}), IDOK);
  EXPECT_EQ(result_.fullscreenAdapter, &Adapter(0));
  EXPECT_EQ(result_.fullscreenDevice, &Device(0, 0));
  EXPECT_EQ(result_.fullscreenCombination->adapterOrdinal, 0u);
}

TEST_F(SettingsDialog, ANotificationForAListEmptiedMeanwhileLeavesTheSettingUnchanged) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  auto stale = [](int list) {
    return [list](const win32ext::DialogUser& user) {
      HWND combo = GetDlgItem(user.dialog(), list);
      SendMessageA(combo, CB_RESETCONTENT, 0, 0);
      PostMessageA(user.dialog(), WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), LPARAM(combo));
    };
  };
  DeviceSettings start = Stored();
  start.fullscreenVertexProcessing = HARDWARE_VP;  // not 0, which an empty list reads as
  EXPECT_EQ(Show(start, {stale(IDC_MULTISAMPLE_QUALITY_COMBO), stale(IDC_PRESENTINTERVAL_COMBO),
                            stale(IDC_VERTEXPROCESSING_COMBO), stale(IDC_REFRESHRATE_COMBO), stale(IDC_RESOLUTION_COMBO),
                            stale(IDC_MULTISAMPLE_COMBO), Click(IDOK)}),
            IDOK);
  EXPECT_EQ(result_.fullscreenMultisampleQuality, 2u);
  EXPECT_EQ(result_.fullscreenPresentInterval, UINT(D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_EQ(result_.fullscreenVertexProcessing, HARDWARE_VP);
  EXPECT_EQ(result_.fullscreenDisplayMode, (D3DDISPLAYMODE{800, 600, 75, D3DFMT_X8R8G8B8}));
  EXPECT_EQ(result_.fullscreenMultisampleType, D3DMULTISAMPLE_4_SAMPLES);
}

TEST_F(SettingsDialog, WithoutADialogTemplateOrHookTheDialogCannotOpen) {
  ASSERT_EQ(Run({RichAdapter()}), S_OK);
  DeviceSettingsDialog dialog(&enumeration, Stored());
  EXPECT_EQ(dialog.ShowDialog(nullptr), -1) << "headless, with no one to answer it";
  EXPECT_EQ(dialog.GetSettings().fullscreenCombination, Stored().fullscreenCombination);
}

}  // namespace
