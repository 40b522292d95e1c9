// DeviceEnumeration, the lists of a combination: depth/stencil formats, multisample
// types with their quality levels, conflicts, vertex processing types through the
// confirm callback, and present intervals.
#include <gtest/gtest.h>

#include <algorithm>

#include "enumeration_test_support.h"

namespace {

using Formats = std::vector<D3DFORMAT>;
using Types = std::vector<D3DMULTISAMPLE_TYPE>;
using VertexTypes = std::vector<VertexProcessingType>;
using Intervals = std::vector<UINT>;

constexpr D3DFORMAT X8 = D3DFMT_X8R8G8B8;
const Formats kEveryDepthFormat = {D3DFMT_D32,   D3DFMT_D24X4S4, D3DFMT_D24S8,
                                   D3DFMT_D24X8, D3DFMT_D15S1,   D3DFMT_D16};

// One HAL device on one 800x600 X8R8G8B8 adapter, X8R8G8B8 back buffer.
DeviceScript DepthDevice(Formats depthFormats) {
  DeviceScript device = SimpleDevice();
  device.depthStencilFormats = std::move(depthFormats);
  for (D3DFORMAT format : device.depthStencilFormats) {
    device.multisample.push_back({format, D3DMULTISAMPLE_NONE});
  }
  return device;
}

TEST_F(EnumerationTest, WithoutDepthBufferListsStayEmptyAndCombinationsStay) {
  ASSERT_EQ(Run({SimpleAdapter({DepthDevice({})})}), S_OK);
  ASSERT_EQ(Device(0, 0).combinations.Count(), 2u);
  for (UINT i = 0; i < 2; i++) {
    EXPECT_EQ(Combination(0, 0, i).depthStencilFormats.Count(), 0u);
    EXPECT_EQ(Combination(0, 0, i).conflicts.Count(), 0u);
  }
}

struct DepthCase {
  UINT minDepthBits;
  UINT minStencilBits;
  Formats expected;
};

class DepthStencilFilter : public EnumerationTest,
                           public testing::WithParamInterface<DepthCase> {};

TEST_P(DepthStencilFilter, OffersUsableFormatsInCandidateOrder) {
  enumeration.usesDepthBuffer = true;
  enumeration.minDepthBits = GetParam().minDepthBits;
  enumeration.minStencilBits = GetParam().minStencilBits;
  ASSERT_EQ(Run({SimpleAdapter({DepthDevice(kEveryDepthFormat)})}), S_OK);
  if (GetParam().expected.empty()) {
    EXPECT_EQ(AdapterCount(), 0u);
    return;
  }
  EXPECT_EQ(Values<D3DFORMAT>(Combination(0, 0, 0).depthStencilFormats), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Minimums, DepthStencilFilter,
    testing::Values(
        DepthCase{15, 0, {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D24X8, D3DFMT_D24S8,
                          D3DFMT_D24X4S4, D3DFMT_D32}},
        DepthCase{16, 0, {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32}},
        DepthCase{24, 1, {D3DFMT_D24S8, D3DFMT_D24X4S4}},
        DepthCase{0, 8, {D3DFMT_D24S8}},
        DepthCase{32, 0, {D3DFMT_D32}},
        DepthCase{33, 0, {}},
        DepthCase{0, 9, {}}));

TEST_F(EnumerationTest, DepthFormatNeedsBothFormatCheckAndMatch) {
  enumeration.usesDepthBuffer = true;
  DeviceScript device = DepthDevice({D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32});
  device.refusedDepthMatches = {{X8, D3DFMT_D24S8}};
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  EXPECT_EQ(Values<D3DFORMAT>(Combination(0, 0, 0).depthStencilFormats),
            (Formats{D3DFMT_D16, D3DFMT_D32}));
}

TEST_F(EnumerationTest, DeviceWithoutUsableDepthFormatDropsItsOnlyAdapter) {
  enumeration.usesDepthBuffer = true;
  DeviceScript device = DepthDevice({D3DFMT_D16});
  device.refusedDepthMatches = {{X8, D3DFMT_D16}};
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  EXPECT_EQ(AdapterCount(), 0u);
}

TEST_F(EnumerationTest, DeviceWithoutUsableDepthFormatGivesWayToTheNextType) {
  enumeration.usesDepthBuffer = true;
  DeviceScript reference = DepthDevice({D3DFMT_D24X8});
  reference.type = D3DDEVTYPE_REF;
  ASSERT_EQ(Run({SimpleAdapter({DepthDevice({}), reference})}), S_OK);
  ASSERT_EQ(Adapter(0).devices.Count(), 1u);
  EXPECT_EQ(Device(0, 0).deviceType, D3DDEVTYPE_REF);
}

TEST_F(EnumerationTest, MultisampleTypesAscendWithQualitiesAtTheSameIndex) {
  DeviceScript device = SimpleDevice();
  device.multisample = {{X8, D3DMULTISAMPLE_16_SAMPLES, 1},
                        {X8, D3DMULTISAMPLE_4_SAMPLES, 3},
                        {X8, D3DMULTISAMPLE_NONE, 1},
                        {X8, D3DMULTISAMPLE_NONMASKABLE, 5},
                        {D3DFMT_R5G6B5, D3DMULTISAMPLE_2_SAMPLES, 2}};
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  const DeviceCombination& combination = Combination(0, 0, 0);
  EXPECT_EQ(Values<D3DMULTISAMPLE_TYPE>(combination.multisampleTypes),
            (Types{D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_NONMASKABLE, D3DMULTISAMPLE_4_SAMPLES,
                   D3DMULTISAMPLE_16_SAMPLES}));
  EXPECT_EQ(Values<DWORD>(combination.multisampleQualities),
            (std::vector<DWORD>{1, 5, 3, 1}));
}

TEST_F(EnumerationTest, MultisampleIsAskedWithTheCombinationsWindowedFlag) {
  DeviceScript device = SimpleDevice();
  device.multisample.push_back({X8, D3DMULTISAMPLE_2_SAMPLES, 1, Windowing::FullscreenOnly});
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  ASSERT_FALSE(Combination(0, 0, 0).isWindowed);
  EXPECT_EQ(Values<D3DMULTISAMPLE_TYPE>(Combination(0, 0, 0).multisampleTypes),
            (Types{D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_2_SAMPLES}));
  EXPECT_EQ(Values<D3DMULTISAMPLE_TYPE>(Combination(0, 0, 1).multisampleTypes),
            (Types{D3DMULTISAMPLE_NONE}));
}

TEST_F(EnumerationTest, CombinationWithoutMultisampleTypeIsRejected) {
  DeviceScript device = SimpleDevice();
  device.multisample = {{X8, D3DMULTISAMPLE_NONE, 1, Windowing::WindowedOnly}};
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  EXPECT_EQ(CombinationKeys(Device(0, 0)), (std::vector<CombinationKey>{{X8, X8, true}}));
}

TEST_F(EnumerationTest, ConflictsPairEveryDepthFormatWithEveryTypeItCannotTake) {
  enumeration.usesDepthBuffer = true;
  DeviceScript device = SimpleDevice();
  device.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  device.multisample = {{X8, D3DMULTISAMPLE_NONE},
                        {X8, D3DMULTISAMPLE_4_SAMPLES},
                        {D3DFMT_D16, D3DMULTISAMPLE_NONE},
                        {D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES, 1, Windowing::WindowedOnly}};
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  auto conflicts = [](const DeviceCombination& combination) {
    std::vector<std::pair<D3DFORMAT, D3DMULTISAMPLE_TYPE>> pairs;
    for (UINT i = 0; i < combination.conflicts.Count(); i++) {
      const auto conflict = ValueAt<DepthMultisampleConflict>(combination.conflicts, i);
      pairs.emplace_back(conflict.depthStencilFormat, conflict.multisampleType);
    }
    return pairs;
  };
  using Pairs = std::vector<std::pair<D3DFORMAT, D3DMULTISAMPLE_TYPE>>;
  // Depth formats outside, multisample types inside.
  EXPECT_EQ(conflicts(Combination(0, 0, 0)),
            (Pairs{{D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES},
                   {D3DFMT_D24S8, D3DMULTISAMPLE_NONE},
                   {D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES}}));
  EXPECT_EQ(conflicts(Combination(0, 0, 1)),
            (Pairs{{D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES}, {D3DFMT_D24S8, D3DMULTISAMPLE_NONE}}));
  DepthMultisampleConflict wanted{D3DFMT_D24S8, D3DMULTISAMPLE_NONE};
  EXPECT_TRUE(Combination(0, 0, 1).conflicts.Contains(&wanted));
}

struct VertexCase {
  const char* name;
  DWORD devCaps;
  bool usesMixed;
  bool withCallback;
  VertexTypes refused;
  VertexTypes expected;  // empty: the combination, and so the adapter, is rejected
};

class VertexProcessing : public EnumerationTest,
                         public testing::WithParamInterface<VertexCase> {};

TEST_P(VertexProcessing, ListsAcceptedTypesMostHardwareFirst) {
  const VertexCase& c = GetParam();
  DeviceScript device = SimpleDevice();
  device.devCaps = c.devCaps;
  device.windowing = Windowing::FullscreenOnly;
  enumeration.usesMixedVertexProcessing = c.usesMixed;
  enumeration.confirmDevice = c.withCallback ? RecordingConfirm : nullptr;
  confirmRefused = c.refused;
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  if (c.expected.empty()) {
    EXPECT_EQ(AdapterCount(), 0u);
    return;
  }
  EXPECT_EQ(Values<VertexProcessingType>(Combination(0, 0, 0).vertexProcessingTypes),
            c.expected);
}

constexpr DWORD kTnL = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
constexpr DWORD kPure = D3DDEVCAPS_PUREDEVICE;

INSTANTIATE_TEST_SUITE_P(
    Cases, VertexProcessing,
    testing::Values(
        VertexCase{"NoHardwareTnL", 0, true, false, {}, {SOFTWARE_VP}},
        VertexCase{"PureBitAloneIsNotEnough", kPure, false, false, {}, {SOFTWARE_VP}},
        VertexCase{"HardwareTnL", kTnL, false, false, {}, {HARDWARE_VP, SOFTWARE_VP}},
        VertexCase{"HardwareTnLMixed", kTnL, true, false, {},
                   {HARDWARE_VP, MIXED_VP, SOFTWARE_VP}},
        VertexCase{"PureDevice", kTnL | kPure, false, false, {},
                   {PURE_HARDWARE_VP, HARDWARE_VP, SOFTWARE_VP}},
        VertexCase{"PureDeviceMixed", kTnL | kPure, true, false, {},
                   {PURE_HARDWARE_VP, HARDWARE_VP, MIXED_VP, SOFTWARE_VP}},
        VertexCase{"CallbackAcceptingAll", kTnL | kPure, true, true, {},
                   {PURE_HARDWARE_VP, HARDWARE_VP, MIXED_VP, SOFTWARE_VP}},
        VertexCase{"CallbackRefusingPure", kTnL | kPure, false, true, {PURE_HARDWARE_VP},
                   {HARDWARE_VP, SOFTWARE_VP}},
        VertexCase{"CallbackRefusingHardware", kTnL | kPure, true, true, {HARDWARE_VP},
                   {PURE_HARDWARE_VP, MIXED_VP, SOFTWARE_VP}},
        VertexCase{"CallbackRefusingMixed", kTnL, true, true, {MIXED_VP},
                   {HARDWARE_VP, SOFTWARE_VP}},
        VertexCase{"CallbackRefusingSoftware", kTnL, false, true, {SOFTWARE_VP},
                   {HARDWARE_VP}},
        VertexCase{"SoftwareOnlyDeviceRefusedSoftware", 0, false, true, {SOFTWARE_VP}, {}},
        VertexCase{"CallbackRefusingAll", kTnL | kPure, true, true,
                   {PURE_HARDWARE_VP, HARDWARE_VP, MIXED_VP, SOFTWARE_VP}, {}}),
    [](const testing::TestParamInfo<VertexCase>& info) { return info.param.name; });

TEST_F(EnumerationTest, CallbackIsAskedOncePerCandidateAndCombinationWithItsFormats) {
  DeviceScript device = SimpleDevice();
  device.devCaps = kTnL | kPure;
  device.formatPairs = {{X8, X8}, {X8, D3DFMT_A8R8G8B8}};
  device.multisample.push_back({D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE});
  enumeration.confirmDevice = RecordingConfirm;
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  const D3DCAPS9* caps = &Device(0, 0).caps;
  ASSERT_EQ(confirmCalls.size(), 4u * 3u);  // four combinations, three candidates each
  const D3DFORMAT backBuffers[] = {D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, X8, X8};
  const VertexProcessingType candidates[] = {PURE_HARDWARE_VP, HARDWARE_VP, SOFTWARE_VP};
  for (size_t i = 0; i < confirmCalls.size(); i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(confirmCalls[i].caps, caps);
    EXPECT_EQ(confirmCalls[i].type, candidates[i % 3]);
    EXPECT_EQ(confirmCalls[i].adapterFormat, X8);
    EXPECT_EQ(confirmCalls[i].backBufferFormat, backBuffers[i / 3]);
  }
}

struct IntervalCase {
  DWORD caps;
  Intervals fullscreen;
  Intervals windowed;
};

class PresentIntervals : public EnumerationTest,
                         public testing::WithParamInterface<IntervalCase> {};

TEST_P(PresentIntervals, WindowedSkipsMultiRefreshIntervalsAndDefaultIsAlwaysThere) {
  DeviceScript device = SimpleDevice();
  device.presentationIntervals = GetParam().caps;
  ASSERT_EQ(Run({SimpleAdapter({device})}), S_OK);
  ASSERT_FALSE(Combination(0, 0, 0).isWindowed);
  ASSERT_TRUE(Combination(0, 0, 1).isWindowed);
  EXPECT_EQ(Values<UINT>(Combination(0, 0, 0).presentIntervals), GetParam().fullscreen);
  EXPECT_EQ(Values<UINT>(Combination(0, 0, 1).presentIntervals), GetParam().windowed);
}

constexpr UINT kImmediate = D3DPRESENT_INTERVAL_IMMEDIATE;
constexpr UINT kDefault = D3DPRESENT_INTERVAL_DEFAULT;
constexpr UINT kOne = D3DPRESENT_INTERVAL_ONE;
constexpr UINT kTwo = D3DPRESENT_INTERVAL_TWO;
constexpr UINT kThree = D3DPRESENT_INTERVAL_THREE;
constexpr UINT kFour = D3DPRESENT_INTERVAL_FOUR;

INSTANTIATE_TEST_SUITE_P(
    Caps, PresentIntervals,
    testing::Values(
        IntervalCase{0, {kDefault}, {kDefault}},
        IntervalCase{kImmediate | kOne | kTwo | kThree | kFour,
                     {kImmediate, kDefault, kOne, kTwo, kThree, kFour},
                     {kImmediate, kDefault, kOne}},
        IntervalCase{kTwo | kFour, {kDefault, kTwo, kFour}, {kDefault}},
        IntervalCase{kOne, {kDefault, kOne}, {kDefault, kOne}},
        IntervalCase{kImmediate, {kImmediate, kDefault}, {kImmediate, kDefault}}));

}  // namespace
