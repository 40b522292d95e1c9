// Textures loaded from media files: the media search finds the file, D3DX reads it.
#include "media_texture.h"

#include "d3dx9tex.h"

HRESULT CreateTextureFromMediaFile(IDirect3DDevice9* device, const char* fileName, IDirect3DTexture9** texture,
                                   D3DFORMAT format) {
  char path[260];
  HRESULT result = FindMediaFile(path, sizeof path, fileName);
  if (FAILED(result)) return result;
  constexpr DWORD kFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  return D3DXCreateTextureFromFileExA(device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, format,
                                      D3DPOOL_MANAGED, kFilter, kFilter, 0, nullptr, nullptr, texture);
}
