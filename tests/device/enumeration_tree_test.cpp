// DeviceEnumeration, the shape of the tree: defaults, display-mode filters and order,
// adapter formats, combination order and the windowed/fullscreen and alpha filters,
// device types and the dropping of empty devices and adapters.
#include <gtest/gtest.h>

#include "enumeration_test_support.h"

namespace {

using Modes = std::vector<D3DDISPLAYMODE>;
using Keys = std::vector<CombinationKey>;

constexpr D3DFORMAT X8 = D3DFMT_X8R8G8B8;
constexpr D3DFORMAT A8 = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT R565 = D3DFMT_R5G6B5;
constexpr D3DFORMAT X555 = D3DFMT_X1R5G5B5;
constexpr D3DFORMAT A555 = D3DFMT_A1R5G5B5;
constexpr D3DFORMAT A2R10 = D3DFMT_A2R10G10B10;

TEST(DeviceEnumerationDefaults, ConstructionSetsTheDocumentedValues) {
  DeviceEnumeration enumeration;
  EXPECT_EQ(enumeration.direct3D, nullptr);
  EXPECT_EQ(enumeration.adapters, nullptr);
  EXPECT_EQ(enumeration.confirmDevice, nullptr);
  EXPECT_EQ(enumeration.minFullscreenWidth, 640u);
  EXPECT_EQ(enumeration.minFullscreenHeight, 480u);
  EXPECT_EQ(enumeration.minColorChannelBits, 5u);
  EXPECT_EQ(enumeration.minAlphaChannelBits, 0u);
  EXPECT_EQ(enumeration.minDepthBits, 15u);
  EXPECT_EQ(enumeration.minStencilBits, 0u);
  EXPECT_FALSE(enumeration.usesDepthBuffer);
  EXPECT_FALSE(enumeration.usesMixedVertexProcessing);
  EXPECT_FALSE(enumeration.requiresWindowed);
  EXPECT_FALSE(enumeration.requiresFullscreen);
  EXPECT_EQ(enumeration.allowedAdapterFormats, nullptr);
}

TEST_F(EnumerationTest, AllowedAdapterFormatsInTheirFixedOrder) {
  ASSERT_EQ(Run({}), S_OK);
  EXPECT_EQ(Values<D3DFORMAT>(*enumeration.allowedAdapterFormats),
            (std::vector<D3DFORMAT>{X8, X555, R565, A2R10}));
}

TEST_F(EnumerationTest, NoAdapterIsSuccessWithAnEmptyList) {
  ASSERT_EQ(Run({}), S_OK);
  ASSERT_NE(enumeration.adapters, nullptr);
  EXPECT_EQ(AdapterCount(), 0u);
}

struct ModeFilterCase {
  const char* name;
  UINT minWidth;
  UINT minHeight;
  UINT minColorBits;
  Modes offered;
  Modes kept;  // in mode order
};

class ModeFilter : public EnumerationTest,
                   public testing::WithParamInterface<ModeFilterCase> {};

TEST_P(ModeFilter, KeepsOnlyModesMeetingTheMinimums) {
  const ModeFilterCase& c = GetParam();
  enumeration.minFullscreenWidth = c.minWidth;
  enumeration.minFullscreenHeight = c.minHeight;
  enumeration.minColorChannelBits = c.minColorBits;
  ASSERT_EQ(Run({{"a", c.offered, {}, {EveryFormatDevice()}}}), S_OK);
  ASSERT_EQ(AdapterCount(), 1u);
  EXPECT_EQ(Values<D3DDISPLAYMODE>(Adapter(0).displayModes), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeFilter,
    testing::Values(
        ModeFilterCase{"DefaultsDropSmallMode", 640, 480, 5,
                       {{320, 240, 60, X8}, {800, 600, 60, X8}},
                       {{800, 600, 60, X8}}},
        ModeFilterCase{"SizeBoundaries", 640, 480, 5,
                       {{639, 480, 60, X8}, {640, 479, 60, X8}, {640, 480, 60, X8}},
                       {{640, 480, 60, X8}}},
        ModeFilterCase{"RaisedMinimumSize", 1024, 768, 5,
                       {{800, 600, 60, X8}, {1024, 768, 60, X8}, {1280, 700, 60, X8}},
                       {{1024, 768, 60, X8}}},
        ModeFilterCase{"FiveBitFormatsPassAtFive", 640, 480, 5,
                       {{800, 600, 60, R565}, {800, 600, 60, X555}},
                       {{800, 600, 60, R565}, {800, 600, 60, X555}}},
        ModeFilterCase{"SixBitsDropFiveBitFormats", 640, 480, 6,
                       {{800, 600, 60, R565}, {800, 600, 60, X555}, {800, 600, 60, X8}},
                       {{800, 600, 60, X8}}},
        ModeFilterCase{"NineBitsKeepOnlyTenBitFormat", 640, 480, 9,
                       {{800, 600, 60, X8}, {800, 600, 60, A2R10}},
                       {{800, 600, 60, A2R10}}},
        ModeFilterCase{"FormatsOutsideTheAllowedListAreNotAsked", 640, 480, 5,
                       {{800, 600, 60, A8}, {800, 600, 60, X8}},
                       {{800, 600, 60, X8}}}),
    [](const testing::TestParamInfo<ModeFilterCase>& info) { return info.param.name; });

TEST_F(EnumerationTest, ModesSortByWidthHeightFormatThenRefreshRate) {
  const Modes offered = {{1024, 768, 60, X8}, {800, 600, 75, X8}, {800, 600, 60, X8},
                         {800, 600, 60, R565}};
  ASSERT_EQ(Run({{"a", offered, {}, {EveryFormatDevice()}}}), S_OK);
  EXPECT_EQ(Values<D3DDISPLAYMODE>(Adapter(0).displayModes),
            (Modes{{800, 600, 60, X8}, {800, 600, 75, X8}, {800, 600, 60, R565},
                   {1024, 768, 60, X8}}));
}

TEST_F(EnumerationTest, HeightDecidesBeforeFormatAndRefreshRate) {
  const Modes offered = {{800, 900, 60, X8}, {800, 600, 85, R565}, {800, 600, 60, X8}};
  ASSERT_EQ(Run({{"a", offered, {}, {EveryFormatDevice()}}}), S_OK);
  EXPECT_EQ(Values<D3DDISPLAYMODE>(Adapter(0).displayModes),
            (Modes{{800, 600, 60, X8}, {800, 600, 85, R565}, {800, 900, 60, X8}}));
}

TEST_F(EnumerationTest, AModeThatCannotBeReadIsSkipped) {
  AdapterScript adapter = SimpleAdapter();
  adapter.unreadableModes = {{1024, 768, 60, X8}};
  ASSERT_EQ(Run({adapter}), S_OK);
  EXPECT_EQ(Values<D3DDISPLAYMODE>(Adapter(0).displayModes), (Modes{{800, 600, 60, X8}}));
}

TEST_F(EnumerationTest, AdapterWithOnlyTenBitModesHasOnlyTenBitCombinations) {
  ASSERT_EQ(Run({{"a", {{800, 600, 60, A2R10}, {1024, 768, 60, A2R10}}, {},
                  {EveryFormatDevice()}}}),
            S_OK);
  EXPECT_EQ(CombinationKeys(Device(0, 0)),
            (Keys{{A2R10, A2R10, false}, {A2R10, A2R10, true}}));
}

TEST_F(EnumerationTest, EachAdapterGetsOnlyItsOwnAdapterFormats) {
  const AdapterScript wide = {"a", {{800, 600, 60, X8}}, {}, {EveryFormatDevice()}};
  const AdapterScript narrow = {"b", {{800, 600, 60, R565}}, {}, {EveryFormatDevice()}};
  ASSERT_EQ(Run({wide, narrow}), S_OK);
  ASSERT_EQ(AdapterCount(), 2u);
  EXPECT_EQ(CombinationKeys(Device(0, 0)), (Keys{{X8, X8, false}, {X8, X8, true}}));
  EXPECT_EQ(CombinationKeys(Device(1, 0)), (Keys{{R565, R565, false}, {R565, R565, true}}));
}

TEST_F(EnumerationTest, CombinationsGroupByAdapterFormatThenBackBufferFullscreenFirst) {
  DeviceScript device;
  device.formatPairs = {{R565, R565}, {X8, R565}, {X8, X8}, {X8, A8}};
  device.multisample = {{X8, D3DMULTISAMPLE_NONE}, {A8, D3DMULTISAMPLE_NONE},
                        {R565, D3DMULTISAMPLE_NONE}};
  // The R5G6B5 mode is listed first; the adapter formats still follow the allowed list.
  ASSERT_EQ(Run({{"a", {{800, 600, 60, R565}, {800, 600, 60, X8}}, {}, {device}}}), S_OK);
  EXPECT_EQ(CombinationKeys(Device(0, 0)),
            (Keys{{X8, A8, false}, {X8, A8, true}, {X8, X8, false}, {X8, X8, true},
                  {X8, R565, false}, {X8, R565, true}, {R565, R565, false},
                  {R565, R565, true}}));
}

TEST_F(EnumerationTest, CombinationCopiesAdapterAndDeviceType) {
  ASSERT_EQ(Run({SimpleAdapter({EveryFormatDevice(D3DDEVTYPE_REF)})}), S_OK);
  const DeviceCombination& combination = Combination(0, 0, 0);
  EXPECT_EQ(combination.adapterOrdinal, 0u);
  EXPECT_EQ(combination.deviceType, D3DDEVTYPE_REF);
  EXPECT_EQ(Device(0, 0).caps.DeviceType, D3DDEVTYPE_REF);
}

struct BackBufferAlphaCase {
  UINT minAlphaBits;
  std::vector<D3DFORMAT> backBuffers;  // fullscreen combinations, in order
};

class BackBufferAlpha : public EnumerationTest,
                        public testing::WithParamInterface<BackBufferAlphaCase> {};

TEST_P(BackBufferAlpha, FormatsWithTooFewAlphaBitsAreNotTried) {
  DeviceScript device;
  for (D3DFORMAT backBuffer : {A8, X8, A2R10, R565, A555, X555}) {
    device.formatPairs.push_back({X8, backBuffer});
    device.multisample.push_back({backBuffer, D3DMULTISAMPLE_NONE});
  }
  device.windowing = Windowing::FullscreenOnly;
  enumeration.minAlphaChannelBits = GetParam().minAlphaBits;
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  if (GetParam().backBuffers.empty()) {
    EXPECT_EQ(AdapterCount(), 0u);
    return;
  }
  Keys expected;
  for (D3DFORMAT backBuffer : GetParam().backBuffers) expected.emplace_back(X8, backBuffer, false);
  EXPECT_EQ(CombinationKeys(Device(0, 0)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    MinimumAlpha, BackBufferAlpha,
    testing::Values(BackBufferAlphaCase{0, {A8, X8, A2R10, R565, A555, X555}},
                    BackBufferAlphaCase{1, {A8, A2R10, A555}},
                    BackBufferAlphaCase{2, {A8, A2R10}},
                    BackBufferAlphaCase{8, {A8}},
                    BackBufferAlphaCase{9, {}}));

struct WindowingCase {
  bool requiresWindowed;
  bool requiresFullscreen;
  Windowing deviceWindowing;
  Keys expected;
};

class WindowingRequirement : public EnumerationTest,
                             public testing::WithParamInterface<WindowingCase> {};

TEST_P(WindowingRequirement, BuildsOnlyTheAllowedKinds) {
  DeviceScript device = SimpleDevice();
  device.windowing = GetParam().deviceWindowing;
  enumeration.requiresWindowed = GetParam().requiresWindowed;
  enumeration.requiresFullscreen = GetParam().requiresFullscreen;
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  if (GetParam().expected.empty()) {
    EXPECT_EQ(AdapterCount(), 0u);
  } else {
    EXPECT_EQ(CombinationKeys(Device(0, 0)), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowingRequirement,
    testing::Values(
        WindowingCase{false, false, Windowing::Both, {{X8, X8, false}, {X8, X8, true}}},
        WindowingCase{true, false, Windowing::Both, {{X8, X8, true}}},
        WindowingCase{false, true, Windowing::Both, {{X8, X8, false}}},
        WindowingCase{true, true, Windowing::Both, {}},
        WindowingCase{false, false, Windowing::FullscreenOnly, {{X8, X8, false}}},
        WindowingCase{false, false, Windowing::WindowedOnly, {{X8, X8, true}}},
        WindowingCase{true, false, Windowing::FullscreenOnly, {}}));

TEST_F(EnumerationTest, DeviceTypesComeInHalSwRefOrder) {
  ASSERT_EQ(Run({SimpleAdapter({SimpleDevice(D3DDEVTYPE_REF), SimpleDevice(D3DDEVTYPE_SW),
                                SimpleDevice(D3DDEVTYPE_HAL)})}),
            S_OK);
  ASSERT_EQ(Adapter(0).devices.Count(), 3u);
  EXPECT_EQ(Device(0, 0).deviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(Device(0, 1).deviceType, D3DDEVTYPE_SW);
  EXPECT_EQ(Device(0, 2).deviceType, D3DDEVTYPE_REF);
}

TEST_F(EnumerationTest, DeviceTypeWithoutCapsIsAbsentWithoutError) {
  // No software rasteriser is registered: GetDeviceCaps fails for D3DDEVTYPE_SW.
  ASSERT_EQ(Run({SimpleAdapter({SimpleDevice(D3DDEVTYPE_HAL), SimpleDevice(D3DDEVTYPE_REF)})}),
            S_OK);
  ASSERT_EQ(Adapter(0).devices.Count(), 2u);
  EXPECT_EQ(Device(0, 0).deviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(Device(0, 1).deviceType, D3DDEVTYPE_REF);
}

TEST_F(EnumerationTest, DeviceWithoutCombinationsIsDroppedOthersStay) {
  DeviceScript barren = SimpleDevice(D3DDEVTYPE_HAL);
  barren.formatPairs.clear();
  ASSERT_EQ(Run({SimpleAdapter({barren, SimpleDevice(D3DDEVTYPE_REF)})}), S_OK);
  ASSERT_EQ(Adapter(0).devices.Count(), 1u);
  EXPECT_EQ(Device(0, 0).deviceType, D3DDEVTYPE_REF);
}

TEST_F(EnumerationTest, AdapterWithoutDevicesIsDroppedAndLaterOnesKeepTheirOrdinal) {
  AdapterScript noModes = SimpleAdapter();
  noModes.modes = {{320, 240, 60, X8}};
  AdapterScript second = SimpleAdapter();
  second.description = "second";
  AdapterScript noDevices = SimpleAdapter({});
  ASSERT_EQ(Run({noModes, second, noDevices}), S_OK);
  ASSERT_EQ(AdapterCount(), 1u);
  EXPECT_EQ(Adapter(0).adapterOrdinal, 1u);
  EXPECT_STREQ(Adapter(0).identifier.Description, "second");
  EXPECT_EQ(Device(0, 0).adapterOrdinal, 1u);
  EXPECT_EQ(Device(0, 0).caps.AdapterOrdinal, 1u);
  EXPECT_EQ(Combination(0, 0, 0).adapterOrdinal, 1u);
}

TEST_F(EnumerationTest, EveryUsableAdapterIsListedInOrdinalOrder) {
  ASSERT_EQ(Run({SimpleAdapter(), SimpleAdapter()}), S_OK);
  ASSERT_EQ(AdapterCount(), 2u);
  EXPECT_EQ(Adapter(0).adapterOrdinal, 0u);
  EXPECT_EQ(Adapter(1).adapterOrdinal, 1u);
}

}  // namespace
