// Loading a texture from a file found by the media search.
#pragma once

#include "d3d9.h"
#include "media_search.h"

HRESULT CreateTextureFromMediaFile(IDirect3DDevice9* device, const char* fileName, IDirect3DTexture9** texture,
                                   D3DFORMAT format);
