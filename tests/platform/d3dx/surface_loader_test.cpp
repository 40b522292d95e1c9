// D3DXLoadSurfaceFromSurface between scratch surfaces: conversion at one size, point and
// triangle scaling, and the filters and rectangles it refuses.
#include <gtest/gtest.h>

#include <vector>

#include "d3dx9.h"
#include "device_test_support.h"

namespace {

class SurfaceLoaderTest : public ::testing::Test {
 protected:
  IDirect3DSurface9* Make(UINT width, UINT height, D3DFORMAT format) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(test_.device->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SCRATCH, &surface, nullptr),
              D3D_OK);
    made_.push_back(surface);
    return surface;
  }
  // An A8R8G8B8 surface whose pixel (x, y) is colour(x, y).
  IDirect3DSurface9* Painted(UINT width, UINT height, auto colour) {
    IDirect3DSurface9* surface = Make(width, height, D3DFMT_A8R8G8B8);
    D3DLOCKED_RECT locked{};
    surface->LockRect(&locked, nullptr, 0);
    for (UINT y = 0; y < height; ++y)
      for (UINT x = 0; x < width; ++x)
        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] = colour(x, y);
    surface->UnlockRect();
    return surface;
  }
  std::vector<uint32_t> Read(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    std::vector<uint32_t> pixels;
    D3DLOCKED_RECT locked{};
    surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    for (UINT y = 0; y < desc.Height; ++y)
      for (UINT x = 0; x < desc.Width; ++x)
        pixels.push_back(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                           y * locked.Pitch)[x]);
    surface->UnlockRect();
    return pixels;
  }
  void TearDown() override {
    for (IDirect3DSurface9* surface : made_) surface->Release();
  }

  testsupport::TestDevice test_;
  std::vector<IDirect3DSurface9*> made_;
};

TEST_F(SurfaceLoaderTest, SameSizeRectanglesAreCopiedAndConverted) {
  IDirect3DSurface9* source = Painted(4, 4, [](UINT x, UINT y) { return 0xFF000000u | (x * 60) << 16 | (y * 60); });
  IDirect3DSurface9* wide = Make(3, 2, D3DFMT_X8R8G8B8);
  RECT from{1, 2, 4, 4};
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(wide, nullptr, nullptr, source, nullptr, &from, D3DX_FILTER_NONE, 0), D3D_OK);
  EXPECT_EQ(Read(wide), (std::vector<uint32_t>{0xFF3C0078u, 0xFF780078u, 0xFFB40078u,  //
                                               0xFF3C00B4u, 0xFF7800B4u, 0xFFB400B4u}));
  IDirect3DSurface9* narrow = Make(4, 4, D3DFMT_R5G6B5);
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(narrow, nullptr, nullptr, source, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
  D3DLOCKED_RECT locked{};
  narrow->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  uint16_t last = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(locked.pBits) + 3 * locked.Pitch)[3];
  narrow->UnlockRect();
  EXPECT_EQ(last, ((0xB4 >> 3) << 11) | (0xB4 >> 3)) << "red and blue 180 in five bits";
}

TEST_F(SurfaceLoaderTest, PointScalingTakesThePixelUnderEachCentre) {
  IDirect3DSurface9* source = Painted(4, 4, [](UINT x, UINT y) { return 0xFF000000u | (y * 4 + x); });
  IDirect3DSurface9* half = Make(2, 2, D3DFMT_A8R8G8B8);
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(half, nullptr, nullptr, source, nullptr, nullptr, D3DX_FILTER_POINT, 0), D3D_OK);
  EXPECT_EQ(Read(half), (std::vector<uint32_t>{0xFF000005u, 0xFF000007u, 0xFF00000Du, 0xFF00000Fu}));
}

// Shrinking a picture whose left half is red and right half blue keeps each half's
// colour away from the middle, and a plain picture stays exactly plain.
TEST_F(SurfaceLoaderTest, TriangleScalingWithMirroredEdgesKeepsThePicture) {
  IDirect3DSurface9* halves = Painted(40, 30, [](UINT x, UINT) { return x < 20 ? 0xFFFF0000u : 0xFF0000FFu; });
  IDirect3DSurface9* small = Make(10, 6, D3DFMT_A8R8G8B8);
  DWORD filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(small, nullptr, nullptr, halves, nullptr, nullptr, filter, 0), D3D_OK);
  std::vector<uint32_t> pixels = Read(small);
  for (UINT y = 0; y < 6; ++y) {
    for (UINT x : {0u, 1u, 2u, 3u}) EXPECT_EQ(pixels[y * 10 + x], 0xFFFF0000u) << x << "," << y;
    for (UINT x : {6u, 7u, 8u, 9u}) EXPECT_EQ(pixels[y * 10 + x], 0xFF0000FFu) << x << "," << y;
    EXPECT_GT(pixels[y * 10 + 4] & 0xFF, 0u) << "the middle mixes the halves";
  }
  IDirect3DSurface9* plain = Painted(7, 5, [](UINT, UINT) { return 0xFF336699u; });
  IDirect3DSurface9* grown = Make(11, 13, D3DFMT_A8R8G8B8);
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(grown, nullptr, nullptr, plain, nullptr, nullptr, filter, 0), D3D_OK);
  EXPECT_EQ(Read(grown), std::vector<uint32_t>(11 * 13, 0xFF336699u));
}

TEST_F(SurfaceLoaderTest, UnsupportedFiltersAndRectanglesOutsideAreRefused) {
  IDirect3DSurface9* source = Painted(8, 8, [](UINT, UINT) { return 0xFFFFFFFFu; });
  IDirect3DSurface9* dest = Make(4, 4, D3DFMT_A8R8G8B8);
  for (DWORD filter : {DWORD(D3DX_FILTER_NONE), DWORD(D3DX_FILTER_LINEAR), DWORD(D3DX_FILTER_BOX),
                       DWORD(D3DX_FILTER_TRIANGLE), DWORD(D3DX_DEFAULT), DWORD(D3DX_FILTER_POINT | D3DX_FILTER_DITHER)})
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest, nullptr, nullptr, source, nullptr, nullptr, filter, 0), E_NOTIMPL)
        << "filter " << filter;
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest, nullptr, nullptr, source, nullptr, nullptr, D3DX_FILTER_POINT, 0xFF000000u),
            E_NOTIMPL) << "colour key";
  RECT outside{4, 4, 9, 8}, empty{2, 2, 2, 4};
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest, nullptr, nullptr, source, nullptr, &outside, D3DX_FILTER_POINT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest, nullptr, &empty, source, nullptr, nullptr, D3DX_FILTER_POINT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(nullptr, nullptr, nullptr, source, nullptr, nullptr, D3DX_FILTER_POINT, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(Read(dest), std::vector<uint32_t>(16, 0u)) << "nothing written";
}

}  // namespace
