// Whole scenes drawn through the device, presented, read back from the front buffer
// and compared exactly with reference images beside this file (tolerance 0: the
// renderer is deterministic). VESK_UPDATE_REFERENCES=1 rewrites the references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "d3dx9math.h"
#include "device_test_support.h"
#include "png_image.h"

namespace {

using testsupport::DeviceOptions;
using testsupport::TestDevice;

constexpr float kPi = 3.14159265f;
const std::string kReferences = VESK_REFERENCE_DIR;

struct GlobeVertex {  // the program's globe format: position, normal, two coordinate sets
  float x, y, z, nx, ny, nz, u0, v0, u1, v1;
};
struct BackdropVertex {
  float x, y, z, u, v;
};
struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR diffuse;
  float u, v;
};
struct LitVertex {
  float x, y, z, nx, ny, nz;
};

D3DXVECTOR3 OnSphere(float theta, float phi) {
  return {std::sin(theta) * std::sin(phi), std::cos(theta), -std::sin(theta) * std::cos(phi)};
}

// One strip over the sphere, band by band, joined by degenerate triangles; each band
// runs bottom, top, bottom, top so that the outside faces the camera clockwise.
std::vector<GlobeVertex> GlobeStrip(int rings, int segments) {
  std::vector<GlobeVertex> strip;
  for (int ring = 0; ring < rings; ++ring) {
    if (ring > 0) strip.push_back(strip.back());
    for (int s = 0; s <= segments; ++s) {
      for (int row : {ring + 1, ring}) {
        float theta = kPi * row / rings, phi = 2 * kPi * s / segments;
        D3DXVECTOR3 p = OnSphere(theta, phi);
        strip.push_back({p.x, p.y, p.z, p.x, p.y, p.z, 0, 0, float(s) / segments, float(row) / rings});
        if (ring > 0 && s == 0 && row == ring + 1) strip.push_back(strip.back());
      }
    }
  }
  return strip;
}

// A sphere seen from inside, as a triangle list.
std::vector<BackdropVertex> Backdrop(int rings, int segments) {
  std::vector<BackdropVertex> list;
  auto vertex = [&](int row, int s) {
    D3DXVECTOR3 p = OnSphere(kPi * row / rings, 2 * kPi * s / segments);
    return BackdropVertex{p.x, p.y, p.z, 4.0f * s / segments, 2.0f * row / rings};
  };
  for (int row = 0; row < rings; ++row)
    for (int s = 0; s < segments; ++s) {
      BackdropVertex a = vertex(row, s), b = vertex(row, s + 1), c = vertex(row + 1, s), d = vertex(row + 1, s + 1);
      list.insert(list.end(), {a, c, b, b, c, d});
    }
  return list;
}

// A texture whose texels follow `texel(x, y)` in A8R8G8B8, converted by the device's lock.
template <class Texel>
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT w, UINT h, D3DFORMAT format, Texel texel) {
  IDirect3DTexture9* texture = nullptr;
  if (FAILED(device->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr))) return nullptr;
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) {
      uint32_t argb = texel(x, y);
      auto* row = static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
      if (format == D3DFMT_R5G6B5) {
        uint16_t v = uint16_t(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
        std::memcpy(row + x * 2, &v, 2);
      } else if (format == D3DFMT_A4R4G4B4) {
        uint16_t v = uint16_t(((argb >> 16) & 0xF000) | ((argb >> 12) & 0x0F00) | ((argb >> 8) & 0x00F0) |
                              ((argb >> 4) & 0x000F));
        std::memcpy(row + x * 2, &v, 2);
      } else {
        std::memcpy(row + x * 4, &argb, 4);
      }
    }
  texture->UnlockRect(0);
  return texture;
}

template <class Vertex>
void Draw(IDirect3DDevice9* device, D3DPRIMITIVETYPE type, DWORD fvf, const std::vector<Vertex>& vertices,
          UINT primitives) {
  IDirect3DVertexBuffer9* buffer = testsupport::MakeVertexBuffer(device, vertices.data(),
                                                                 UINT(vertices.size() * sizeof(Vertex)));
  device->SetFVF(fvf);
  device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
  EXPECT_EQ(device->DrawPrimitive(type, 0, primitives), D3D_OK);
  device->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
}

