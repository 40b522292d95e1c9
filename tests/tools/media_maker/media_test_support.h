// Loading the media that the build generated, through our D3DX layer, for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "d3dx9.h"

namespace mediatest {

// A file of the generated media folder.
std::string MediaPath(const std::string& name);

struct Texels {
  UINT width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, rows top to bottom
  uint32_t At(UINT x, UINT y) const { return rgb[size_t(y) * width + x]; }
};

// The top level of a texture loaded with D3DXCreateTextureFromFileA; empty on failure.
Texels LoadTexels(IDirect3DDevice9* device, const std::string& path);

// Channel c (0 red, 1 green, 2 blue) of a 0x00RRGGBB value.
inline int Channel(uint32_t rgb, int c) { return int(rgb >> (16 - 8 * c) & 0xFF); }

struct LoadedMesh {
  ID3DXMesh* mesh = nullptr;
  std::vector<D3DXMATERIAL> materials;
  std::vector<std::string> textureNames;  // "" where a material names none
};

// D3DXLoadMeshFromXA into system memory, as the program loads its backdrop.
HRESULT LoadMesh(IDirect3DDevice9* device, const std::string& path, LoadedMesh& out);

}  // namespace mediatest
