// D3DX texture loading from image files and saving of surfaces to image files.
#pragma once

#include "d3d9.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_DDHRESULT(2906)

// What loaders return for a file that is not there (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
#define D3DX_FILE_NOT_FOUND ((HRESULT)0x80070002)

enum D3DXIMAGE_FILEFORMAT : uint32_t {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
};

struct D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

// Reads an image file (recognised by its content) into a new texture. Sizes and mip
// levels D3DX_DEFAULT take the image's size, fitted to the device's limits, and a full
// mip chain; D3DFMT_UNKNOWN picks the supported format closest to the file's.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                     D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile,
                                   IDirect3DTexture9** texture);

// Copies a rectangle of `srcSurface` (all of it when null) into a rectangle of
// `destSurface` (all of it when null), converting the format and scaling with `filter`:
// D3DX_FILTER_NONE for rectangles of one size, D3DX_FILTER_POINT, or
// D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR. Other filters and colour keys give E_NOTIMPL.
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* destSurface, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface9* srcSurface,
                                   const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                   D3DCOLOR colorKey);

// Writes a rectangle of a surface (all of it when `srcRect` is null) as an image file.
// BMP is the one file format written.
HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT format,
                               IDirect3DSurface9* srcSurface, const PALETTEENTRY* srcPalette,
                               const RECT* srcRect);
