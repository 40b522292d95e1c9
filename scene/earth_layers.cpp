// The globe's optional layers. The sun is a directional light; each vertex of the
// layers' sphere carries, in its diffuse alpha, how much of the day picture shows there,
// and the texture stages blend the lit day picture with the night picture by that alpha
// (D3DTOP_BLENDDIFFUSEALPHA). The clouds are the same sphere, a little larger, turning a
// little faster, its picture's brightness made into alpha. The glow is a ring around the
// limb in the plane of the silhouette, added to what is behind it.
#include "earth_layers.h"

#include <algorithm>
#include <cmath>

#include "app_shell.h"
#include "media_texture.h"

namespace {

// The layers' own sphere: finer than the plain globe, so that the terminator's band,
// interpolated between vertices, keeps its shape.
constexpr int kLayerBands = 60;
constexpr int kLayerSectors = 120;
constexpr int kGlowSegments = 128;

struct LayerVertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR diffuse;  // white; alpha: how much of the day picture shows (1 day, 0 night)
  float u, v;
};
static_assert(sizeof(LayerVertex) == 36);
constexpr DWORD kLayerFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct GlowVertex {
  float x, y, z;
  D3DCOLOR diffuse;
};
static_assert(sizeof(GlowVertex) == 16);
constexpr DWORD kGlowFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

constexpr int kSphereVertices = (kLayerBands + 1) * (kLayerSectors + 1);
constexpr int kSphereTriangles = 2 * kLayerBands * kLayerSectors;
static_assert(kSphereVertices <= 65536, "16-bit indices");
constexpr int kGlowRingVertices = kGlowSegments + 1;
// The glow starts a little inside the limb, where the globe hides it, so that no gap
// opens between the globe's flat facets and the true circle.
constexpr float kGlowInside = 0.97f;
constexpr float kGlowAlpha = 0.8f;
constexpr int kGlowRed = 0x70, kGlowGreen = 0xa0, kGlowBlue = 0xff;

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

D3DXVECTOR3 Plus(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

D3DXVECTOR3 Times(const D3DXVECTOR3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v) {
  D3DXVECTOR3 out;
  D3DXVec3Normalize(&out, &v);
  return out;
}

// A direction of the scene in the object space of `world` (whose 3x3 part turns and
// may scale): the dot product with an object normal is then the one in the scene.
D3DXVECTOR3 ObjectDirection(const D3DXMATRIX& world, const D3DXVECTOR3& d) {
  return Normalized({world._11 * d.x + world._12 * d.y + world._13 * d.z,
                     world._21 * d.x + world._22 * d.y + world._23 * d.z,
                     world._31 * d.x + world._32 * d.y + world._33 * d.z});
}

// The camera's position in the scene, from a view matrix without scale.
D3DXVECTOR3 EyeOf(const D3DXMATRIX& view) {
  return {-(view._41 * view._11 + view._42 * view._12 + view._43 * view._13),
          -(view._41 * view._21 + view._42 * view._22 + view._43 * view._23),
          -(view._41 * view._31 + view._42 * view._32 + view._43 * view._33)};
}

DWORD Byte(float unit) { return DWORD(std::clamp(unit, 0.0f, 1.0f) * 255.0f + 0.5f); }

// The cloud picture's brightness becomes its alpha over white, on every level.
HRESULT CoverToAlpha(IDirect3DTexture9* texture) {
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->GetLevelDesc(level, &desc)) || desc.Format != D3DFMT_A8R8G8B8) return E_FAIL;
    if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return E_FAIL;
    for (UINT y = 0; y < desc.Height; ++y) {
      auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch);
      for (UINT x = 0; x < desc.Width; ++x) {
        DWORD c = row[x];
        DWORD luma = (((c >> 16) & 0xff) * 77 + ((c >> 8) & 0xff) * 150 + (c & 0xff) * 29 + 128) >> 8;
        row[x] = (luma << 24) | 0x00ffffffu;
      }
    }
    texture->UnlockRect(level);
  }
  return S_OK;
}

