// Helpers shared by the enumeration tests.
#include "enumeration_test_support.h"

#include <algorithm>
#include <utility>

std::vector<VertexProcessingType> confirmRefused;
std::vector<ConfirmCall> confirmCalls;

bool RecordingConfirm(const D3DCAPS9* caps, VertexProcessingType type,
                      D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat) {
  confirmCalls.push_back({caps, type, adapterFormat, backBufferFormat});
  return std::find(confirmRefused.begin(), confirmRefused.end(), type) == confirmRefused.end();
}

std::vector<CombinationKey> CombinationKeys(const DeviceInfo& device) {
  std::vector<CombinationKey> keys;
  for (UINT i = 0; i < device.combinations.Count(); i++) {
    const DeviceCombination* combination = PointerAt<DeviceCombination>(device.combinations, i);
    keys.emplace_back(combination->adapterFormat, combination->backBufferFormat,
                      combination->isWindowed);
  }
  return keys;
}

DeviceScript EveryFormatDevice(D3DDEVTYPE type) {
  DeviceScript device;
  device.type = type;
  for (D3DFORMAT format :
       {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10}) {
    device.formatPairs.push_back({format, format});
    device.multisample.push_back({format, D3DMULTISAMPLE_NONE});
  }
  return device;
}

bool operator==(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
  return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate &&
         a.Format == b.Format;
}

void EnumerationTest::SetUp() {
  confirmRefused.clear();
  confirmCalls.clear();
}

HRESULT EnumerationTest::Run(std::vector<AdapterScript> adapters) {
  direct3D = std::make_unique<ScriptedDirect3D>(std::move(adapters));
  enumeration.direct3D = direct3D.get();
  return enumeration.Enumerate();
}

UINT EnumerationTest::AdapterCount() const { return enumeration.adapters->Count(); }

const AdapterInfo& EnumerationTest::Adapter(UINT index) const {
  const AdapterInfo* adapter = PointerAt<AdapterInfo>(*enumeration.adapters, index);
  EXPECT_NE(adapter, nullptr) << "no adapter " << index;
  return *adapter;
}

const DeviceInfo& EnumerationTest::Device(UINT adapter, UINT index) const {
  const DeviceInfo* device = PointerAt<DeviceInfo>(Adapter(adapter).devices, index);
  EXPECT_NE(device, nullptr) << "no device " << index;
  return *device;
}

const DeviceCombination& EnumerationTest::Combination(UINT adapter, UINT device,
                                                      UINT index) const {
  const DeviceCombination* combination =
      PointerAt<DeviceCombination>(Device(adapter, device).combinations, index);
  EXPECT_NE(combination, nullptr) << "no combination " << index;
  return *combination;
}
