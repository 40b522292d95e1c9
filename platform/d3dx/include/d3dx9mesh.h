// D3DX meshes: ID3DXBuffer, ID3DXMesh and loading from .x files.
#pragma once

#include "d3d9.h"
#include "d3dx9tex.h"

#define D3DXMESH_32BIT 0x001
#define D3DXMESH_VB_SYSTEMMEM 0x010
#define D3DXMESH_VB_MANAGED 0x020
#define D3DXMESH_IB_SYSTEMMEM 0x100
#define D3DXMESH_IB_MANAGED 0x200
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220

#define D3DXMESHOPT_DEVICEINDEPENDENT 0x00400000
#define D3DXMESHOPT_COMPACT 0x01000000
#define D3DXMESHOPT_ATTRSORT 0x02000000
#define D3DXMESHOPT_VERTEXCACHE 0x04000000
#define D3DXMESHOPT_STRIPREORDER 0x08000000
#define D3DXMESHOPT_IGNOREVERTS 0x10000000
#define D3DXMESHOPT_DONOTSPLIT 0x20000000

struct D3DXMATERIAL {
  D3DMATERIAL9 MatD3D;
  LPSTR pTextureFilename;
};

struct D3DXATTRIBUTERANGE {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
};

struct ID3DXBuffer : IUnknown {
  virtual void* GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;

 protected:
  ~ID3DXBuffer() = default;
};

struct ID3DXMesh : IUnknown {
  virtual HRESULT DrawSubset(DWORD attribId) = 0;
  virtual DWORD GetNumFaces() = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetFVF() = 0;
  virtual DWORD GetOptions() = 0;
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device,
                               ID3DXMesh** cloneMesh) = 0;
  virtual HRESULT LockVertexBuffer(DWORD flags, void** data) = 0;
  virtual HRESULT UnlockVertexBuffer() = 0;
  virtual HRESULT LockIndexBuffer(DWORD flags, void** data) = 0;
  virtual HRESULT UnlockIndexBuffer() = 0;
  virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* tableSize) = 0;
  virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT UnlockAttributeBuffer() = 0;
  virtual HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                  DWORD* faceRemap, ID3DXBuffer** vertexRemap) = 0;

 protected:
  ~ID3DXMesh() = default;
};

// Reads a .x file (text, binary or compressed) into one mesh; every mesh of the file
// is merged in, transformed by its frames. Effect instances are not supported: that
// argument must be null.
HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device,
                           ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                           ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh);