HRESULT LoadPicture(IDirect3DDevice9* device, const char* role, const char* file, D3DFORMAT format,
                    IDirect3DTexture9** texture) {
  HRESULT result = CreateTextureFromMediaFile(device, file, texture, format);
  if (FAILED(result)) ReportMediaFailure(role, file, kUnreadablePicture, result);
  return result;
}

void SetStage(IDirect3DDevice9* device, DWORD stage, DWORD colorOp, DWORD arg1, DWORD arg2, DWORD alphaOp,
              DWORD alphaArg) {
  device->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
  device->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
  device->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
  device->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
  device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, alphaArg);
  device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
}

// The direction to the sun in the scene for an angle in degrees: the camera looks along
// +z, so 0 points back at it (-z) and 90 to its right (+x).
D3DXVECTOR3 SunDirection(float degrees) {
  float radians = degrees * 0.017453292f;
  return {std::sin(radians), 0.0f, -std::cos(radians)};
}

// How much of the day picture a point with this cosine to the sun shows: 0 beyond the
// band on the night side, 1 beyond it on the day side, linear across it.
float DayWeight(float cosine) { return std::clamp(0.5f + 0.5f * cosine / kTerminatorHalfWidth, 0.0f, 1.0f); }

}  // namespace

HRESULT EarthLayers::Create(IDirect3DDevice9* device) {
  const char* night = look.nightFile[0] ? look.nightFile : kDefaultNightPicture;
  if (look.sun && FAILED(LoadPicture(device, "night picture", night, D3DFMT_X8R8G8B8, &nightTexture)))
    return ERR_MEDIA_NOT_FOUND;
  if (look.cloudsFile[0]) {
    if (FAILED(LoadPicture(device, "cloud picture", look.cloudsFile, D3DFMT_A8R8G8B8, &cloudTexture)))
      return ERR_MEDIA_NOT_FOUND;
    if (FAILED(CoverToAlpha(cloudTexture))) return E_FAIL;
  }
  if ((look.sun || cloudTexture) && FAILED(CreateSphere(device))) return E_FAIL;
  if (look.atmosphere &&
      FAILED(device->CreateVertexBuffer(4 * kGlowRingVertices * sizeof(GlowVertex), D3DUSAGE_WRITEONLY, kGlowFvf,
                                        D3DPOOL_MANAGED, &glowVertices, nullptr)))
    return E_FAIL;
  return S_OK;
}

void EarthLayers::Delete() {
  IUnknown** owned[] = {reinterpret_cast<IUnknown**>(&glowVertices), reinterpret_cast<IUnknown**>(&sphereIndices),
                        reinterpret_cast<IUnknown**>(&sphereVertices), reinterpret_cast<IUnknown**>(&cloudTexture),
                        reinterpret_cast<IUnknown**>(&nightTexture)};
  for (IUnknown** object : owned) {
    if (*object) (*object)->Release();
    *object = nullptr;
  }
}

HRESULT EarthLayers::CreateSphere(IDirect3DDevice9* device) {
  if (FAILED(device->CreateVertexBuffer(kSphereVertices * sizeof(LayerVertex), D3DUSAGE_WRITEONLY, kLayerFvf,
                                        D3DPOOL_MANAGED, &sphereVertices, nullptr)) ||
      FAILED(device->CreateIndexBuffer(kSphereTriangles * 3 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_MANAGED, &sphereIndices, nullptr)))
    return E_FAIL;
  WORD* index = nullptr;
  if (FAILED(sphereIndices->Lock(0, 0, reinterpret_cast<void**>(&index), 0))) return E_FAIL;
  // The plain globe's strip order, as a list: the same facing, so the same culling.
  for (int i = 0; i < kLayerBands; ++i) {
    for (int j = 0; j < kLayerSectors; ++j) {
      WORD a = WORD(i * (kLayerSectors + 1) + j), b = WORD(a + kLayerSectors + 1);
      WORD quad[6] = {a, b, WORD(a + 1), WORD(a + 1), b, WORD(b + 1)};
      index = std::copy(quad, quad + 6, index);
    }
  }
  sphereIndices->Unlock();
  FillSphere();
  return S_OK;
}

