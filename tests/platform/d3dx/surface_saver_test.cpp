// D3DXSaveSurfaceToFileA: the 32-bit BMP layout byte for byte, read back by ImageMagick.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "d3dx9.h"
#include "device_test_support.h"
#include "scratch_dir.h"

namespace {

uint32_t Field32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

class SurfaceSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.device->CreateOffscreenPlainSurface(5, 3, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &surface_, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    surface_->LockRect(&locked, nullptr, 0);
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 5; ++x)
        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
            0x80000000u | (x * 40) << 16 | (y * 100) << 8 | (x + y);
    surface_->UnlockRect();
  }
  void TearDown() override { surface_->Release(); }
  testsupport::TestDevice test_;
  IDirect3DSurface9* surface_ = nullptr;
  testsupport::ScratchDir dir_{"vesk-saver"};
  std::string path_ = dir_ / "saved.bmp";
};

TEST_F(SurfaceSaverTest, WritesTheRectangleAsBottomUpBgraWithTwoPadBytes) {
  RECT rect{1, 1, 4, 3};  // 3 x 2 pixels
  ASSERT_EQ(D3DXSaveSurfaceToFileA(path_.c_str(), D3DXIFF_BMP, surface_, nullptr, &rect), D3D_OK);
  std::ifstream in(path_, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(file.size(), 54u + 3 * 2 * 4 + 2);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Field32(file, 2), file.size());
  EXPECT_EQ(Field32(file, 10), 54u);
  EXPECT_EQ(Field32(file, 14), 40u);
  EXPECT_EQ(Field32(file, 18), 3u);
  EXPECT_EQ(Field32(file, 22), 2u);
  EXPECT_EQ(file[26] | file[27] << 8, 1);
  EXPECT_EQ(file[28] | file[29] << 8, 32);
  EXPECT_EQ(Field32(file, 30), 0u);
  EXPECT_EQ(Field32(file, 38), 2834u);
  EXPECT_EQ(Field32(file, 42), 2834u);
  // First stored row is the rectangle's bottom row (surface row 2), from x = 1.
  EXPECT_EQ(Field32(file, 54), 0x80000000u | 40u << 16 | 200u << 8 | 3u);
  EXPECT_EQ(Field32(file, 54 + 12), 0x80000000u | 40u << 16 | 100u << 8 | 2u);
  EXPECT_EQ(file[file.size() - 2], 0);
  EXPECT_EQ(file[file.size() - 1], 0);

  std::string command = std::string(VESK_CONVERT) + " " + path_ + " -depth 8 rgb:-";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  uint8_t rgb[18] = {};
  EXPECT_EQ(fread(rgb, 1, sizeof rgb, pipe), sizeof rgb);
  pclose(pipe);
  EXPECT_EQ(rgb[0], 40);   // top-left of the rectangle: x = 1, y = 1
  EXPECT_EQ(rgb[1], 100);
  EXPECT_EQ(rgb[2], 2);
  EXPECT_EQ(rgb[15], 120);  // bottom-right: x = 3, y = 2
  EXPECT_EQ(rgb[16], 200);
  EXPECT_EQ(rgb[17], 5);
}

std::vector<uint8_t> Saved(IDirect3DSurface9* surface, const std::string& path, const RECT& rect) {
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, surface, nullptr, &rect), D3D_OK);
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A8R8G8B8 rows are written straight from the surface, X8R8G8B8 ones converted first: the
// files agree byte for byte, also with more rows than one gathering write takes.
TEST_F(SurfaceSaverTest, DirectAndConvertedSavesAgreeOnATallSurface) {
  const UINT width = 7, height = 1500;
  IDirect3DSurface9* surfaces[2] = {};
  const D3DFORMAT formats[2] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(test_.device->CreateOffscreenPlainSurface(width, height, formats[i], D3DPOOL_SCRATCH, &surfaces[i],
                                                        nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    surfaces[i]->LockRect(&locked, nullptr, 0);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
            0xFF000000u | (y * 2654435761u + x * 40503u) >> 8;
    surfaces[i]->UnlockRect();
  }
  RECT rect{1, 2, 6, 1499};
  std::vector<uint8_t> direct = Saved(surfaces[0], path_, rect);
  std::vector<uint8_t> converted = Saved(surfaces[1], dir_ / "converted.bmp", rect);
  ASSERT_EQ(direct.size(), 54u + 5 * 1497 * 4 + 2);
  EXPECT_TRUE(direct == converted);
  EXPECT_EQ(Field32(direct, 54), 0xFF000000u | (1498u * 2654435761u + 1u * 40503u) >> 8) << "bottom row first";
  for (IDirect3DSurface9* surface : surfaces) surface->Release();
}

TEST_F(SurfaceSaverTest, RectangleOutsideTheSurfaceFailsAndWritesNothing) {
  RECT outside{3, 0, 6, 2};
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path_.c_str(), D3DXIFF_BMP, surface_, nullptr, &outside), D3DERR_INVALIDCALL);
  RECT empty{2, 2, 2, 3};
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path_.c_str(), D3DXIFF_BMP, surface_, nullptr, &empty), D3DERR_INVALIDCALL);
  EXPECT_EQ(std::fopen(path_.c_str(), "rb"), nullptr);
  EXPECT_EQ(D3DXSaveSurfaceToFileA("/nonexistent-dir/x.bmp", D3DXIFF_BMP, surface_, nullptr, nullptr), E_FAIL);
}

}  // namespace
