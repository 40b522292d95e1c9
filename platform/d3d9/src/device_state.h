// The device's state: the renderer's pipeline state plus the objects bound to it, the
// Direct3D defaults, and the change records that state blocks keep.
#pragma once

#include <map>
#include <optional>

#include "object_base.h"
#include "pipeline.h"
#include "resources.h"

namespace d3d9impl {

struct LightSlot {
  D3DLIGHT9 light;
  bool enabled;
};

struct StreamBinding {
  InternalRef<VertexBuffer> buffer;
  UINT offset = 0;
  UINT stride = 0;
};

struct DeviceState {
  raster::PipelineState pipeline;
  InternalRef<Texture> textures[raster::kMaxStages];
  StreamBinding stream;
  InternalRef<IndexBuffer> indices;
  DWORD fvf = 0;
  std::map<DWORD, LightSlot> lights;
};

// Direct3D's initial state for a device whose render target is width x height.
void ResetToDefaults(DeviceState& state, bool depthBuffer, UINT width, UINT height);

// The light Direct3D uses when a light is enabled before it was ever set.
D3DLIGHT9 DefaultLight();

// Which states a state block recorded, with their values.
struct StateChanges {
  std::map<uint32_t, DWORD> renderStates;   // by state
  std::map<uint32_t, DWORD> stageStates;    // by StageKey
  std::map<uint32_t, DWORD> samplerStates;  // by StageKey
  std::map<uint32_t, D3DMATRIX> transforms;
  std::map<DWORD, InternalRef<Texture>> textures;
  std::map<DWORD, D3DLIGHT9> lights;
  std::map<DWORD, bool> lightEnables;
  std::optional<D3DMATERIAL9> material;
  std::optional<D3DVIEWPORT9> viewport;
  std::optional<DWORD> fvf;
  std::optional<StreamBinding> stream;
  std::optional<InternalRef<IndexBuffer>> indices;
};

constexpr uint32_t StageKey(DWORD stage, DWORD type) { return (stage << 8) | type; }
constexpr DWORD KeyStage(uint32_t key) { return key >> 8; }
constexpr DWORD KeyType(uint32_t key) { return key & 0xFF; }

}  // namespace d3d9impl