testsupport::Image PresentAndRead(const TestDevice& test, const DeviceOptions& options) {
  EXPECT_EQ(test.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(test);
  testsupport::Image image{uint32_t(options.width), uint32_t(options.height), {}};
  for (int y = 0; y < options.height; ++y)
    for (int x = 0; x < options.width; ++x)
      image.argb.push_back(screen[size_t(options.y + y) * 1920 + options.x + x]);
  return image;
}

void SetCamera(IDirect3DDevice9* device, float aspect, D3DXMATRIX& view) {
  D3DXVECTOR3 eye(0, 0.6f, -3), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, kPi / 4, aspect, 1.0f, 100.0f);
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

// The globe scene: a textured strip over a textured backdrop, drawn by the lean span loops.
testsupport::Image GlobeOverBackdrop(DeviceOptions options) {
  options.width = 160;
  options.height = 120;
  TestDevice test(options);
  EXPECT_EQ(test.created, D3D_OK);
  if (!test.device) return {};
  IDirect3DDevice9* d = test.device;
  IDirect3DTexture9* stars = MakeTexture(d, 32, 32, D3DFMT_A8R8G8B8, [](UINT x, UINT y) {
    uint32_t grey = ((x * 7 + y * 13) % 29 == 0) ? 0xF0 : 0x10 + (x + y) % 8;
    return 0xFF000000u | grey << 16 | grey << 8 | std::min(grey + 0x20, 0xFFu);
  });
  IDirect3DTexture9* planet = MakeTexture(d, 64, 32, D3DFMT_R5G6B5, [](UINT x, UINT y) {
    bool land = ((x / 8) + (y / 8)) % 2 == 0;
    uint32_t band = y * 255 / 31;
    return land ? 0xFF208020u | band << 16 : 0xFF1030C0u | (255 - band) << 8;
  });
  D3DXMATRIX view, world, scale;
  SetCamera(d, 160.0f / 120.0f, view);
  EXPECT_EQ(d->BeginScene(), D3D_OK);
  D3DXMatrixScaling(&scale, 10, 10, 10);
  D3DXMATRIX backdropView = view;
  backdropView._41 = backdropView._42 = backdropView._43 = 0;
  d->SetTransform(D3DTS_WORLD, &scale);
  d->SetTransform(D3DTS_VIEW, &backdropView);
  d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  d->SetTexture(0, stars);
  std::vector<BackdropVertex> backdrop = Backdrop(8, 16);
  Draw(d, D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_TEX1, backdrop, UINT(backdrop.size() / 3));

  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  D3DXMatrixRotationY(&world, -0.5f);
  d->SetTransform(D3DTS_WORLD, &world);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetRenderState(D3DRS_WRAP0, D3DWRAPCOORD_0 | D3DWRAPCOORD_1);
  d->SetTexture(0, planet);
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
  std::vector<GlobeVertex> strip = GlobeStrip(15, 30);
  Draw(d, D3DPT_TRIANGLESTRIP, 0x212, strip, UINT(strip.size() - 2));
  d->SetTexture(0, nullptr);
  EXPECT_EQ(d->EndScene(), D3D_OK);
  testsupport::Image image = PresentAndRead(test, options);
  stars->Release();
  planet->Release();
  return image;
}

TEST(SceneReference, TexturedGlobeStripOverTexturedBackdrop) {
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_over_backdrop.png", GlobeOverBackdrop({}), 0), "");
}

// Alpha-tested, blended, textured quads through the general span loop.
testsupport::Image BlendedScreenQuads(DeviceOptions options) {
  options.width = 96;
  options.height = 64;
  options.backBufferFormat = D3DFMT_A8R8G8B8;
  TestDevice test(options);
  EXPECT_EQ(test.created, D3D_OK);
  if (!test.device) return {};
  IDirect3DDevice9* d = test.device;
  // White texels whose alpha is a diagonal ramp, like the font's glyph coverage.
  IDirect3DTexture9* glyphs = MakeTexture(d, 16, 16, D3DFMT_A4R4G4B4, [](UINT x, UINT y) {
    return uint32_t((x + y) * 255 / 30) << 24 | 0x00FFFFFFu;
  });
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF402010, 1.0f, 0), D3D_OK);
  EXPECT_EQ(d->BeginScene(), D3D_OK);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 0x08);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  d->SetTexture(0, glyphs);
  auto quad = [](float x, float y, float size, D3DCOLOR colour) {
    ScreenVertex a{x, y + size, 0.5f, 1, colour, 0, 1}, b{x, y, 0.5f, 1, colour, 0, 0},
        c{x + size, y + size, 0.5f, 1, colour, 1, 1}, e{x + size, y, 0.5f, 1, colour, 1, 0};
    return std::vector<ScreenVertex>{a, b, c, c, b, e};
  };
  std::vector<ScreenVertex> quads = quad(4, 4, 40, 0xFFFFFF00);
  std::vector<ScreenVertex> second = quad(30.5f, 14.25f, 48, 0x80FF80FF);
  quads.insert(quads.end(), second.begin(), second.end());
  Draw(d, D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, quads, 4);
  d->SetTexture(0, nullptr);
  EXPECT_EQ(d->EndScene(), D3D_OK);
  testsupport::Image image = PresentAndRead(test, options);
  glyphs->Release();
  return image;
}

