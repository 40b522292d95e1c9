// 32-bit textures sampled where they lie, without the renderer's converted copy: their
// frames are exactly those of the copy, whatever the X bytes of an X8R8G8B8 texture
// hold, and a change to a level shows in the next draw, wrap texels included.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device_test_support.h"

namespace {

using testsupport::TestDevice;

constexpr UINT kSide = 8;

// The texel at (x, y), as B, G, R and a fourth byte.
uint32_t Texel(UINT x, UINT y, uint32_t fourth) { return (fourth << 24) | (x * 30 << 16) | (y * 30 << 8) | (x ^ y) * 20; }

class TextureInPlace : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test_.created, D3D_OK); }

  IDirect3DTexture9* Make(D3DFORMAT format, uint32_t fourth) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(test_.device->CreateTexture(kSide, kSide, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Write(texture, [fourth](UINT x, UINT y) { return Texel(x, y, fourth); });
    return texture;
  }

  template <class Colour>
  static void Write(IDirect3DTexture9* texture, Colour colour) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    ASSERT_GE(locked.Pitch, INT(kSide * 4));
    for (UINT y = 0; y < kSide; ++y)
      for (UINT x = 0; x < kSide; ++x) {
        uint32_t c = colour(x, y);
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &c, 4);
      }
    texture->UnlockRect(0);
  }

  // The texture stretched over the window with u from 0.5 to 1.5 (WRAP): a linear
  // filter blends the last column with the first across the middle. Without `blend` the
  // renderer's lean loop draws it, which reads each texel pair, wrap texel included, in
  // one load; with it the texture's alpha shows in the frame.
  std::vector<uint32_t> Frame(IDirect3DTexture9* texture, bool blend) {
    IDirect3DDevice9* d = test_.device;
    // The texture's alpha goes into the frame through the blend: alpha 0 would leave
    // the black clear colour.
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    return testsupport::DrawTexturedQuads(
        test_, texture, {{0, 0, 0.5f, 1, 0.5f, 0}, {64, 0, 0.5f, 1, 1.5f, 0}, {0, 48, 0.5f, 1, 0.5f, 1}, {64, 48, 0.5f, 1, 1.5f, 1}});
  }

  TestDevice test_;
};

TEST_F(TextureInPlace, FramesAreThoseOfTheConvertedCopy) {
  // X bytes 0: the renderer cannot read those texels as they are and converts them.
  IDirect3DTexture9* copied = Make(D3DFMT_X8R8G8B8, 0x00);
  IDirect3DTexture9* opaque = Make(D3DFMT_X8R8G8B8, 0xFF);
  IDirect3DTexture9* argb = Make(D3DFMT_A8R8G8B8, 0xFF);
  IDirect3DTexture9* translucent = Make(D3DFMT_A8R8G8B8, 0x80);
  std::vector<uint32_t> blended;
  for (bool blend : {false, true}) {
    const std::vector<uint32_t> expected = Frame(copied, blend);
    if (blend) blended = expected;
    EXPECT_EQ(Frame(opaque, blend), expected) << "blend " << blend;
    EXPECT_EQ(Frame(argb, blend), expected) << "blend " << blend;
    EXPECT_EQ(Frame(translucent, blend) == expected, !blend) << "A8R8G8B8 alpha is the texels' own";
  }

  // A new first column, which the middle of the frame blends with the last one.
  const std::vector<uint32_t> before = Frame(copied, false);
  auto changed = [](UINT x, UINT y) { return x == 0 ? 0xFF10E0F0u : Texel(x, y, 0xFF); };
  Write(opaque, changed);
  Write(copied, changed);
  const std::vector<uint32_t> after = Frame(copied, false);
  EXPECT_NE(after, before);
  EXPECT_EQ(Frame(opaque, false), after) << "the change, wrap texels included, is seen at once";
  // And the other way: texels that stop being opaque are no longer read in place.
  Write(opaque, [](UINT x, UINT y) { return Texel(x, y, 0x00); });
  EXPECT_EQ(Frame(opaque, true), blended);
  for (IDirect3DTexture9* texture : {copied, opaque, argb, translucent}) texture->Release();
}

}  // namespace