// The plain globe's mapping: u runs from 1 to 0 around the axis, v from the north pole.
void EarthLayers::FillSphere() {
  LayerVertex* out = nullptr;
  if (FAILED(sphereVertices->Lock(0, 0, reinterpret_cast<void**>(&out), 0))) return;
  sphereNormals.clear();
  sphereNormals.reserve(kSphereVertices);
  for (int i = 0; i <= kLayerBands; ++i) {
    float theta = float(i) * 3.1415927f / float(kLayerBands);
    float r = std::sin(theta), y = std::cos(theta);
    for (int j = 0; j <= kLayerSectors; ++j) {
      float phi = float(j) * 6.2831855f / float(kLayerSectors);
      D3DXVECTOR3 n(r * std::sin(phi), y, r * std::cos(phi));
      sphereNormals.push_back(n);
      *out++ = {n.x, n.y, n.z, n.x, n.y, n.z, 0xffffffffu, 1.0f - float(j) / float(kLayerSectors),
                float(i) / float(kLayerBands)};
    }
  }
  sphereVertices->Unlock();
}

// Only the weights change from frame to frame: the positions, normals and mapping stay.
void EarthLayers::LightSphere(const D3DXVECTOR3& sunInObject) {
  LayerVertex* out = nullptr;
  if (FAILED(sphereVertices->Lock(0, 0, reinterpret_cast<void**>(&out), 0))) return;
  for (const D3DXVECTOR3& n : sphereNormals) {
    (out++)->diffuse = (Byte(DayWeight(Dot(n, sunInObject))) << 24) | 0x00ffffffu;
  }
  sphereVertices->Unlock();
}

// The sun lights the material's white (the vertex colours' RGB) with floor + (1 - floor)
// times the cosine; the vertex colours' alpha passes through as the diffuse alpha.
void EarthLayers::SetSunLight(IDirect3DDevice9* device) {
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f - kDayFloor, 1.0f - kDayFloor, 1.0f - kDayFloor, 1.0f};
  D3DXVECTOR3 sun = SunDirection(look.sunDegrees);
  light.Direction = {-sun.x, -sun.y, -sun.z};
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  D3DMATERIAL9 material{};
  material.Diffuse = material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  DWORD floor = Byte(kDayFloor);
  device->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(floor, floor, floor));
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
}

void EarthLayers::DrawSphere(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_WRAP0, 0);
  device->SetFVF(kLayerFvf);
  device->SetStreamSource(0, sphereVertices, 0, sizeof(LayerVertex));
  device->SetIndices(sphereIndices);
  device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, kSphereVertices, 0, kSphereTriangles);
}

