// Fixed-function vertex lighting in camera space: material colours (from the material
// or the vertex colours), the ambient render state, and directional, point and spot
// lights with range, attenuation and the spot cone.
#pragma once

#include <stdint.h>

#include "pipeline.h"

namespace raster {

struct CameraLight {
  D3DLIGHTTYPE type;
  float position[3];   // camera space
  float direction[3];  // camera space, normalised, pointing from the light
  D3DCOLORVALUE diffuse, specular, ambient;
  float range, falloff, attenuation[3];
  float cosHalfTheta, cosHalfPhi;
};

struct LightingSetup {
  CameraLight lights[kMaxLights];
  uint32_t lightCount;
  float ambient[4];  // D3DRS_AMBIENT
  D3DMATERIAL9 material;
  // Which vertex colour (0 none, 1 diffuse, 2 specular) feeds each material colour.
  uint32_t diffuseSource, ambientSource, specularSource, emissiveSource;
  bool specularEnabled;
  bool localViewer;
};

LightingSetup SetupLighting(const PipelineState& state, bool hasDiffuse, bool hasSpecular);

// `colours` holds the vertex's diffuse then specular colour (RGBA, 0..1), where present.
void LightVertex(const LightingSetup& setup, const float position[3], const float normal[3],
                 const float colours[2][4], float diffuse[4], float specular[4]);

// A D3DCOLOR as four floats in 0..1, in r, g, b, a order.
void UnpackColor(D3DCOLOR color, float out[4]);

}  // namespace raster
