// The enumeration and the "Direct3D Settings" dialog on this program's own Direct3D
// (the software renderer on the headless desktop), not a script: every combination
// offers the multisample types the device draws, and the dialog lists them.
#include <gmock/gmock.h>

#include <string>

#include "device_enumeration.h"
#include "device_settings_dialog.h"
#include "resources.h"

using testing::ElementsAre;

namespace {

class RealDevice : public testing::Test {
 protected:
  void SetUp() override {
    direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3D, nullptr);
    enumeration.direct3D = direct3D;
    enumeration.usesDepthBuffer = true;
    ASSERT_EQ(enumeration.Enumerate(), S_OK);
    ASSERT_GT(enumeration.adapters->Count(), 0u);
    win32ext::SetProgramResources(&win32ext::ProgramResources());
  }
  void TearDown() override {
    win32ext::SetDialogHook({});
    direct3D->Release();
  }

  // The windowed HAL combination on the desktop format, as the shell first chooses it.
  DeviceSettings WindowedHal() {
    DeviceSettings settings;
    settings.isWindowed = true;
    settings.windowedAdapter = PointerAt<AdapterInfo>(*enumeration.adapters, 0);
    settings.windowedDevice = PointerAt<DeviceInfo>(settings.windowedAdapter->devices, 0);
    for (UINT c = 0; c < settings.windowedDevice->combinations.Count(); ++c) {
      auto* combination = PointerAt<DeviceCombination>(settings.windowedDevice->combinations, c);
      if (combination->isWindowed && combination->backBufferFormat == D3DFMT_X8R8G8B8)
        settings.windowedCombination = combination;
    }
    EXPECT_NE(settings.windowedCombination, nullptr);
    direct3D->GetAdapterDisplayMode(0, &settings.windowedDisplayMode);
    settings.windowedDepthStencilFormat = ValueAt<D3DFORMAT>(settings.windowedCombination->depthStencilFormats, 0);
    return settings;
  }

  IDirect3D9* direct3D = nullptr;
  DeviceEnumeration enumeration;
};

std::vector<std::string> ListTexts(HWND dialog, int id) {
  HWND combo = GetDlgItem(dialog, id);
  std::vector<std::string> texts;
  for (LRESULT i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
    std::string text(size_t(SendMessageA(combo, CB_GETLBTEXTLEN, WPARAM(i), 0)), '\0');
    SendMessageA(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text.data()));
    texts.push_back(text);
  }
  return texts;
}

TEST_F(RealDevice, EveryCombinationOffersTheDrawnMultisampleTypesWithTheirQualities) {
  UINT checked = 0;
  for (UINT a = 0; a < enumeration.adapters->Count(); ++a) {
    const AdapterInfo* adapter = PointerAt<AdapterInfo>(*enumeration.adapters, a);
    for (UINT d = 0; d < adapter->devices.Count(); ++d) {
      const DeviceInfo* device = PointerAt<DeviceInfo>(adapter->devices, d);
      for (UINT c = 0; c < device->combinations.Count(); ++c) {
        const DeviceCombination* combination = PointerAt<DeviceCombination>(device->combinations, c);
        std::vector<D3DMULTISAMPLE_TYPE> types;
        std::vector<DWORD> qualities;
        for (UINT i = 0; i < combination->multisampleTypes.Count(); ++i) {
          types.push_back(ValueAt<D3DMULTISAMPLE_TYPE>(combination->multisampleTypes, i));
          qualities.push_back(ValueAt<DWORD>(combination->multisampleQualities, i));
        }
        EXPECT_THAT(types, ElementsAre(D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_NONMASKABLE, D3DMULTISAMPLE_2_SAMPLES,
                                       D3DMULTISAMPLE_4_SAMPLES, D3DMULTISAMPLE_8_SAMPLES));
        EXPECT_THAT(qualities, ElementsAre(1u, 3u, 1u, 1u, 1u));
        EXPECT_EQ(combination->conflicts.Count(), 0u) << "every depth format takes every type";
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 2u) << "at least the windowed and full-screen desktop combinations";
}

TEST_F(RealDevice, DialogListsTheTypesAndOkHandsBackFourSamples) {
  std::vector<std::string> types, nonmaskableQualities, fourSampleQualities;
  int step = 0;
  win32ext::SetDialogHook([&](const win32ext::DialogUser& user) {
    switch (step++) {
      case 0:
        types = ListTexts(user.dialog(), IDC_MULTISAMPLE_COMBO);
        EXPECT_TRUE(user.Choose(IDC_MULTISAMPLE_COMBO, "D3DMULTISAMPLE_NONMASKABLE"));
        return true;
      case 1:
        nonmaskableQualities = ListTexts(user.dialog(), IDC_MULTISAMPLE_QUALITY_COMBO);
        EXPECT_TRUE(user.Choose(IDC_MULTISAMPLE_COMBO, "D3DMULTISAMPLE_4_SAMPLES"));
        return true;
      case 2:
        fourSampleQualities = ListTexts(user.dialog(), IDC_MULTISAMPLE_QUALITY_COMBO);
        EXPECT_TRUE(user.Click(IDOK));
        return true;
      default: return false;
    }
  });
  DeviceSettingsDialog dialog(&enumeration, WindowedHal());
  EXPECT_EQ(dialog.ShowDialog(nullptr), IDOK);
  EXPECT_THAT(types, ElementsAre("D3DMULTISAMPLE_NONE", "D3DMULTISAMPLE_NONMASKABLE", "D3DMULTISAMPLE_2_SAMPLES",
                                 "D3DMULTISAMPLE_4_SAMPLES", "D3DMULTISAMPLE_8_SAMPLES"));
  EXPECT_THAT(nonmaskableQualities, ElementsAre("0", "1", "2"));
  EXPECT_THAT(fourSampleQualities, ElementsAre("0"));
  EXPECT_EQ(dialog.GetSettings().windowedMultisampleType, D3DMULTISAMPLE_4_SAMPLES);
  EXPECT_EQ(dialog.GetSettings().windowedMultisampleQuality, 0u);
}

}  // namespace
