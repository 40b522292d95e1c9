// The Direct3D object: adapters, modes, capability and format queries.
#include <gtest/gtest.h>

#include "d3d9.h"

namespace {

class Direct3DTest : public ::testing::Test {
 protected:
  void SetUp() override { d3d_ = Direct3DCreate9(D3D_SDK_VERSION); ASSERT_NE(d3d_, nullptr); }
  void TearDown() override { EXPECT_EQ(d3d_->Release(), 0u); }
  IDirect3D9* d3d_ = nullptr;
};

TEST(Direct3DCreate, OnlyTheSdkVersionOfTheProgramGivesAnObject) {
  EXPECT_EQ(Direct3DCreate9(32), nullptr);
  EXPECT_EQ(Direct3DCreate9(0), nullptr);
}

TEST_F(Direct3DTest, HeadlessDesktopIsOneAdapterWithItsModeListedInEveryDisplayFormat) {
  ASSERT_EQ(d3d_->GetAdapterCount(), 1u);
  D3DDISPLAYMODE desktop{};
  ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &desktop), D3D_OK);
  EXPECT_EQ(desktop.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(desktop.RefreshRate, 60u);
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A2R10G10B10}) {
    UINT count = d3d_->GetAdapterModeCount(0, format);
    ASSERT_GT(count, 0u);
    bool desktopListed = false;
    for (UINT i = 0; i < count; ++i) {
      D3DDISPLAYMODE mode{};
      ASSERT_EQ(d3d_->EnumAdapterModes(0, format, i, &mode), D3D_OK);
      EXPECT_EQ(mode.Format, format);
      EXPECT_LE(mode.Width, desktop.Width);
      desktopListed |= mode.Width == desktop.Width && mode.Height == desktop.Height;
    }
    EXPECT_TRUE(desktopListed);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d_->EnumAdapterModes(0, format, count, &mode), D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
  EXPECT_EQ(d3d_->GetAdapterModeCount(1, D3DFMT_X8R8G8B8), 0u);
}

TEST_F(Direct3DTest, IdentifierDescribesTheRendererAndTheDisplay) {
  D3DADAPTER_IDENTIFIER9 id{};
  ASSERT_EQ(d3d_->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_STREQ(id.Description, "Vesk software renderer on Headless desktop");
  EXPECT_EQ(d3d_->GetAdapterIdentifier(1, 0, &id), D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, HalAndRefAreServedTheSoftwareDeviceIsNot) {
  D3DCAPS9 caps{};
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_NULLREF, &caps), D3DERR_INVALIDCALL);
  for (D3DDEVTYPE type : {D3DDEVTYPE_HAL, D3DDEVTYPE_REF}) {
    ASSERT_EQ(d3d_->GetDeviceCaps(0, type, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, type);
    EXPECT_EQ(caps.PrimitiveMiscCaps & 0x1000u, 0u) << "never a null reference device";
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_TRUE(caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP);
    EXPECT_TRUE(caps.TextureAddressCaps & D3DPTADDRESSCAPS_MIRROR);
    EXPECT_EQ(caps.MaxTextureWidth, 8192u);
  }
}

struct FormatCase {
  DWORD usage;
  D3DRESOURCETYPE type;
  D3DFORMAT format;
  HRESULT expected;
};

TEST_F(Direct3DTest, CheckDeviceFormatRespectsUsageAndResourceType) {
  const FormatCase cases[] = {
      {0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_V8U8, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_L6V5U5, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_X8L8V8U8, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_DXT5, D3D_OK},
      {0, D3DRTYPE_TEXTURE, D3DFMT_Q8W8V8U8, D3DERR_NOTAVAILABLE},
      {0, D3DRTYPE_TEXTURE, D3DFMT_D24S8, D3DERR_NOTAVAILABLE},
      {0, D3DRTYPE_CUBETEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
      {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24X4S4, D3D_OK},
      {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_A4R4G4B4, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_QUERY_LEGACYBUMPMAP, D3DRTYPE_TEXTURE, D3DFMT_V8U8, D3D_OK},
      {D3DUSAGE_QUERY_LEGACYBUMPMAP, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_SURFACE,
       D3DFMT_A8R8G8B8, D3D_OK},
      {D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_L8, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_QUERY_SRGBREAD, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
      {D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
      {0x40000000, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL},
  };
  for (const FormatCase& c : cases)
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, c.type, c.format),
              c.expected)
        << "usage " << c.usage << " type " << c.type << " format " << c.format;
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, BackBufferFormatsPairWithDisplayFormats) {
  auto check = [&](D3DFORMAT adapter, D3DFORMAT back, BOOL windowed) {
    return d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, adapter, back, windowed);
  };
  EXPECT_EQ(check(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE), D3D_OK);
  EXPECT_EQ(check(D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, FALSE), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE), D3D_OK);
  EXPECT_EQ(check(D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, FALSE), D3D_OK);
  EXPECT_EQ(check(D3DFMT_A2R10G10B10, D3DFMT_A2R10G10B10, FALSE), D3D_OK);
  EXPECT_EQ(check(D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE), D3D_OK) << "windowed presents convert";
  EXPECT_EQ(check(D3DFMT_R5G6B5, D3DFMT_R5G6B5, TRUE), D3DERR_NOTAVAILABLE) << "not the desktop's format";
  EXPECT_EQ(check(D3DFMT_A2R10G10B10, D3DFMT_A2R10G10B10, TRUE), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE),
            D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, DepthStencilAndMultisampleQueries) {
  EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_D32), D3D_OK);
  EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_L8),
            D3DERR_NOTAVAILABLE);
  DWORD quality = 0;
  EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, TRUE,
                                             D3DMULTISAMPLE_NONE, &quality), D3D_OK);
  EXPECT_EQ(quality, 1u);
  EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D16, TRUE, D3DMULTISAMPLE_NONE, nullptr),
            D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                             D3DMULTISAMPLE_3_SAMPLES, &quality), D3DERR_NOTAVAILABLE);
}

}  // namespace
