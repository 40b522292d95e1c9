// EarthLayers: the globe's optional look, drawn through the device's fixed-function
// means: a sun fixed in the scene that lights the day side and blends to a night picture
// (a directional light, vertex colours and two texture stages), a cloud sphere drifting
// over the ground (alpha blending), and a glow around the limb (additive blending).
// With nothing chosen it makes no device call at all, so the plain globe stays as it is.
#pragma once

#include <vector>

#include "d3dx9.h"

// What the user chose; all zero chooses nothing.
struct EarthLook {
  bool sun = false;
  float sunDegrees = 0.0f;    // sun to camera, around the vertical axis; 90 lights the right half
  char nightFile[260] = {};   // CP932; empty: kDefaultNightPicture (used with the sun only)
  char cloudsFile[260] = {};  // CP932; empty: no clouds
  bool atmosphere = false;
};

constexpr char kDefaultNightPicture[] = "night.jpg";
// The clouds turn this much faster than the ground: over one turn of the globe they
// drift a tenth of a turn eastwards against it.
constexpr float kCloudDrift = 0.1f;
// The cloud sphere's radius, the globe's being 1.
constexpr float kCloudRadius = 1.015f;
// The day side is lit as floor + (1 - floor) * cos(sun angle), so oceans stay readable.
constexpr float kDayFloor = 0.3f;
// Half the width of the terminator's band, as the sine of its angle (6 degrees): across
// it the night picture fades into the day picture.
constexpr float kTerminatorHalfWidth = 0.104528f;
// The glow reaches this fraction of the disc's radius beyond the limb.
constexpr float kGlowWidth = 0.04f;

class EarthLayers {
 public:
  EarthLayers() = default;
  ~EarthLayers() { Delete(); }
  EarthLayers(const EarthLayers&) = delete;
  EarthLayers& operator=(const EarthLayers&) = delete;

  bool Chosen() const { return look.sun || look.cloudsFile[0] || look.atmosphere; }

  // Loads the chosen pictures and makes the buffers; a picture that cannot be loaded is
  // reported on standard error with its name, and the result is a failure.
  HRESULT Create(IDirect3DDevice9* device);
  void Delete();

  // The globe lit by the sun, in place of the plain globe's draw.
  void DrawLitGlobe(IDirect3DDevice9* device, const D3DXMATRIX& world, IDirect3DTexture9* day);
  // The clouds and the glow, after the globe; `spin` is the ground's spin angle.
  void DrawOverGlobe(IDirect3DDevice9* device, const D3DXMATRIX& world, const D3DXMATRIX& view, float spin);

  EarthLook look;
  IDirect3DTexture9* nightTexture = nullptr;
  IDirect3DTexture9* cloudTexture = nullptr;
  IDirect3DVertexBuffer9* sphereVertices = nullptr;
  IDirect3DIndexBuffer9* sphereIndices = nullptr;
  IDirect3DVertexBuffer9* glowVertices = nullptr;

 private:
  HRESULT CreateSphere(IDirect3DDevice9* device);
  // Writes the sphere's vertices, all day, and keeps their normals.
  void FillSphere();
  // Sets each vertex's day weight for a sun at `sunInObject`; the rest of the vertices
  // stay as FillSphere wrote them.
  void LightSphere(const D3DXVECTOR3& sunInObject);
  void FillGlow(const D3DXVECTOR3& centre, const D3DXVECTOR3& eye);
  void SetSunLight(IDirect3DDevice9* device);
  void DrawSphere(IDirect3DDevice9* device);
  void DrawClouds(IDirect3DDevice9* device, const D3DXMATRIX& world, float spin);
  void DrawGlow(IDirect3DDevice9* device, const D3DXMATRIX& world, const D3DXMATRIX& view);
  void RestoreStates(IDirect3DDevice9* device);

  std::vector<D3DXVECTOR3> sphereNormals;
};
