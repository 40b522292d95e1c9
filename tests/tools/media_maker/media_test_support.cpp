// Texture and mesh loading for the media tests.
#include "media_test_support.h"

#include <cstring>

namespace mediatest {

std::string MediaPath(const std::string& name) { return std::string(VESK_MEDIA_DIR) + name; }

Texels LoadTexels(IDirect3DDevice9* device, const std::string& path) {
  Texels texels;
  IDirect3DTexture9* texture = nullptr;
  if (FAILED(D3DXCreateTextureFromFileA(device, path.c_str(), &texture))) return texels;
  D3DSURFACE_DESC desc{};
  D3DLOCKED_RECT locked{};
  texture->GetLevelDesc(0, &desc);
  bool fourBytes = desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8;
  if (fourBytes && SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    texels.width = desc.Width;
    texels.height = desc.Height;
    texels.rgb.resize(size_t(desc.Width) * desc.Height);
    const auto* bits = static_cast<const uint8_t*>(locked.pBits);
    for (UINT y = 0; y < desc.Height; ++y)
      std::memcpy(&texels.rgb[size_t(y) * desc.Width], bits + size_t(y) * locked.Pitch, desc.Width * 4);
    for (uint32_t& texel : texels.rgb) texel &= 0xFFFFFF;
    texture->UnlockRect(0);
  }
  texture->Release();
  return texels;
}

HRESULT LoadMesh(IDirect3DDevice9* device, const std::string& path, LoadedMesh& out) {
  ID3DXBuffer* materials = nullptr;
  DWORD count = 0;
  HRESULT result = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &materials, nullptr,
                                      &count, &out.mesh);
  if (FAILED(result)) return result;
  if (materials) {
    auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    for (DWORD i = 0; i < count; ++i) {
      out.materials.push_back(records[i]);
      out.textureNames.push_back(records[i].pTextureFilename ? records[i].pTextureFilename : "");
      out.materials.back().pTextureFilename = nullptr;  // it pointed into the released buffer
    }
    materials->Release();
  }
  return result;
}

}  // namespace mediatest
