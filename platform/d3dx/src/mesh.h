// ID3DXMesh: triangles in a vertex and an index buffer of the device, with one
// attribute (material subset) per face and, once optimised, an attribute table.
#pragma once

#include <vector>

#include "d3dx9mesh.h"

namespace d3dximpl {

class Mesh final : public ID3DXMesh {
 public:
  // Makes the buffers for `faces` triangles and `vertices` vertices of `fvf` in the
  // pools the D3DXMESH options name; null on failure with `result` set.
  static Mesh* Create(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices,
                      HRESULT& result);

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  HRESULT DrawSubset(DWORD attribId) override;
  DWORD GetNumFaces() override { return faces_; }
  DWORD GetNumVertices() override { return vertices_; }
  DWORD GetFVF() override { return fvf_; }
  DWORD GetOptions() override { return options_; }
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh) override;
  HRESULT LockVertexBuffer(DWORD flags, void** data) override;
  HRESULT UnlockVertexBuffer() override;
  HRESULT LockIndexBuffer(DWORD flags, void** data) override;
  HRESULT UnlockIndexBuffer() override;
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* tableSize) override;
  HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
  HRESULT UnlockAttributeBuffer() override;
  HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                          ID3DXBuffer** vertexRemap) override;

  // Copies indices (32-bit values, narrowed for a 16-bit index buffer) into the mesh.
  HRESULT WriteIndices(const std::vector<uint32_t>& indices);
  HRESULT ReadIndices(std::vector<uint32_t>& indices);

 private:
  Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices);
  ~Mesh();
  bool WideIndices() const { return (options_ & D3DXMESH_32BIT) != 0; }
  HRESULT DrawRange(DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount);
  HRESULT RewriteVertices(const std::vector<uint32_t>& newToOld);

  ULONG refs_ = 1;
  IDirect3DDevice9* device_;
  DWORD options_;
  DWORD fvf_;
  UINT vertexSize_;
  DWORD faces_;
  DWORD vertices_;
  IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
  IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
  std::vector<DWORD> attributes_;
  std::vector<D3DXATTRIBUTERANGE> attributeTable_;
};

}  // namespace d3dximpl
