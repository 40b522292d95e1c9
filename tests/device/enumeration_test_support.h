// Helpers shared by the enumeration tests: a fixture that enumerates a script, typed
// views of the tree, and a confirm callback that records its calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "device_enumeration.h"
#include "scripted_direct3d.h"

template <class T>
std::vector<T> Values(const GrowArray& array) {
  std::vector<T> values;
  for (UINT i = 0; i < array.Count(); i++) values.push_back(ValueAt<T>(array, i));
  return values;
}

using CombinationKey = std::tuple<D3DFORMAT, D3DFORMAT, bool>;  // adapter, back buffer, windowed

std::vector<CombinationKey> CombinationKeys(const DeviceInfo& device);

// Adapter formats X8R8G8B8, X1R5G5B5, R5G6B5 and A2R10G10B10, each with the back
// buffer of the same format, windowed and fullscreen, without multisampling.
DeviceScript EveryFormatDevice(D3DDEVTYPE type = D3DDEVTYPE_HAL);

bool operator==(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b);

struct ConfirmCall {
  const D3DCAPS9* caps;
  VertexProcessingType type;
  D3DFORMAT adapterFormat;
  D3DFORMAT backBufferFormat;
};

// The callback refuses the types in confirmRefused and logs every question.
extern std::vector<VertexProcessingType> confirmRefused;
extern std::vector<ConfirmCall> confirmCalls;
bool RecordingConfirm(const D3DCAPS9* caps, VertexProcessingType type,
                      D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat);

class EnumerationTest : public testing::Test {
 protected:
  void SetUp() override;
  HRESULT Run(std::vector<AdapterScript> adapters);
  UINT AdapterCount() const;
  const AdapterInfo& Adapter(UINT index) const;
  const DeviceInfo& Device(UINT adapter, UINT index) const;
  const DeviceCombination& Combination(UINT adapter, UINT device, UINT index) const;

  // Declared first so that it outlives the enumeration.
  std::unique_ptr<ScriptedDirect3D> direct3D;
  DeviceEnumeration enumeration;
};