// Stage 0: the day picture times the light; stage 1: that or the night picture, by the
// diffuse alpha.
void EarthLayers::DrawLitGlobe(IDirect3DDevice9* device, const D3DXMATRIX& world, IDirect3DTexture9* day) {
  LightSphere(ObjectDirection(world, SunDirection(look.sunDegrees)));
  SetSunLight(device);
  device->SetTexture(0, day);
  SetStage(device, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
  device->SetTexture(1, nightTexture);
  SetStage(device, 1, D3DTOP_BLENDDIFFUSEALPHA, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_CURRENT);
  device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
  DrawSphere(device);
}

void EarthLayers::DrawOverGlobe(IDirect3DDevice9* device, const D3DXMATRIX& world, const D3DXMATRIX& view,
                                float spin) {
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetTexture(1, nullptr);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  if (cloudTexture) DrawClouds(device, world, spin);
  if (glowVertices) DrawGlow(device, world, view);
  RestoreStates(device);
}

void EarthLayers::DrawClouds(IDirect3DDevice9* device, const D3DXMATRIX& world, float spin) {
  D3DXMATRIX scale, drift, cloudWorld;
  D3DXMatrixScaling(&scale, kCloudRadius, kCloudRadius, kCloudRadius);
  D3DXMatrixRotationY(&drift, -kCloudDrift * spin);
  D3DXMatrixMultiply(&cloudWorld, &scale, &drift);
  D3DXMatrixMultiply(&cloudWorld, &cloudWorld, &world);
  device->SetTransform(D3DTS_WORLD, &cloudWorld);
  if (look.sun) {
    SetSunLight(device);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  } else {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
  }
  device->SetTexture(0, cloudTexture);
  SetStage(device, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  DrawSphere(device);
}

// The silhouette of the unit sphere seen from `eye` is a circle in the plane 1/d from
// the centre towards the eye, of radius sqrt(1 - 1/d^2); the ring scales it. With the
// sun, the glow dims towards the night side of the limb.
void EarthLayers::FillGlow(const D3DXVECTOR3& centre, const D3DXVECTOR3& eye) {
  D3DXVECTOR3 toEye = Plus(eye, Times(centre, -1.0f));
  float d = std::sqrt(Dot(toEye, toEye));
  D3DXVECTOR3 axis = Times(toEye, 1.0f / d);
  D3DXVECTOR3 up = std::fabs(axis.y) < 0.9f ? D3DXVECTOR3(0, 1, 0) : D3DXVECTOR3(1, 0, 0);
  D3DXVECTOR3 across = Normalized(Cross(up, axis)), upward = Cross(axis, across);
  D3DXVECTOR3 plane = Plus(centre, Times(axis, 1.0f / d));
  float limb = std::sqrt(1.0f - 1.0f / (d * d));
  D3DXVECTOR3 sun = SunDirection(look.sunDegrees);
  GlowVertex* out = nullptr;
  if (FAILED(glowVertices->Lock(0, 0, reinterpret_cast<void**>(&out), 0))) return;
  const float radii[4] = {kGlowInside, 1.0f, 1.0f, 1.0f + kGlowWidth};
  for (int strip = 0; strip < 2; ++strip) {
    for (int k = 0; k <= kGlowSegments; ++k) {
      float angle = float(k) * 6.2831855f / float(kGlowSegments);
      D3DXVECTOR3 radial = Plus(Times(across, std::cos(angle)), Times(upward, std::sin(angle)));
      float light = look.sun ? std::clamp(0.6f + Dot(radial, sun), 0.15f, 1.0f) : 1.0f;
      for (int edge = 0; edge < 2; ++edge) {
        float radius = radii[2 * strip + edge];
        float alpha = radius > 1.0f ? 0.0f : kGlowAlpha * light;
        D3DXVECTOR3 p = Plus(plane, Times(radial, limb * radius));
        *out++ = {p.x, p.y, p.z, D3DCOLOR_ARGB(Byte(alpha), kGlowRed, kGlowGreen, kGlowBlue)};
      }
    }
  }
  glowVertices->Unlock();
}

void EarthLayers::DrawGlow(IDirect3DDevice9* device, const D3DXMATRIX& world, const D3DXMATRIX& view) {
  D3DXVECTOR3 centre(world._41, world._42, world._43), eye = EyeOf(view);
  D3DXVECTOR3 toEye = Plus(eye, Times(centre, -1.0f));
  if (Dot(toEye, toEye) <= 1.0001f) return;  // the eye inside the globe sees no limb
  FillGlow(centre, eye);
  D3DXMATRIX identity;
  D3DXMatrixScaling(&identity, 1.0f, 1.0f, 1.0f);
  device->SetTransform(D3DTS_WORLD, &identity);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetTexture(0, nullptr);
  SetStage(device, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetFVF(kGlowFvf);
  device->SetStreamSource(0, glowVertices, 0, sizeof(GlowVertex));
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2 * kGlowSegments);
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2 * kGlowRingVertices, 2 * kGlowSegments);
}

// Back to the device's defaults, which the plain scene relies on; the stage states and
// textures of stage 0 are the scene's own reset.
void EarthLayers::RestoreStates(IDirect3DDevice9* device) {
  device->LightEnable(0, FALSE);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_AMBIENT, 0);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetTexture(1, nullptr);
  device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
}
