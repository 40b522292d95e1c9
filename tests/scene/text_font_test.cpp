// The texture font on a headless device: the size of the font it asks GDI for, the
// texture that holds the alphabet, the shrinking against a small device limit, the
// glyph texture itself against its reference, and the default-pool objects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "png_image.h"
#include "recording_device.h"
#include "scene_test_support.h"
#include "text_font.h"

namespace {

// A device that reports a smaller texture limit, or fails to make textures.
class LimitedDevice : public RecordingDevice {
 public:
  using RecordingDevice::RecordingDevice;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override {
    HRESULT result = RecordingDevice::GetDeviceCaps(caps);
    if (maxTextureWidth) caps->MaxTextureWidth = maxTextureWidth;
    return result;
  }
  HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DTexture9** t,
                        HANDLE* s) override {
    if (failTextures) return E_OUTOFMEMORY;
    return RecordingDevice::CreateTexture(w, h, l, u, f, p, t, s);
  }
  DWORD maxTextureWidth = 0;
  bool failTextures = false;
};

// What GDI measures for `text` in a bold Arial of the given character height.
SIZE Extent(int characterHeight, const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(-characterHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size));
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);
  return size;
}

// The cell of a character in texels: left, top, right, bottom.
RECT Cell(const TextFont& font, char ch) {
  const float* c = font.glyphCoords[ch - 32];
  return {LONG(c[0] * float(font.textureWidth) + 0.5f), LONG(c[1] * float(font.textureHeight) + 0.5f),
          LONG(c[2] * float(font.textureWidth) + 0.5f), LONG(c[3] * float(font.textureHeight) + 0.5f)};
}

// The cells lie inside the texture and no two overlap.
void ExpectCellsApart(const TextFont& font) {
  for (char a = 32; a < 127; ++a) {
    RECT ra = Cell(font, a);
    EXPECT_GE(ra.left, 0) << a;
    EXPECT_LE(ra.right, LONG(font.textureWidth)) << a;
    EXPECT_LE(ra.bottom, LONG(font.textureHeight)) << a;
    for (char b = char(a + 1); b < 127; ++b) {
      RECT rb = Cell(font, b);
      bool apart = ra.right <= rb.left || rb.right <= ra.left || ra.bottom <= rb.top || rb.bottom <= ra.top;
      EXPECT_TRUE(apart) << "cells of '" << a << "' and '" << b << "' overlap";
    }
  }
}

