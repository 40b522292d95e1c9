// State setters and getters. While a state block is being recorded, setters write
// into the record instead of the device, as Direct3D does.
#include <cstring>

#include "device.h"
#include "state_block.h"
#include "validation.h"

namespace d3d9impl {
namespace {

// The transform slots the renderer uses: world, view, projection and 8 texture stages.
// `State` is raster::PipelineState, const or not; the slot is as const as the state.
template <typename State>
auto TransformSlot(State& p, D3DTRANSFORMSTATETYPE state) -> decltype(&p.world) {
  if (state == D3DTS_WORLD) return &p.world;
  if (state == D3DTS_VIEW) return &p.view;
  if (state == D3DTS_PROJECTION) return &p.projection;
  if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return &p.textureTransform[state - D3DTS_TEXTURE0];
  return nullptr;
}

bool ValidLight(const D3DLIGHT9& light) {
  return light.Type >= D3DLIGHT_POINT && light.Type <= D3DLIGHT_DIRECTIONAL && light.Range >= 0.0f;
}

}  // namespace

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  D3DMATRIX* slot = TransformSlot(state_.pipeline, state);
  if (!matrix || !slot) return InvalidCall("SetTransform: bad state or null matrix");
  if (Recording()) recording_->transforms[state] = *matrix;
  else *slot = *matrix;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  D3DMATRIX* slot = TransformSlot(state_.pipeline, state);
  if (!matrix || !slot || Pure()) return InvalidCall("GetTransform: bad state, output or pure device");
  *matrix = *slot;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (!viewport) return InvalidCall("SetViewport: null viewport");
  const D3DVIEWPORT9& v = *viewport;
  uint64_t right = uint64_t{v.X} + v.Width, bottom = uint64_t{v.Y} + v.Height;
  if (v.Width == 0 || v.Height == 0 || right > parameters_.BackBufferWidth ||
      bottom > parameters_.BackBufferHeight || !(v.MinZ >= 0.0f && v.MaxZ <= 1.0f && v.MinZ <= v.MaxZ))
    return InvalidCall("SetViewport: outside the render target or bad depth range");
  if (Recording()) recording_->viewport = v;
  else state_.pipeline.viewport = v;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (!viewport) return InvalidCall("GetViewport: null output");
  *viewport = state_.pipeline.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  if (!material) return InvalidCall("SetMaterial: null material");
  if (Recording()) recording_->material = *material;
  else state_.pipeline.material = *material;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (!light || !ValidLight(*light)) return InvalidCall("SetLight: bad light");
  if (Recording()) {
    recording_->lights[index] = *light;
    return D3D_OK;
  }
  auto [slot, added] = state_.lights.try_emplace(index, LightSlot{*light, false});
  if (!added) slot->second.light = *light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (Recording()) {
    recording_->lightEnables[index] = enable != 0;
    return D3D_OK;
  }
  auto [slot, added] = state_.lights.try_emplace(index, LightSlot{DefaultLight(), false});
  (void)added;
  if (enable && !slot->second.enabled) {
    uint32_t enabled = 0;
    for (const auto& entry : state_.lights) enabled += entry.second.enabled ? 1 : 0;
    if (enabled >= raster::kMaxLights) return InvalidCall("LightEnable: too many active lights");
  }
  slot->second.enabled = enable != 0;
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= D3D_RENDERSTATE_COUNT) return InvalidCall("SetRenderState: unknown state");
  if (Recording()) recording_->renderStates[state] = value;
  else state_.pipeline.renderStates[state] = value;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state >= D3D_RENDERSTATE_COUNT || Pure())
    return InvalidCall("GetRenderState: unknown state, null output or pure device");
  *value = state_.pipeline.renderStates[state];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= raster::kMaxStages || type >= D3D_TEXTURESTAGESTATE_COUNT)
    return InvalidCall("SetTextureStageState: bad stage or state");
  if (Recording()) recording_->stageStates[StageKey(stage, type)] = value;
  else state_.pipeline.stageStates[stage][type] = value;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (!value || stage >= raster::kMaxStages || type >= D3D_TEXTURESTAGESTATE_COUNT || Pure())
    return InvalidCall("GetTextureStageState: bad stage, state, output or pure device");
  *value = state_.pipeline.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= raster::kMaxStages || type >= D3D_SAMPLERSTATE_COUNT)
    return InvalidCall("SetSamplerState: bad sampler or state");
  if (Recording()) recording_->samplerStates[StageKey(sampler, type)] = value;
  else state_.pipeline.samplerStates[sampler][type] = value;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (!value || sampler >= raster::kMaxStages || type >= D3D_SAMPLERSTATE_COUNT || Pure())
    return InvalidCall("GetSamplerState: bad sampler, state, output or pure device");
  *value = state_.pipeline.samplerStates[sampler][type];
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= raster::kMaxStages) return InvalidCall("SetTexture: bad stage");
  // Every texture this device makes is a Texture; one of another device is refused.
  auto* ours = static_cast<Texture*>(static_cast<IDirect3DTexture9*>(texture));
  if (ours && (ours->OwningDevice() != this || ours->Pool() == D3DPOOL_SCRATCH ||
               ours->Pool() == D3DPOOL_SYSTEMMEM))
    return InvalidCall("SetTexture: texture of another device or a CPU-only pool");
  if (Recording()) recording_->textures[stage] = InternalRef<Texture>(ours);
  else state_.textures[stage] = InternalRef<Texture>(ours);
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  if (fvf != 0 && raster::VertexSize(fvf) == 0) return InvalidCall("SetFVF: unsupported vertex format");
  if (Recording()) recording_->fvf = fvf;
  else state_.fvf = fvf;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes,
                                UINT stride) {
  auto* ours = static_cast<VertexBuffer*>(buffer);
  if (stream != 0) return InvalidCall("SetStreamSource: one stream only");
  if (ours && (ours->OwningDevice() != this || offsetInBytes >= ours->Store().Size() ||
               stride == 0 || stride > 255))
    return InvalidCall("SetStreamSource: foreign buffer, offset past the end or bad stride");
  StreamBinding binding{InternalRef<VertexBuffer>(ours), offsetInBytes, stride};
  if (Recording()) recording_->stream = binding;
  else state_.stream = binding;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
  auto* ours = static_cast<IndexBuffer*>(indices);
  if (ours && ours->OwningDevice() != this) return InvalidCall("SetIndices: foreign buffer");
  if (Recording()) recording_->indices = InternalRef<IndexBuffer>(ours);
  else state_.indices = InternalRef<IndexBuffer>(ours);
  return D3D_OK;
}

