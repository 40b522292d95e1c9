// Mip levels that the texture loader leaves to be made when first read: every way of
// reading a level gives exactly the texels of the chain made at once (decode, triangle
// filter level by level in ARGB, convert), and nothing else about the texture changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "d3d9ext.h"
#include "d3dx9.h"
#include "device_test_support.h"
#include "formats.h"
#include "image_file.h"
#include "scratch_dir.h"
#include "texel_formats.h"

namespace {

using testsupport::TestDevice;
using Bytes = std::vector<uint8_t>;

class DeferredMipsTest : public ::testing::TestWithParam<D3DFORMAT> {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
    // Colour noise with an alpha ramp, in a size that is no power of two.
    path_ = dir_ / "noise.png";
    std::string command = std::string(VESK_CONVERT) + " -seed 5 -size 37x19 plasma: -alpha set -channel A -fx 'i/w' +channel " + path_;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    eager_ = EagerLevels();
  }

  // The chain as the loader made it before levels were deferred: the decoded picture,
  // BuildMipChain, then each level converted into the texture's format.
  std::vector<Bytes> EagerLevels() const {
    std::ifstream in(path_, std::ios::binary);
    Bytes file{std::istreambuf_iterator<char>(in), {}};
    d3dximage::ImageFile image;
    EXPECT_EQ(d3dximage::DecodeImageFile(file, image, 16384), d3dximage::DecodeResult::Ok);
    d3dximage::BuildMipChain(image.levels, 0);
    std::vector<Bytes> levels;
    const raster::FormatInfo& info = *raster::FindFormat(GetParam());
    for (const d3dximage::ImageLevel& level : image.levels) {
      uint32_t pitch = raster::RowPitch(info, level.width);
      Bytes bytes(size_t(pitch) * level.height);
      raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(level.argb.data()), level.width * 4,
                          GetParam(), bytes.data(), pitch, level.width, level.height);
      levels.push_back(std::move(bytes));
    }
    return levels;
  }

  IDirect3DTexture9* Load() {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileExA(test_.device, path_.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           GetParam(), D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR,
                                           D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 0, nullptr, nullptr, &texture),
              D3D_OK);
    return texture;
  }

  // The texels of a locked level, without any padding after the rows.
  static Bytes Texels(const D3DLOCKED_RECT& locked, const D3DSURFACE_DESC& desc) {
    uint32_t rowBytes = raster::RowPitch(*raster::FindFormat(desc.Format), desc.Width);
    Bytes bytes;
    for (UINT y = 0; y < desc.Height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
      bytes.insert(bytes.end(), row, row + rowBytes);
    }
    return bytes;
  }

  // Level `level` read through a surface from GetSurfaceLevel.
  static Bytes ReadLevel(IDirect3DTexture9* texture, UINT level) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    Bytes bytes = Texels(locked, desc);
    surface->UnlockRect();
    surface->Release();
    return bytes;
  }

  // Level `level` read through the texture's own LockRect.
  static Bytes LockLevel(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(level, &desc);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    Bytes bytes = Texels(locked, desc);
    texture->UnlockRect(level);
    return bytes;
  }

  testsupport::ScratchDir dir_{"vesk-deferred-mips"};
  TestDevice test_;
  std::string path_;
  std::vector<Bytes> eager_;
};

TEST_P(DeferredMipsTest, CountAndDescriptionsAreThoseOfTheFullChain) {
  IDirect3DTexture9* texture = Load();
  ASSERT_NE(texture, nullptr);
  ASSERT_EQ(texture->GetLevelCount(), 6u) << "37x19 down to 1x1";
  const UINT widths[] = {37, 18, 9, 4, 2, 1}, heights[] = {19, 9, 4, 2, 1, 1};
  for (UINT i = 0; i < 6; ++i) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(i, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, widths[i]);
    EXPECT_EQ(desc.Height, heights[i]);
    EXPECT_EQ(desc.Format, GetParam());
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  }
  texture->Release();
}

TEST_P(DeferredMipsTest, LockedLevelsInAnyOrderMatchTheEagerChain) {
  IDirect3DTexture9* inOrder = Load();
  IDirect3DTexture9* deepestFirst = Load();
  ASSERT_TRUE(inOrder && deepestFirst);
  for (UINT i = 1; i < 6; ++i) EXPECT_EQ(LockLevel(inOrder, i), eager_[i]) << "level " << i;
  for (UINT i = 6; i-- > 1;) EXPECT_EQ(LockLevel(deepestFirst, i), eager_[i]) << "level " << i;
  EXPECT_EQ(LockLevel(inOrder, 0), eager_[0]);
  inOrder->Release();
  deepestFirst->Release();
}

