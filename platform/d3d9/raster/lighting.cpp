// Per-vertex lighting. Positions and normals arrive in camera space; the lights are
// moved there once per draw. Results are clamped to 0..1 as the hardware does.
#include "lighting.h"

#include <math.h>

#include <algorithm>

#include "fixed_math.h"

namespace raster {
namespace {

float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalize(float v[3]) {
  float length = sqrtf(Dot(v, v));
  if (length > 0) {
    for (int i = 0; i < 3; ++i) v[i] /= length;
  }
}

void ToCamera(const D3DMATRIX& view, const D3DVECTOR& v, float w, float out[3]) {
  for (int c = 0; c < 3; ++c) {
    out[c] = v.x * view.m[0][c] + v.y * view.m[1][c] + v.z * view.m[2][c] + w * view.m[3][c];
  }
}

uint32_t Source(const PipelineState& state, D3DRENDERSTATETYPE which, bool hasDiffuse,
                bool hasSpecular) {
  if (!state.renderStates[D3DRS_COLORVERTEX]) return 0;
  DWORD source = state.renderStates[which];
  if (source == D3DMCS_COLOR1 && hasDiffuse) return 1;
  if (source == D3DMCS_COLOR2 && hasSpecular) return 2;
  return 0;
}

const float* Pick(uint32_t source, const D3DCOLORVALUE& material, const float colours[2][4]) {
  return source == 0 ? &material.r : colours[source - 1];
}

// Distance attenuation times the spot factor; 0 outside the range or the cone.
float Falloff(const CameraLight& light, const float toLight[3], float distance) {
  if (light.type == D3DLIGHT_DIRECTIONAL) return 1.0f;
  if (distance > light.range) return 0.0f;
  float denominator = light.attenuation[0] + light.attenuation[1] * distance +
                      light.attenuation[2] * distance * distance;
  float factor = denominator > 0 ? 1.0f / denominator : 1.0f;
  if (light.type != D3DLIGHT_SPOT) return factor;
  float rho = -Dot(toLight, light.direction);
  if (rho > light.cosHalfTheta) return factor;
  if (rho <= light.cosHalfPhi) return 0.0f;
  float t = (rho - light.cosHalfPhi) / (light.cosHalfTheta - light.cosHalfPhi);
  return factor * (light.falloff == 1.0f ? t : Power(t, light.falloff));
}

}  // namespace

void UnpackColor(D3DCOLOR color, float out[4]) {
  out[0] = static_cast<float>((color >> 16) & 0xff) / 255.0f;
  out[1] = static_cast<float>((color >> 8) & 0xff) / 255.0f;
  out[2] = static_cast<float>(color & 0xff) / 255.0f;
  out[3] = static_cast<float>(color >> 24) / 255.0f;
}

LightingSetup SetupLighting(const PipelineState& state, bool hasDiffuse, bool hasSpecular) {
  LightingSetup setup{};
  setup.lightCount = std::min(state.lightCount, kMaxLights);
  for (uint32_t i = 0; i < setup.lightCount; ++i) {
    const D3DLIGHT9& in = state.lights[i];
    CameraLight& out = setup.lights[i];
    out.type = in.Type;
    ToCamera(state.view, in.Position, 1.0f, out.position);
    ToCamera(state.view, in.Direction, 0.0f, out.direction);
    Normalize(out.direction);
    out.diffuse = in.Diffuse;
    out.specular = in.Specular;
    out.ambient = in.Ambient;
    out.range = in.Range;
    out.falloff = in.Falloff;
    out.attenuation[0] = in.Attenuation0;
    out.attenuation[1] = in.Attenuation1;
    out.attenuation[2] = in.Attenuation2;
    out.cosHalfTheta = Cosine(in.Theta * 0.5f);
    out.cosHalfPhi = Cosine(in.Phi * 0.5f);
  }
  UnpackColor(state.renderStates[D3DRS_AMBIENT], setup.ambient);
  setup.material = state.material;
  setup.diffuseSource = Source(state, D3DRS_DIFFUSEMATERIALSOURCE, hasDiffuse, hasSpecular);
  setup.ambientSource = Source(state, D3DRS_AMBIENTMATERIALSOURCE, hasDiffuse, hasSpecular);
  setup.specularSource = Source(state, D3DRS_SPECULARMATERIALSOURCE, hasDiffuse, hasSpecular);
  setup.emissiveSource = Source(state, D3DRS_EMISSIVEMATERIALSOURCE, hasDiffuse, hasSpecular);
  setup.specularEnabled = state.renderStates[D3DRS_SPECULARENABLE] != 0;
  setup.localViewer = state.renderStates[D3DRS_LOCALVIEWER] != 0;
  return setup;
}

void LightVertex(const LightingSetup& setup, const float position[3], const float normal[3],
                 const float colours[2][4], float diffuse[4], float specular[4]) {
  const float* md = Pick(setup.diffuseSource, setup.material.Diffuse, colours);
  const float* ma = Pick(setup.ambientSource, setup.material.Ambient, colours);
  const float* ms = Pick(setup.specularSource, setup.material.Specular, colours);
  const float* me = Pick(setup.emissiveSource, setup.material.Emissive, colours);
  float ambient[3] = {setup.ambient[0], setup.ambient[1], setup.ambient[2]};
  float lit[3] = {0, 0, 0}, shine[3] = {0, 0, 0};
  float toEye[3] = {0, 0, -1};
  if (setup.localViewer) {
    toEye[0] = -position[0], toEye[1] = -position[1], toEye[2] = -position[2];
    Normalize(toEye);
  }
  for (uint32_t i = 0; i < setup.lightCount; ++i) {
    const CameraLight& light = setup.lights[i];
    float toLight[3];
    float distance = 0;
    if (light.type == D3DLIGHT_DIRECTIONAL) {
      for (int c = 0; c < 3; ++c) toLight[c] = -light.direction[c];
    } else {
      for (int c = 0; c < 3; ++c) toLight[c] = light.position[c] - position[c];
      distance = sqrtf(Dot(toLight, toLight));
      Normalize(toLight);
    }
    float factor = Falloff(light, toLight, distance);
    if (factor <= 0) continue;
    float nDotL = std::max(0.0f, Dot(normal, toLight));
    const float* la = &light.ambient.r;
    const float* ld = &light.diffuse.r;
    for (int c = 0; c < 3; ++c) {
      ambient[c] += factor * la[c];
      lit[c] += factor * ld[c] * nDotL;
    }
    if (!setup.specularEnabled || nDotL <= 0) continue;
    float half[3] = {toLight[0] + toEye[0], toLight[1] + toEye[1], toLight[2] + toEye[2]};
    Normalize(half);
    float nDotH = Dot(normal, half);
    if (nDotH <= 0) continue;
    float power = setup.material.Power > 0 ? Power(nDotH, setup.material.Power) : 1.0f;
    const float* ls = &light.specular.r;
    for (int c = 0; c < 3; ++c) shine[c] += factor * ls[c] * power;
  }
  for (int c = 0; c < 3; ++c) {
    diffuse[c] = std::clamp(me[c] + ambient[c] * ma[c] + lit[c] * md[c], 0.0f, 1.0f);
    specular[c] = std::clamp(shine[c] * ms[c], 0.0f, 1.0f);
  }
  diffuse[3] = std::clamp(md[3], 0.0f, 1.0f);
  specular[3] = std::clamp(ms[3], 0.0f, 1.0f);
}

}  // namespace raster
