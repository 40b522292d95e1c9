// Fixed-function lighting with vertex colours as the material, as the Earth's sun uses
// it: a directional light on a full-screen quad whose normal faces the camera, the lit
// colour read back through a stage that selects the diffuse colour (and its alpha,
// replicated). Exact bytes: the values are chosen to fall on whole steps of 1/255.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "device_test_support.h"

namespace {

struct ColouredVertex {
  float x, y, z, nx, ny, nz;
  D3DCOLOR diffuse;
};

struct LightingCase {
  const char* what;
  DWORD colorVertex, diffuseSource;
  D3DCOLOR vertexColour;
  float cosine;         // between the normal and the direction to the light
  uint32_t rgb, alpha;  // the lit diffuse colour and alpha, as bytes
};

// Ambient 0.2 (0x33) times the white material ambient, plus the light's 0.4 times the
// cosine times the diffuse material: the vertex colour or the material's (0.6, 0.2, 1).
const LightingCase kCases[] = {
    {"vertex colour, light straight on", TRUE, D3DMCS_COLOR1, 0x80FFFFFFu, 1.0f, 0x999999u, 0x80u},
    {"vertex colour per channel", TRUE, D3DMCS_COLOR1, 0x40FF8000u, 1.0f, 0x996633u, 0x40u},
    {"vertex colour, light at 60 degrees", TRUE, D3DMCS_COLOR1, 0xC0FFFFFFu, 0.5f, 0x666666u, 0xC0u},
    {"vertex colour, light behind: ambient only", TRUE, D3DMCS_COLOR1, 0x20FFFFFFu, -0.5f, 0x333333u, 0x20u},
    {"material source", TRUE, D3DMCS_MATERIAL, 0x40FF8000u, 1.0f, 0x704799u, 0x99u},
    {"vertex colours off", FALSE, D3DMCS_COLOR1, 0x40FF8000u, 1.0f, 0x704799u, 0x99u},
};

uint32_t DrawLit(testsupport::TestDevice& test, const LightingCase& c, bool alpha) {
  IDirect3DDevice9* d = test.device;
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {0.4f, 0.4f, 0.4f, 1.0f};
  light.Direction = {std::sqrt(1.0f - c.cosine * c.cosine), 0.0f, c.cosine};
  d->SetLight(0, &light);
  d->LightEnable(0, TRUE);
  D3DMATERIAL9 material{};
  material.Diffuse = {0.6f, 0.2f, 1.0f, 0.6f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  d->SetMaterial(&material);
  d->SetRenderState(D3DRS_AMBIENT, 0xFF333333u);
  d->SetRenderState(D3DRS_COLORVERTEX, c.colorVertex);
  d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseSource);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE | (alpha ? D3DTA_ALPHAREPLICATE : 0));
  const std::vector<ColouredVertex> quad = {{-1, 1, 0.5f, 0, 0, -1, c.vertexColour},
                                            {1, 1, 0.5f, 0, 0, -1, c.vertexColour},
                                            {-1, -1, 0.5f, 0, 0, -1, c.vertexColour},
                                            {1, -1, 0.5f, 0, 0, -1, c.vertexColour}};
  IDirect3DVertexBuffer9* buffer =
      testsupport::MakeVertexBuffer(d, quad.data(), UINT(quad.size() * sizeof(ColouredVertex)));
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
  EXPECT_EQ(d->BeginScene(), D3D_OK);
  d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
  d->SetStreamSource(0, buffer, 0, sizeof(ColouredVertex));
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  d->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
  EXPECT_EQ(d->EndScene(), D3D_OK);
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  testsupport::DeviceOptions options;
  return testsupport::ReadFrontBuffer(test)[size_t(options.y + 20) * 1920 + options.x + 30] & 0xFFFFFFu;
}

TEST(VertexColourLighting, TheLitColourAndAlphaComeFromTheChosenMaterialSource) {
  testsupport::TestDevice test;
  ASSERT_EQ(test.created, D3D_OK);
  for (const LightingCase& c : kCases) {
    EXPECT_EQ(DrawLit(test, c, false), c.rgb) << c.what;
    EXPECT_EQ(DrawLit(test, c, true), c.alpha * 0x010101u) << c.what;
  }
}

}  // namespace
