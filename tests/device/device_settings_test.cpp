// DeviceSettings: the current accessors read and store the windowed half while
// isWindowed is set and the fullscreen half otherwise; the record copies as a whole.
#include "device_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceSettings, DefaultRecordIsEmpty) {
  const DeviceSettings settings;
  EXPECT_FALSE(settings.isWindowed);
  EXPECT_EQ(settings.windowedCombination, nullptr);
  EXPECT_EQ(settings.fullscreenCombination, nullptr);
  EXPECT_EQ(settings.fullscreenDisplayMode.Width, 0u);
  EXPECT_EQ(settings.windowedWidth, 0);
}

class CurrentHalf : public testing::TestWithParam<bool> {};

TEST_P(CurrentHalf, AccessorsStoreIntoAndReadFromTheHalfInForce) {
  AdapterInfo adapter;
  DeviceInfo device;
  DeviceCombination combination;
  DeviceSettings settings;
  settings.isWindowed = GetParam();
  settings.CurrentAdapter() = &adapter;
  settings.CurrentDevice() = &device;
  settings.CurrentCombination() = &combination;
  settings.CurrentDisplayMode() = {1024, 768, 75, D3DFMT_R5G6B5};
  settings.CurrentDepthStencilFormat() = D3DFMT_D24S8;
  settings.CurrentMultisampleType() = D3DMULTISAMPLE_4_SAMPLES;
  settings.CurrentMultisampleQuality() = 3;
  settings.CurrentVertexProcessing() = MIXED_VP;
  settings.CurrentPresentInterval() = D3DPRESENT_INTERVAL_IMMEDIATE;

  const bool windowed = GetParam();
  EXPECT_EQ(windowed ? settings.windowedAdapter : settings.fullscreenAdapter, &adapter);
  EXPECT_EQ(windowed ? settings.windowedDevice : settings.fullscreenDevice, &device);
  EXPECT_EQ(windowed ? settings.windowedCombination : settings.fullscreenCombination,
            &combination);
  const D3DDISPLAYMODE mode =
      windowed ? settings.windowedDisplayMode : settings.fullscreenDisplayMode;
  EXPECT_EQ(mode.Width, 1024u);
  EXPECT_EQ(mode.RefreshRate, 75u);
  EXPECT_EQ(windowed ? settings.windowedDepthStencilFormat
                     : settings.fullscreenDepthStencilFormat,
            D3DFMT_D24S8);
  EXPECT_EQ(windowed ? settings.windowedMultisampleType : settings.fullscreenMultisampleType,
            D3DMULTISAMPLE_4_SAMPLES);
  EXPECT_EQ(windowed ? settings.windowedMultisampleQuality
                     : settings.fullscreenMultisampleQuality,
            3u);
  EXPECT_EQ(windowed ? settings.windowedVertexProcessing
                     : settings.fullscreenVertexProcessing,
            MIXED_VP);
  EXPECT_EQ(windowed ? settings.windowedPresentInterval : settings.fullscreenPresentInterval,
            static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));

  // The other half is untouched.
  settings.isWindowed = !windowed;
  EXPECT_EQ(settings.CurrentAdapter(), nullptr);
  EXPECT_EQ(settings.CurrentCombination(), nullptr);
  EXPECT_EQ(settings.CurrentDisplayMode().Width, 0u);
  EXPECT_EQ(settings.CurrentMultisampleQuality(), 0u);
  EXPECT_EQ(settings.CurrentVertexProcessing(), SOFTWARE_VP);
}

INSTANTIATE_TEST_SUITE_P(Windowed, CurrentHalf, testing::Bool());

TEST(DeviceSettings, ConstReadersFollowTheFlag) {
  DeviceSettings settings;
  settings.windowedPresentInterval = D3DPRESENT_INTERVAL_ONE;
  settings.fullscreenPresentInterval = D3DPRESENT_INTERVAL_TWO;
  settings.windowedVertexProcessing = HARDWARE_VP;
  settings.isWindowed = true;
  const DeviceSettings& windowed = settings;
  EXPECT_EQ(windowed.CurrentPresentInterval(), static_cast<UINT>(D3DPRESENT_INTERVAL_ONE));
  EXPECT_EQ(windowed.CurrentVertexProcessing(), HARDWARE_VP);
  settings.isWindowed = false;
  EXPECT_EQ(windowed.CurrentPresentInterval(), static_cast<UINT>(D3DPRESENT_INTERVAL_TWO));
  EXPECT_EQ(windowed.CurrentVertexProcessing(), SOFTWARE_VP);
}

TEST(DeviceSettings, OrdinalTypeAndBackBufferComeFromTheCurrentCombination) {
  DeviceCombination windowedCombination;
  windowedCombination.adapterOrdinal = 1;
  windowedCombination.deviceType = D3DDEVTYPE_REF;
  windowedCombination.backBufferFormat = D3DFMT_X8R8G8B8;
  DeviceCombination fullscreenCombination;
  fullscreenCombination.adapterOrdinal = 0;
  fullscreenCombination.deviceType = D3DDEVTYPE_HAL;
  fullscreenCombination.backBufferFormat = D3DFMT_R5G6B5;
  DeviceSettings settings;
  settings.windowedCombination = &windowedCombination;
  settings.fullscreenCombination = &fullscreenCombination;
  settings.isWindowed = true;
  EXPECT_EQ(settings.CurrentAdapterOrdinal(), 1u);
  EXPECT_EQ(settings.CurrentDeviceType(), D3DDEVTYPE_REF);
  EXPECT_EQ(settings.CurrentBackBufferFormat(), D3DFMT_X8R8G8B8);
  settings.isWindowed = false;
  EXPECT_EQ(settings.CurrentAdapterOrdinal(), 0u);
  EXPECT_EQ(settings.CurrentDeviceType(), D3DDEVTYPE_HAL);
  EXPECT_EQ(settings.CurrentBackBufferFormat(), D3DFMT_R5G6B5);
}

TEST(DeviceSettings, CopyIsIndependentOfTheOriginal) {
  DeviceSettings original;
  original.isWindowed = true;
  original.windowedWidth = 640;
  DeviceSettings copy = original;
  copy.CurrentMultisampleQuality() = 9;
  copy.windowedWidth = 800;
  EXPECT_EQ(original.windowedMultisampleQuality, 0u);
  EXPECT_EQ(original.windowedWidth, 640);
  EXPECT_EQ(copy.windowedMultisampleQuality, 9u);
}

}  // namespace