TEST(SceneReference, AlphaTestedAndBlendedScreenQuadsOverAClear) {
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/blended_screen_quads.png", BlendedScreenQuads({}), 0), "");
}

// Two lit triangles crossing in depth.
testsupport::Image LitCrossingTriangles(DeviceOptions options) {
  options.width = 80;
  options.height = 80;
  TestDevice test(options);
  EXPECT_EQ(test.created, D3D_OK);
  if (!test.device) return {};
  IDirect3DDevice9* d = test.device;
  D3DXMATRIX view, world;
  SetCamera(d, 1.0f, view);
  D3DXMatrixRotationY(&world, 0.3f);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_WORLD, &world);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};
  light.Direction = {0.4f, -0.5f, 1.0f};
  d->SetLight(0, &light);
  d->LightEnable(0, TRUE);
  D3DMATERIAL9 material{};
  material.Diffuse = {0.2f, 0.6f, 1.0f, 1.0f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  d->SetMaterial(&material);
  d->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
  EXPECT_EQ(d->BeginScene(), D3D_OK);
  // Two triangles crossing each other in depth, both facing the camera.
  std::vector<LitVertex> triangles = {
      {-1.0f, -0.8f, 0.5f, 0, 0, -1},  {-0.2f, 0.9f, -0.5f, 0, 0.5f, -1}, {0.8f, -0.8f, 0.5f, 0, 0, -1},
      {-0.9f, 0.2f, -0.3f, -1, 0, -1}, {0.9f, 0.6f, 0.6f, 1, 0, -1},      {0.7f, -0.5f, -0.3f, 0, -1, -1},
  };
  Draw(d, D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL, triangles, 2);
  EXPECT_EQ(d->EndScene(), D3D_OK);
  return PresentAndRead(test, options);
}

TEST(SceneReference, LitTrianglesWithDepthTest) {
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/lit_depth_tested_triangles.png", LitCrossingTriangles({}), 0),
            "");
}

// The same scenes on multisampled back buffers: coverage and depth per sample, resolved
// at Present. Each sample count has references of its own.
DeviceOptions Multisampled(D3DMULTISAMPLE_TYPE type, DWORD quality = 0) {
  DeviceOptions options;
  options.multiSample = type;
  options.multiSampleQuality = quality;
  return options;
}

TEST(SceneReference, MultisampledGlobeOverBackdrop) {
  for (auto [type, name] : {std::pair{D3DMULTISAMPLE_2_SAMPLES, "2"}, {D3DMULTISAMPLE_4_SAMPLES, "4"},
                            {D3DMULTISAMPLE_8_SAMPLES, "8"}}) {
    EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_over_backdrop_" + name + "_samples.png",
                                          GlobeOverBackdrop(Multisampled(type)), 0),
              "");
  }
}

TEST(SceneReference, NonmaskableQualityLevelsDrawAsTheirSampleCounts) {
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/globe_over_backdrop_4_samples.png",
                                        GlobeOverBackdrop(Multisampled(D3DMULTISAMPLE_NONMASKABLE, 1)), 0),
            "");
}

TEST(SceneReference, MultisampledBlendedQuadsAndLitTriangles) {
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/blended_screen_quads_4_samples.png",
                                        BlendedScreenQuads(Multisampled(D3DMULTISAMPLE_4_SAMPLES)), 0),
            "");
  EXPECT_EQ(testsupport::MatchReference(kReferences + "/lit_depth_tested_triangles_4_samples.png",
                                        LitCrossingTriangles(Multisampled(D3DMULTISAMPLE_4_SAMPLES)), 0),
            "");
}

}  // namespace
