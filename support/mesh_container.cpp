// Loading, restoring and drawing the backdrop mesh.
#include "mesh_container.h"

#include <cstring>
#include <new>

#include "media_search.h"

MeshContainer::MeshContainer(const char* frameName) {
  CopyStringBounded(name, frameName, sizeof name);
}

MeshContainer::~MeshContainer() { Destroy(); }

HRESULT MeshContainer::Create(IDirect3DDevice9* device, const char* fileName) {
  char path[260];
  FindMediaFile(path, sizeof path, fileName);  // whatever it leaves is what is loaded
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materialBuffer = nullptr;
  HRESULT result = D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, device, &adjacency, &materialBuffer, nullptr,
                                      &materialCount, &sysMemMesh);
  if (FAILED(result)) return result;
  result = sysMemMesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                                       static_cast<DWORD*>(adjacency->GetBufferPointer()), nullptr, nullptr,
                                       nullptr);
  if (SUCCEEDED(result) && materialBuffer && materialCount > 0)
    result = LoadMaterials(device, static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer()));
  adjacency->Release();
  if (materialBuffer) materialBuffer->Release();
  return result;
}

HRESULT MeshContainer::LoadMaterials(IDirect3DDevice9* device, const D3DXMATERIAL* records) {
  materials = new (std::nothrow) D3DMATERIAL9[materialCount];
  if (!materials) return E_OUTOFMEMORY;
  textures = new (std::nothrow) IDirect3DTexture9*[materialCount];
  if (!textures) return E_OUTOFMEMORY;
  for (DWORD i = 0; i < materialCount; ++i) {
    materials[i] = records[i].MatD3D;
    textures[i] = nullptr;
    if (!records[i].pTextureFilename) continue;
    char name[260], path[260];
    CopyStringBounded(name, records[i].pTextureFilename, sizeof name);
    FindMediaFile(path, sizeof path, name);
    if (FAILED(D3DXCreateTextureFromFileA(device, path, &textures[i]))) textures[i] = nullptr;
  }
  return S_OK;
}

HRESULT MeshContainer::RestoreDeviceObjects(IDirect3DDevice9* device) {
  if (!sysMemMesh) return E_FAIL;
  return FAILED(sysMemMesh->CloneMeshFVF(0, sysMemMesh->GetFVF(), device, &localMesh)) ? E_FAIL : S_OK;
}

void MeshContainer::DrawSubset(IDirect3DDevice9* device, DWORD subset) {
  device->SetMaterial(&materials[subset]);
  device->SetTexture(0, textures[subset]);
  localMesh->DrawSubset(subset);
}

// Opaque subsets have a diffuse alpha of 1.0 (or a NaN, which no comparison rejects);
// the alpha pass takes every subset whose alpha is not exactly 1.0.
HRESULT MeshContainer::Render(IDirect3DDevice9* device, bool drawOpaque, bool drawAlpha) {
  if (!localMesh) return E_FAIL;
  for (DWORD i = 0; drawOpaque && i < materialCount; ++i)
    if (!(materials[i].Diffuse.a < 1.0f)) DrawSubset(device, i);
  for (DWORD i = 0; drawAlpha && i < materialCount; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &materials[i].Diffuse.a, sizeof bits);
    if (bits != 0x3F800000u) DrawSubset(device, i);
  }
  return S_OK;
}

HRESULT MeshContainer::InvalidateDeviceObjects() {
  if (localMesh) localMesh->Release();
  localMesh = nullptr;
  return S_OK;
}

HRESULT MeshContainer::Destroy() {
  InvalidateDeviceObjects();
  for (DWORD i = 0; textures && i < materialCount; ++i)
    if (textures[i]) textures[i]->Release();
  delete[] textures;
  delete[] materials;
  textures = nullptr;
  materials = nullptr;
  if (sysMemMesh) sysMemMesh->Release();
  sysMemMesh = nullptr;
  materialCount = 0;
  return S_OK;
}
