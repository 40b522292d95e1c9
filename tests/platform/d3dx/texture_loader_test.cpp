// D3DXCreateTextureFromFile(Ex)A through a real device: files written by ImageMagick,
// sizes fitted to the device, mip chains, format choice, and bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "d3dx9.h"
#include "device_test_support.h"
#include "formats.h"
#include "scratch_dir.h"

namespace {

using testsupport::TestDevice;

class TextureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
  }

  // Runs ImageMagick's own convert (not whatever `convert` is first on the path).
  std::string Convert(const std::string& arguments, const std::string& name) {
    std::string path = dir_ / name;
    std::string command = std::string(VESK_CONVERT) + " " + arguments + " " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  IDirect3DTexture9* Load(const std::string& path, D3DFORMAT format, HRESULT expected = D3D_OK,
                          D3DXIMAGE_INFO* info = nullptr) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileExA(test_.device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           format, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR,
                                           D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 0, info, nullptr, &texture),
              expected);
    return texture;
  }

  testsupport::ScratchDir dir_{"vesk-texture"};
  TestDevice test_;
};

D3DSURFACE_DESC LevelDesc(IDirect3DTexture9* texture, UINT level) {
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(level, &desc);
  return desc;
}

uint16_t Texel16(IDirect3DTexture9* texture, UINT x, UINT y) {
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  uint16_t value = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch)[x];
  texture->UnlockRect(0);
  return value;
}

TEST_F(TextureLoaderTest, PngTakesItsSizeAFullMipChainAndTheAskedFormat) {
  std::string path = Convert("-size 37x19 xc:'#FF8000'", "orange.png");
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* texture = Load(path, D3DFMT_R5G6B5, D3D_OK, &info);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(info.Width, 37u);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  EXPECT_EQ(texture->GetLevelCount(), 6u) << "37x19 down to 1x1";
  EXPECT_EQ(LevelDesc(texture, 0).Width, 37u);
  EXPECT_EQ(LevelDesc(texture, 0).Format, D3DFMT_R5G6B5);
  EXPECT_EQ(LevelDesc(texture, 5).Width, 1u);
  EXPECT_EQ(Texel16(texture, 36, 18), uint16_t(0xFC00)) << "FF8000 in 5:6:5";
  texture->Release();
}

TEST_F(TextureLoaderTest, ImageLargerThanTheDeviceIsFittedKeepingItsShape) {
  std::string path = Convert("-size 9000x10 xc:gray", "wide.png");
  IDirect3DTexture9* texture = Load(path, D3DFMT_R5G6B5);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(LevelDesc(texture, 0).Width, 8192u);
  EXPECT_EQ(LevelDesc(texture, 0).Height, 9u);
  texture->Release();
}

TEST_F(TextureLoaderTest, DefaultFormatFollowsTheFile) {
  struct Case {
    const char* arguments;
    const char* name;
    D3DFORMAT expected;
  } cases[] = {
      {"-size 8x8 xc:gray50 -depth 8", "grey.pgm", D3DFMT_L8},
      {"-size 8x8 xc:'rgba(10,20,30,0.5)'", "alpha.png", D3DFMT_A8R8G8B8},
      {"-size 8x8 xc:red -define dds:compression=dxt5", "compressed.dds", D3DFMT_A8R8G8B8},
      {"-size 8x8 xc:blue -type TrueColor", "plain.bmp", D3DFMT_X8R8G8B8},
  };
  for (const Case& c : cases) {
    std::string path = Convert(c.arguments, c.name);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(test_.device, path.c_str(), &texture), D3D_OK) << c.name;
    EXPECT_EQ(LevelDesc(texture, 0).Format, c.expected) << c.name;
    EXPECT_EQ(LevelDesc(texture, 0).Pool, D3DPOOL_MANAGED);
    texture->Release();
  }
}

TEST_F(TextureLoaderTest, MissingAndCorruptFilesFailWithTheirCodes) {
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileA(test_.device, (dir_ / "none.png").c_str(), &texture), HRESULT(0x80070002));
  std::ofstream(dir_ / "junk.jpg") << "this is not a picture at all";
  EXPECT_EQ(D3DXCreateTextureFromFileA(test_.device, (dir_ / "junk.jpg").c_str(), &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXCreateTextureFromFileA(test_.device, dir_.path().c_str(), &texture), HRESULT(0x80070002)) << "a directory";
  EXPECT_EQ(texture, nullptr);
}

