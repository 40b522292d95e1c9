// Decoding of flexible vertex format codes into element offsets.
#include "vertex_format.h"

#include "pipeline.h"

namespace raster {
namespace {

// Bytes of the position element (with blend weights), or 0 when not drawable.
uint32_t PositionBytes(DWORD fvf) {
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: return 12;
    case D3DFVF_XYZRHW: return 16;
    case D3DFVF_XYZB1: return 16;
    case D3DFVF_XYZB2: return 20;
    case D3DFVF_XYZB3: return 24;
    case D3DFVF_XYZB4: return 28;
    case D3DFVF_XYZB5: return 32;
    default: return 0;
  }
}

uint32_t TexCoordComponents(DWORD fvf, uint32_t set) {
  switch ((fvf >> (16 + 2 * set)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: return 1;
    case D3DFVF_TEXTUREFORMAT3: return 3;
    case D3DFVF_TEXTUREFORMAT4: return 4;
    default: return 2;
  }
}

uint32_t Take(bool present, uint32_t bytes, uint32_t* offset) {
  if (!present) return kAbsent;
  uint32_t at = *offset;
  *offset += bytes;
  return at;
}

}  // namespace

bool DecodeFvf(DWORD fvf, VertexLayout* layout) {
  uint32_t offset = PositionBytes(fvf);
  uint32_t texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (offset == 0 || texCount > kMaxTexCoordSets) return false;
  layout->transformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  layout->normal = Take(fvf & D3DFVF_NORMAL, 12, &offset);
  Take(fvf & D3DFVF_PSIZE, 4, &offset);
  layout->diffuse = Take(fvf & D3DFVF_DIFFUSE, 4, &offset);
  layout->specular = Take(fvf & D3DFVF_SPECULAR, 4, &offset);
  layout->texCount = texCount;
  for (uint32_t i = 0; i < kMaxTexCoordSets; ++i) {
    layout->texSize[i] = i < texCount ? TexCoordComponents(fvf, i) : 0;
    layout->texOffset[i] = i < texCount ? Take(true, 4 * layout->texSize[i], &offset) : kAbsent;
  }
  layout->size = offset;
  return true;
}

uint32_t VertexSize(DWORD fvf) {
  VertexLayout layout;
  return DecodeFvf(fvf, &layout) ? layout.size : 0;
}

}  // namespace raster