// The glyph texture as a grey picture: coverage in the colour, opaque throughout.
testsupport::Image GlyphImage(TextFont& font) {
  testsupport::Image image{font.textureWidth, font.textureHeight, {}};
  D3DLOCKED_RECT locked;
  EXPECT_EQ(font.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (UINT y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<const WORD*>(static_cast<const BYTE*>(locked.pBits) + y * UINT(locked.Pitch));
    for (UINT x = 0; x < image.width; ++x) {
      WORD texel = row[x];
      EXPECT_TRUE(texel == 0 || (texel & 0x0FFF) == 0x0FFF) << "texel " << x << "," << y << " is not white";
      uint32_t grey = uint32_t(texel >> 12) * 17;
      image.argb.push_back(0xFF000000u | grey << 16 | grey << 8 | grey);
    }
  }
  font.texture->UnlockRect(0);
  return image;
}

class TextFontTest : public ::testing::Test {
 protected:
  testsupport::TestDevice test_;
  LimitedDevice device_{test_.device};
};

TEST(GlyphSpacing, IsThreeTenthsInSinglePrecisionRoundedUp) {
  // 0.3f is 0.300000011920928955, so whole multiples of ten round up once more.
  EXPECT_EQ(GlyphSpacing(16), 5u);
  EXPECT_EQ(GlyphSpacing(10), 4u);
  EXPECT_EQ(GlyphSpacing(20), 7u);
  EXPECT_EQ(GlyphSpacing(3), 1u);
  EXPECT_EQ(GlyphSpacing(0), 0u);
}

TEST(TextFontConstruction, KeepsAtMostSeventyNineBytesOfTheFaceName) {
  std::string longName(100, 'n');
  TextFont font(longName.c_str(), 12, FontBold);
  EXPECT_EQ(std::strlen(font.faceName), 79u);
  TextFont exact(std::string(79, 'e').c_str(), 12, 0);
  EXPECT_EQ(std::string(exact.faceName), std::string(79, 'e'));
  EXPECT_EQ(font.spacing, 0u);
  EXPECT_EQ(font.texture, nullptr);
}

TEST(TextFontConstruction, InvalidateAndDeleteWithoutObjectsDoNothing) {
  TextFont font("Arial", 12, FontBold);
  EXPECT_EQ(font.InvalidateDeviceObjects(), S_OK);
  EXPECT_EQ(font.DeleteDeviceObjects(), S_OK);
  EXPECT_EQ(font.InvalidateDeviceObjects(), S_OK);
  EXPECT_EQ(font.vertexBuffer, nullptr);
  EXPECT_EQ(font.stateBlocks[0], nullptr);
  EXPECT_EQ(font.device, nullptr);
}

TEST_F(TextFontTest, TwelvePointsAtNinetySixDpiAskForSixteenPixels) {
  ASSERT_EQ(test_.created, D3D_OK);
  TextFont font("Arial", 12, FontBold);
  ASSERT_EQ(font.InitDeviceObjects(&device_), S_OK);
  EXPECT_EQ(font.textScale, 1.0f);
  SIZE x = Extent(16, "x"), w = Extent(16, "W");
  EXPECT_EQ(font.spacing, GlyphSpacing(x.cy));
  RECT cell = Cell(font, 'W');
  EXPECT_EQ(cell.right - cell.left, w.cx + 2 * LONG(font.spacing));
  EXPECT_EQ(cell.bottom - cell.top, w.cy);
  // Character 127 is never laid out.
  EXPECT_EQ(font.glyphCoords[95][2], 0.0f);
  ExpectCellsApart(font);
  font.DeleteDeviceObjects();
}

TEST_F(TextFontTest, TheTextureIsTheFirstPowerOfTwoFromOneTwentyEightThatHoldsTheAlphabet) {
  ASSERT_EQ(test_.created, D3D_OK);
  struct Case {
    DWORD points;
    DWORD size;
  };
  for (Case c : {Case{6, 128}, Case{12, 256}, Case{40, 1024}}) {
    TextFont font("Arial", c.points, FontBold);
    ASSERT_EQ(font.InitDeviceObjects(&device_), S_OK) << c.points;
    EXPECT_EQ(font.textureWidth, c.size) << c.points;
    EXPECT_EQ(font.textureHeight, c.size) << c.points;
    D3DSURFACE_DESC desc{};
    font.texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Width, c.size);
    ExpectCellsApart(font);
    font.DeleteDeviceObjects();
  }
}

TEST_F(TextFontTest, ASmallDeviceLimitShrinksTheFontUntilTheAlphabetFits) {
  ASSERT_EQ(test_.created, D3D_OK);
  struct Case {
    DWORD limit;
    int passes;  // shrinking passes after the first one
  };
  // The 14-point alphabet needs 256 texels; at 128 the first scale is enough, at the
  // smaller limits the truncated font sizes need further passes.
  for (Case c : {Case{128, 0}, Case{64, 1}, Case{48, 4}}) {
    device_.maxTextureWidth = c.limit;
    TextFont font("Arial", 14, FontBold);
    ASSERT_EQ(font.InitDeviceObjects(&device_), S_OK) << c.limit;
    EXPECT_EQ(font.textureWidth, c.limit);
    EXPECT_EQ(font.textureHeight, c.limit);
    // The scale starts at the limit over 256 and loses a tenth on every further pass.
    float scale = float(c.limit) / 256.0f;
    for (int pass = 0; pass < c.passes; ++pass) scale *= 0.9f;
    EXPECT_EQ(font.textScale, scale) << c.limit;
    // The cells have the height of the shrunk font.
    int pixels = MulDiv(14, int(96.0f * font.textScale), 72);
    EXPECT_EQ(Cell(font, 'W').bottom - Cell(font, 'W').top, Extent(pixels, "W").cy) << c.limit;
    ExpectCellsApart(font);
    font.DeleteDeviceObjects();
  }
}