// ---- State blocks ---------------------------------------------------------------------

HRESULT Device::BeginStateBlock() {
  if (Recording()) return InvalidCall("BeginStateBlock: already recording");
  recording_ = std::make_unique<StateChanges>();
  return D3D_OK;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** stateBlock) {
  if (!stateBlock) return InvalidCall("EndStateBlock: null output");
  if (!Recording()) return InvalidCall("EndStateBlock: not recording");
  *stateBlock = new StateBlock(this, std::move(*recording_));
  recording_.reset();
  return D3D_OK;
}

void Device::ApplyChanges(const StateChanges& c) {
  for (auto& [state, value] : c.renderStates) state_.pipeline.renderStates[state] = value;
  for (auto& [key, value] : c.stageStates) state_.pipeline.stageStates[KeyStage(key)][KeyType(key)] = value;
  for (auto& [key, value] : c.samplerStates) state_.pipeline.samplerStates[KeyStage(key)][KeyType(key)] = value;
  for (auto& [state, matrix] : c.transforms) *TransformSlot(state_.pipeline, D3DTRANSFORMSTATETYPE(state)) = matrix;
  for (auto& [stage, texture] : c.textures) state_.textures[stage] = texture;
  for (auto& [index, light] : c.lights) SetLight(index, &light);
  for (auto& [index, enable] : c.lightEnables) LightEnable(index, enable);
  if (c.material) state_.pipeline.material = *c.material;
  if (c.viewport) state_.pipeline.viewport = *c.viewport;
  if (c.fvf) state_.fvf = *c.fvf;
  if (c.stream) state_.stream = *c.stream;
  if (c.indices) state_.indices = *c.indices;
}

void Device::CaptureInto(StateChanges& c) const {
  const raster::PipelineState& p = state_.pipeline;
  for (auto& [state, value] : c.renderStates) value = p.renderStates[state];
  for (auto& [key, value] : c.stageStates) value = p.stageStates[KeyStage(key)][KeyType(key)];
  for (auto& [key, value] : c.samplerStates) value = p.samplerStates[KeyStage(key)][KeyType(key)];
  for (auto& [state, matrix] : c.transforms) matrix = *TransformSlot(p, D3DTRANSFORMSTATETYPE(state));
  for (auto& [stage, texture] : c.textures) texture = state_.textures[stage];
  for (auto& [index, light] : c.lights) {
    auto found = state_.lights.find(index);
    if (found != state_.lights.end()) light = found->second.light;
  }
  for (auto& [index, enable] : c.lightEnables) {
    auto found = state_.lights.find(index);
    enable = found != state_.lights.end() && found->second.enabled;
  }
  if (c.material) c.material = p.material;
  if (c.viewport) c.viewport = p.viewport;
  if (c.fvf) c.fvf = state_.fvf;
  if (c.stream) c.stream = state_.stream;
  if (c.indices) c.indices = state_.indices;
}

}  // namespace d3d9impl
