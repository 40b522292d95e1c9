// Direct3D 9's initial device state, and the light an unset light index gets.
#include "device_state.h"

namespace d3d9impl {

D3DLIGHT9 DefaultLight() {
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Direction = {0.0f, 0.0f, 1.0f};
  return light;
}

void ResetToDefaults(DeviceState& state, bool depthBuffer, UINT width, UINT height) {
  state = DeviceState{};
  state.pipeline = raster::DefaultPipelineState({0, 0, width, height, 0.0f, 1.0f});
  state.pipeline.renderStates[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
}

}  // namespace d3d9impl
