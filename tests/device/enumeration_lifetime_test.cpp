// DeviceEnumeration, results and ownership: a missing Direct3D object, every
// allocation failure (the result, no leak, a consistent tree), a second Enumerate,
// and the Direct3D object left to its owner.
#include <gtest/gtest.h>

#include "allocation_failure.h"
#include "enumeration_test_support.h"

namespace {

constexpr D3DFORMAT X8 = D3DFMT_X8R8G8B8;

// Two adapters, two device types, depth formats, several multisample types with
// distinct quality counts and a conflict: every kind of record and list is built.
std::vector<AdapterScript> RichScript() {
  DeviceScript hal = SimpleDevice(D3DDEVTYPE_HAL);
  hal.devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
  hal.presentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO;
  hal.formatPairs = {{X8, X8}, {X8, D3DFMT_A8R8G8B8}, {D3DFMT_R5G6B5, D3DFMT_R5G6B5}};
  hal.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  hal.multisample = {};
  for (D3DFORMAT format : {X8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_D16}) {
    hal.multisample.push_back({format, D3DMULTISAMPLE_NONE, 1});
    hal.multisample.push_back({format, D3DMULTISAMPLE_2_SAMPLES, 3});
    hal.multisample.push_back({format, D3DMULTISAMPLE_4_SAMPLES, 7});
  }
  AdapterScript first = SimpleAdapter({hal, SimpleDevice(D3DDEVTYPE_REF)});
  first.modes = {{1024, 768, 60, X8}, {800, 600, 60, X8}, {800, 600, 60, D3DFMT_R5G6B5}};
  return {first, SimpleAdapter({SimpleDevice(D3DDEVTYPE_REF)})};
}

// Quality counts the rich script reports for each type.
DWORD ScriptedQuality(D3DMULTISAMPLE_TYPE type) {
  return type == D3DMULTISAMPLE_2_SAMPLES ? 3 : type == D3DMULTISAMPLE_4_SAMPLES ? 7 : 1;
}

// What must hold of any tree, however an allocation failure cut it short.
void ExpectConsistentTree(const DeviceEnumeration& enumeration) {
  if (enumeration.adapters == nullptr) return;
  for (UINT a = 0; a < enumeration.adapters->Count(); a++) {
    const AdapterInfo* adapter = PointerAt<AdapterInfo>(*enumeration.adapters, a);
    EXPECT_GT(adapter->devices.Count(), 0u);
    for (UINT d = 0; d < adapter->devices.Count(); d++) {
      const DeviceInfo* device = PointerAt<DeviceInfo>(adapter->devices, d);
      EXPECT_GT(device->combinations.Count(), 0u);
      for (UINT c = 0; c < device->combinations.Count(); c++) {
        const auto* combination = PointerAt<DeviceCombination>(device->combinations, c);
        EXPECT_GT(combination->depthStencilFormats.Count(), 0u);
        EXPECT_GT(combination->vertexProcessingTypes.Count(), 0u);
        const GrowArray& types = combination->multisampleTypes;
        ASSERT_GT(types.Count(), 0u);
        ASSERT_GE(combination->multisampleQualities.Count(), types.Count());
        for (UINT t = 0; t < types.Count(); t++) {
          const auto type = ValueAt<D3DMULTISAMPLE_TYPE>(types, t);
          EXPECT_EQ(ValueAt<DWORD>(combination->multisampleQualities, t), ScriptedQuality(type));
        }
      }
    }
  }
}

TEST(EnumerationWithoutDirect3D, FailsWithoutCreatingArrays) {
  DeviceEnumeration enumeration;
  EXPECT_EQ(enumeration.Enumerate(), E_FAIL);
  EXPECT_EQ(enumeration.adapters, nullptr);
  EXPECT_EQ(enumeration.allowedAdapterFormats, nullptr);
}

TEST_F(EnumerationTest, RichScriptBuildsTheFullTree) {
  enumeration.usesDepthBuffer = true;
  ASSERT_EQ(Run(RichScript()), S_OK);
  ASSERT_EQ(AdapterCount(), 2u);
  EXPECT_EQ(Adapter(0).devices.Count(), 2u);
  EXPECT_EQ(Device(0, 0).combinations.Count(), 6u);
  ExpectConsistentTree(enumeration);
}

TEST_F(EnumerationTest, EveryAllocationFailureGivesOutOfMemoryOrASmallerSoundTree) {
  enumeration.usesDepthBuffer = true;
  long total = 0;
  {
    FailingAllocation counter(FailingAllocation::kNone);
    ASSERT_EQ(Run(RichScript()), S_OK);
    total = counter.Seen();
  }
  ASSERT_GT(total, 20);
  int outOfMemory = 0;
  for (long index = 0; index < total; index++) {
    SCOPED_TRACE(index);
    DeviceEnumeration failing;
    failing.usesDepthBuffer = true;
    failing.direct3D = direct3D.get();
    HRESULT result;
    {
      FailingAllocation failure(index);
      result = failing.Enumerate();
      ASSERT_TRUE(failure.Failed());
    }
    EXPECT_TRUE(result == S_OK || result == E_OUTOFMEMORY) << std::hex << result;
    outOfMemory += result == E_OUTOFMEMORY;
    ExpectConsistentTree(failing);
  }
  EXPECT_GT(outOfMemory, 0);
}

struct RecordFailureCase {
  const char* name;
  size_t size;
};

class RecordAllocationFailure : public EnumerationTest,
                                public testing::WithParamInterface<RecordFailureCase> {};

TEST_P(RecordAllocationFailure, EndsTheEnumerationWithOutOfMemory) {
  ASSERT_NE(GetParam().size, sizeof(GrowArray));
  ASSERT_EQ(Run(RichScript()), S_OK);
  for (long index = 0;; index++) {
    SCOPED_TRACE(index);
    DeviceEnumeration failing;
    failing.usesDepthBuffer = true;
    failing.direct3D = direct3D.get();
    FailingAllocation failure(index, GetParam().size);
    const HRESULT result = failing.Enumerate();
    if (!failure.Failed()) {
      EXPECT_EQ(result, S_OK);
      EXPECT_GT(index, 0) << "no record of this size was ever made";
      break;
    }
    EXPECT_EQ(result, E_OUTOFMEMORY);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordAllocationFailure,
    testing::Values(RecordFailureCase{"AdapterInfo", sizeof(AdapterInfo)},
                    RecordFailureCase{"DeviceInfo", sizeof(DeviceInfo)},
                    RecordFailureCase{"DeviceCombination", sizeof(DeviceCombination)}),
    [](const testing::TestParamInfo<RecordFailureCase>& info) { return info.param.name; });

// The first allocations are the two top arrays and the block of the allowed formats.
class TopArrayFailure : public EnumerationTest, public testing::WithParamInterface<long> {};

TEST_P(TopArrayFailure, IsOutOfMemoryWithNothingEnumerated) {
  FailingAllocation failure(GetParam());
  direct3D = std::make_unique<ScriptedDirect3D>(RichScript());
  enumeration.direct3D = direct3D.get();
  EXPECT_EQ(enumeration.Enumerate(), E_OUTOFMEMORY);
  EXPECT_TRUE(failure.Failed());
  EXPECT_TRUE(enumeration.adapters == nullptr || enumeration.adapters->Count() == 0);
}

INSTANTIATE_TEST_SUITE_P(FirstThree, TopArrayFailure, testing::Values(0L, 1L, 2L));

TEST_F(EnumerationTest, AdapterThatCannotJoinTheListIsFreedAndReported) {
  long total = 0;
  {
    FailingAllocation counter(FailingAllocation::kNone);
    ASSERT_EQ(Run({SimpleAdapter()}), S_OK);
    total = counter.Seen();
  }
  // The last allocation of a one-adapter run is the block of the adapter list itself.
  DeviceEnumeration failing;
  failing.direct3D = direct3D.get();
  FailingAllocation failure(total - 1);
  EXPECT_EQ(failing.Enumerate(), E_OUTOFMEMORY);
  EXPECT_TRUE(failure.Failed());
  EXPECT_EQ(failing.adapters->Count(), 0u);
}

TEST_F(EnumerationTest, SecondEnumerateReplacesTheFirstTree) {
  enumeration.usesDepthBuffer = true;
  ASSERT_EQ(Run(RichScript()), S_OK);
  ASSERT_EQ(Run({SimpleAdapter()}), S_OK);
  ASSERT_EQ(AdapterCount(), 1u);
  EXPECT_EQ(Adapter(0).devices.Count(), 1u);
  EXPECT_EQ(enumeration.allowedAdapterFormats->Count(), 4u);
}

TEST(EnumerationOwnership, NeverTakesOrReleasesAReferenceToDirect3D) {
  ScriptedDirect3D direct3D(RichScript());
  {
    DeviceEnumeration enumeration;
    enumeration.direct3D = &direct3D;
    ASSERT_EQ(enumeration.Enumerate(), S_OK);
    EXPECT_EQ(direct3D.references, 1u);
  }
  EXPECT_EQ(direct3D.references, 1u);
}

}  // namespace