TEST_P(DeferredMipsTest, SurfaceLevelsMatchTheEagerChain) {
  IDirect3DTexture9* texture = Load();
  ASSERT_NE(texture, nullptr);
  for (UINT i : {3u, 1u, 5u, 2u, 4u, 0u}) EXPECT_EQ(ReadLevel(texture, i), eager_[i]) << "level " << i;
  texture->Release();
}

TEST_P(DeferredMipsTest, WritingLevelZeroFirstLeavesTheLowerLevelsAsLoaded) {
  IDirect3DTexture9* texture = Load();
  ASSERT_NE(texture, nullptr);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < 19; ++y) std::fill_n(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, 37 * 2, 0x5A);
  texture->UnlockRect(0);
  for (UINT i = 1; i < 6; ++i) EXPECT_EQ(LockLevel(texture, i), eager_[i]) << "level " << i;
  texture->Release();
}

TEST_P(DeferredMipsTest, LevelsSurviveDeviceLossAndReset) {
  IDirect3DTexture9* texture = Load();
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(LockLevel(texture, 2), eager_[2]);
  d3d9ext::ForceDeviceLoss(test_.device);
  EXPECT_EQ(test_.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS p = test_.parameters;
  ASSERT_EQ(test_.device->Reset(&p), D3D_OK) << "a managed texture with levels still to make does not block Reset";
  for (UINT i = 0; i < 6; ++i) EXPECT_EQ(LockLevel(texture, i), eager_[i]) << "level " << i;
  texture->Release();
}

INSTANTIATE_TEST_SUITE_P(Formats, DeferredMipsTest,
                         ::testing::Values(D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4),
                         [](const auto& info) { return "Format" + std::to_string(int(info.param)); });

// A draw samples exactly what an eagerly filled texture holds: the same frame with a
// mip filter (every level may be read) and without (only level 0 is made).
class DeferredMipsDrawTest : public DeferredMipsTest {
 protected:
  // A texture filled with the eager chain by hand, level by level.
  IDirect3DTexture9* Eager() {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(test_.device->CreateTexture(37, 19, 0, 0, GetParam(), D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    for (UINT i = 0; i < eager_.size(); ++i) {
      D3DSURFACE_DESC desc{};
      texture->GetLevelDesc(i, &desc);
      D3DLOCKED_RECT locked{};
      texture->LockRect(i, &locked, nullptr, 0);
      size_t rowBytes = eager_[i].size() / desc.Height;
      for (UINT y = 0; y < desc.Height; ++y)
        std::copy_n(eager_[i].data() + y * rowBytes, rowBytes, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
      texture->UnlockRect(i);
    }
    return texture;
  }

  // A 64x48 frame of the texture on a quad shrinking it to about 1/5 of its size across,
  // so that a mip filter picks the lower levels.
  std::vector<uint32_t> Frame(IDirect3DTexture9* texture, DWORD mipFilter) {
    test_.device->SetSamplerState(0, D3DSAMP_MIPFILTER, mipFilter);
    return testsupport::DrawTexturedQuads(test_, texture,
                                          {{0, 0, 0.5f, 1, 0, 0}, {8, 0, 0.5f, 1, 1, 0}, {0, 6, 0.5f, 1, 0, 1},
                                           {8, 6, 0.5f, 1, 1, 1}, {10, 0, 0.5f, 1, 0, 0}, {60, 0, 0.5f, 1, 1, 0},
                                           {10, 40, 0.5f, 1, 0, 1}, {60, 40, 0.5f, 1, 1, 1}});
  }
};

TEST_P(DeferredMipsDrawTest, SampledLevelsAreThoseOfTheEagerChain) {
  IDirect3DTexture9* eager = Eager();
  IDirect3DTexture9* deferred = Load();
  ASSERT_TRUE(eager && deferred);
  EXPECT_EQ(Frame(deferred, D3DTEXF_NONE), Frame(eager, D3DTEXF_NONE));
  for (DWORD filter : {DWORD(D3DTEXF_POINT), DWORD(D3DTEXF_LINEAR)}) {
    std::vector<uint32_t> expected = Frame(eager, filter);
    EXPECT_EQ(Frame(deferred, filter), expected) << "mip filter " << filter;
    EXPECT_NE(expected, Frame(eager, D3DTEXF_NONE)) << "the quad shows lower levels";
  }
  for (UINT i = 0; i < 6; ++i) EXPECT_EQ(LockLevel(deferred, i), eager_[i]) << "level " << i;
  eager->Release();
  deferred->Release();
}

INSTANTIATE_TEST_SUITE_P(Formats, DeferredMipsDrawTest, ::testing::Values(D3DFMT_R5G6B5, D3DFMT_X8R8G8B8),
                         [](const auto& info) { return "Format" + std::to_string(int(info.param)); });

}  // namespace
