// MeshContainer: one .x mesh with its materials and textures, kept in system memory
// for the program's life, copied for the device after each creation or reset, and
// drawn subset by subset in an opaque and an alpha pass.
#pragma once

#include "d3dx9.h"

class MeshContainer {
 public:
  explicit MeshContainer(const char* name);
  virtual ~MeshContainer();
  MeshContainer(const MeshContainer&) = delete;
  MeshContainer& operator=(const MeshContainer&) = delete;

  HRESULT Create(IDirect3DDevice9* device, const char* fileName);
  HRESULT RestoreDeviceObjects(IDirect3DDevice9* device);
  HRESULT Render(IDirect3DDevice9* device, bool drawOpaque, bool drawAlpha);
  HRESULT InvalidateDeviceObjects();
  HRESULT Destroy();

  char name[512];
  ID3DXMesh* sysMemMesh = nullptr;
  ID3DXMesh* localMesh = nullptr;
  DWORD materialCount = 0;
  D3DMATERIAL9* materials = nullptr;
  IDirect3DTexture9** textures = nullptr;

 private:
  HRESULT LoadMaterials(IDirect3DDevice9* device, const D3DXMATERIAL* records);
  void DrawSubset(IDirect3DDevice9* device, DWORD subset);
};