TEST_F(TextFontTest, ALimitNoFontFitsUnderFailsInsteadOfLooping) {
  ASSERT_EQ(test_.created, D3D_OK);
  device_.maxTextureWidth = 8;
  TextFont font("Arial", 12, FontBold);
  EXPECT_EQ(font.InitDeviceObjects(&device_), E_FAIL);
  EXPECT_EQ(font.texture, nullptr);
  font.DeleteDeviceObjects();
}

TEST_F(TextFontTest, AFailedTextureIsTheDevicesCode) {
  ASSERT_EQ(test_.created, D3D_OK);
  device_.failTextures = true;
  TextFont font("Arial", 12, FontBold);
  EXPECT_EQ(font.InitDeviceObjects(&device_), E_OUTOFMEMORY);
  EXPECT_EQ(font.texture, nullptr);
  font.DeleteDeviceObjects();
}

TEST_F(TextFontTest, TheGlyphTextureMatchesItsReference) {
  ASSERT_EQ(test_.created, D3D_OK);
  TextFont font("Arial", 12, FontBold);
  ASSERT_EQ(font.InitDeviceObjects(&device_), S_OK);
  // One step of the four-bit coverage: rounding in the glyph blend may move a texel by one.
  EXPECT_EQ(testsupport::MatchReference(std::string(VESK_SCENE_REFERENCE_DIR) + "/glyph_texture.png",
                                        GlyphImage(font), 17),
            "");
  font.DeleteDeviceObjects();
}

TEST_F(TextFontTest, RestoreMakesTheVertexBufferAndTwoStateBlocksAndInvalidateReleasesThem) {
  ASSERT_EQ(test_.created, D3D_OK);
  TextFont font("Arial", 12, FontBold | FontDepthTest);
  ASSERT_EQ(font.InitDeviceObjects(&device_), S_OK);
  ASSERT_EQ(font.RestoreDeviceObjects(), S_OK);
  ASSERT_NE(font.vertexBuffer, nullptr);
  D3DVERTEXBUFFER_DESC desc{};
  font.vertexBuffer->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 9600u);
  EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC));
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  ASSERT_NE(font.stateBlocks[0], nullptr);
  ASSERT_NE(font.stateBlocks[1], nullptr);
  EXPECT_NE(font.stateBlocks[0], font.stateBlocks[1]);

  // Applying a block sets the recorded states.
  test_.device->SetRenderState(D3DRS_ALPHAREF, 0);
  test_.device->SetRenderState(D3DRS_ZENABLE, FALSE);
  ASSERT_EQ(font.stateBlocks[1]->Apply(), D3D_OK);
  DWORD value = 0;
  test_.device->GetRenderState(D3DRS_ALPHAREF, &value);
  EXPECT_EQ(value, 8u);
  test_.device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, DWORD(TRUE));

  EXPECT_EQ(font.InvalidateDeviceObjects(), S_OK);
  EXPECT_EQ(font.vertexBuffer, nullptr);
  EXPECT_EQ(font.stateBlocks[0], nullptr);
  EXPECT_EQ(font.stateBlocks[1], nullptr);
  EXPECT_NE(font.texture, nullptr);  // managed: it stays for the next restore
  font.DeleteDeviceObjects();
  EXPECT_EQ(font.texture, nullptr);
  EXPECT_EQ(font.device, nullptr);
}

}  // namespace
