// The records of the enumeration tree: adapters, their device types and the device
// combinations under each device type, with the lists that describe a combination.
// Each record owns its arrays and the records below it; deleting one frees its subtree.
#pragma once

#include <stdint.h>

#include "d3d9.h"
#include "grow_array.h"

enum VertexProcessingType : uint32_t {
  SOFTWARE_VP = 0,
  MIXED_VP = 1,
  HARDWARE_VP = 2,
  PURE_HARDWARE_VP = 3,
};

// A depth/stencil format and a multisample type that must not be chosen together.
struct DepthMultisampleConflict {
  D3DFORMAT depthStencilFormat;
  D3DMULTISAMPLE_TYPE multisampleType;
};
static_assert(sizeof(DepthMultisampleConflict) == 8, "compared byte by byte");

// One accepted (adapter format, back-buffer format, windowed) triple of a device type.
struct DeviceCombination {
  UINT adapterOrdinal = 0;
  D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
  D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
  D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
  bool isWindowed = false;
  GrowArray depthStencilFormats{ByValue, sizeof(D3DFORMAT)};
  GrowArray multisampleTypes{ByValue, sizeof(D3DMULTISAMPLE_TYPE)};
  // Quality-level count of the entry of multisampleTypes at the same index.
  GrowArray multisampleQualities{ByValue, sizeof(DWORD)};
  GrowArray conflicts{ByValue, sizeof(DepthMultisampleConflict)};
  GrowArray vertexProcessingTypes{ByValue, sizeof(VertexProcessingType)};  // best first
  GrowArray presentIntervals{ByValue, sizeof(UINT)};
};

// One device type (HAL, SW or REF) of an adapter with at least one combination.
struct DeviceInfo {
  DeviceInfo() = default;
  ~DeviceInfo() { DeletePointees<DeviceCombination>(combinations); }
  DeviceInfo(const DeviceInfo&) = delete;
  DeviceInfo& operator=(const DeviceInfo&) = delete;

  UINT adapterOrdinal = 0;
  D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
  D3DCAPS9 caps{};
  GrowArray combinations{ByPointer, 0};  // of DeviceCombination, in the order built
};

// One adapter with at least one usable device type.
struct AdapterInfo {
  AdapterInfo() = default;
  ~AdapterInfo() { DeletePointees<DeviceInfo>(devices); }
  AdapterInfo(const AdapterInfo&) = delete;
  AdapterInfo& operator=(const AdapterInfo&) = delete;

  UINT adapterOrdinal = 0;
  D3DADAPTER_IDENTIFIER9 identifier{};
  GrowArray displayModes{ByValue, sizeof(D3DDISPLAYMODE)};  // filtered and sorted
  GrowArray devices{ByPointer, 0};                            // of DeviceInfo
};