// The texels of every level of a texture, rows without their padding.
std::vector<std::vector<uint8_t>> AllTexels(IDirect3DTexture9* texture) {
  std::vector<std::vector<uint8_t>> levels;
  for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
    D3DSURFACE_DESC desc = LevelDesc(texture, i);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(i, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t rowBytes = raster::RowPitch(*raster::FindFormat(desc.Format), desc.Width);
    std::vector<uint8_t> texels;
    for (UINT y = 0; y < desc.Height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
      texels.insert(texels.end(), row, row + rowBytes);
    }
    texture->UnlockRect(i);
    levels.push_back(std::move(texels));
  }
  return levels;
}

ULONG DeviceReferences(IDirect3DDevice9* device) {
  device->AddRef();
  return device->Release();
}

// JPEG and PNG pictures go into the texture as they are decoded: straight into a 32-bit
// texture that holds them unchanged, converted band by band into any other. A colour
// key that matches no pixel sends the same picture through the copy from decoded
// pixels, and every level and a drawn frame (which samples across the wrapped edge)
// come out the same. The larger pictures are converted in several bands.
TEST_F(TextureLoaderTest, PicturesDecodedIntoTheTextureMatchTheCopiedOnes) {
  struct Case {
    const char* arguments;
    const char* name;
  } cases[] = {
      {"-seed 3 -size 45x21 plasma: -quality 90", "colour.jpg"},
      {"-seed 4 -size 30x17 plasma: -colorspace Gray -quality 90", "grey.jpg"},
      {"-seed 5 -size 33x20 plasma:", "opaque.png"},
      {"-seed 6 -size 33x20 plasma: -alpha set -channel A -fx 'i/w' +channel", "alpha.png"},
      {"-seed 7 -size 26x18 plasma: -interlace PNG", "interlaced.png"},
      {"-seed 9 -size 500x600 plasma: -quality 80", "bands.jpg"},
      {"-seed 10 -size 400x700 plasma:", "bands.png"},
  };
  constexpr D3DCOLOR kUnusedKey = 0x01FEDCBA;
  const std::vector<testsupport::TexturedVertex> quad{
      {0, 0, 0.5f, 1, -0.5f, -0.5f}, {64, 0, 0.5f, 1, 1.5f, -0.5f}, {0, 48, 0.5f, 1, -0.5f, 1.5f},
      {64, 48, 0.5f, 1, 1.5f, 1.5f}};
  test_.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  test_.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  for (const Case& c : cases) {
    std::string path = Convert(c.arguments, c.name);
    for (D3DFORMAT format : {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4}) {
      SCOPED_TRACE(std::string(c.name) + " format " + std::to_string(int(format)));
      IDirect3DTexture9* direct = nullptr;
      IDirect3DTexture9* copied = nullptr;
      ASSERT_EQ(D3DXCreateTextureFromFileExA(test_.device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                             nullptr, &direct),
                D3D_OK);
      ASSERT_EQ(D3DXCreateTextureFromFileExA(test_.device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, kUnusedKey,
                                             nullptr, nullptr, &copied),
                D3D_OK);
      EXPECT_EQ(LevelDesc(direct, 0).Format, LevelDesc(copied, 0).Format);
      EXPECT_EQ(direct->GetLevelCount(), copied->GetLevelCount());
      EXPECT_EQ(testsupport::DrawTexturedQuads(test_, direct, quad), testsupport::DrawTexturedQuads(test_, copied, quad));
      EXPECT_EQ(AllTexels(direct), AllTexels(copied));
      direct->Release();
      copied->Release();
    }
  }
}

// A picture cut short fails as it did, and the texture it was being decoded into is
// gone (the device holds no reference more than before), whether it went in as it is
// or through the converting thread.
TEST_F(TextureLoaderTest, TruncatedPicturesLeaveNoTexture) {
  for (const char* name : {"cut.jpg", "cut.png"}) {
    std::string path = Convert("-seed 8 -size 64x100 plasma: -quality 90", name);
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
      SCOPED_TRACE(std::string(name) + " format " + std::to_string(int(format)));
      ULONG before = DeviceReferences(test_.device);
      IDirect3DTexture9* texture = Load(path, format, D3DXERR_INVALIDDATA);
      EXPECT_EQ(texture, nullptr);
      EXPECT_EQ(DeviceReferences(test_.device), before);
    }
  }
}

}  // namespace
