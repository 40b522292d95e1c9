// The mesh object: buffers, locks, subset drawing, cloning and in-place optimisation.
#include "mesh.h"

#include <algorithm>
#include <cstring>

#include "buffer.h"
#include "pipeline.h"
#include "xfile/mesh_optimize.h"

namespace d3dximpl {
namespace {

D3DPOOL VertexPool(DWORD options) {
  if (options & D3DXMESH_VB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
  return (options & D3DXMESH_VB_MANAGED) ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
}

D3DPOOL IndexPool(DWORD options) {
  if (options & D3DXMESH_IB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
  return (options & D3DXMESH_IB_MANAGED) ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
}

constexpr DWORD kKnownOptions = D3DXMESH_32BIT | D3DXMESH_SYSTEMMEM | D3DXMESH_MANAGED;

}  // namespace

Mesh* Mesh::Create(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices,
                   HRESULT& result) {
  result = D3DERR_INVALIDCALL;
  UINT vertexSize = raster::VertexSize(fvf);
  if (!device || vertexSize == 0 || faces == 0 || vertices == 0 || (options & ~kKnownOptions)) return nullptr;
  if (vertices > 0xFFFF) options |= D3DXMESH_32BIT;
  uint64_t vertexBytes = uint64_t{vertices} * vertexSize, indexBytes = uint64_t{faces} * 3 * ((options & D3DXMESH_32BIT) ? 4 : 2);
  if (vertexBytes > UINT32_MAX || indexBytes > UINT32_MAX) return nullptr;
  auto* mesh = new Mesh(device, options, fvf, faces, vertices);
  result = device->CreateVertexBuffer(UINT(vertexBytes), 0, fvf, VertexPool(options), &mesh->vertexBuffer_, nullptr);
  if (SUCCEEDED(result))
    result = device->CreateIndexBuffer(UINT(indexBytes), 0, mesh->WideIndices() ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                       IndexPool(options), &mesh->indexBuffer_, nullptr);
  if (FAILED(result)) {
    mesh->Release();
    return nullptr;
  }
  return mesh;
}

Mesh::Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices)
    : device_(device), options_(options), fvf_(fvf), vertexSize_(raster::VertexSize(fvf)), faces_(faces),
      vertices_(vertices), attributes_(faces, 0) {
  device_->AddRef();
}

Mesh::~Mesh() {
  if (indexBuffer_) indexBuffer_->Release();
  if (vertexBuffer_) vertexBuffer_->Release();
  device_->Release();
}

ULONG Mesh::Release() {
  ULONG remaining = --refs_;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT Mesh::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

HRESULT Mesh::DrawRange(DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount) {
  device_->SetFVF(fvf_);
  device_->SetStreamSource(0, vertexBuffer_, 0, vertexSize_);
  device_->SetIndices(indexBuffer_);
  return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexStart, vertexCount, faceStart * 3, faceCount);
}

// With an attribute table the subset is one range; without one, every run of faces
// that carries the attribute is drawn.
HRESULT Mesh::DrawSubset(DWORD attribId) {
  if (!attributeTable_.empty()) {
    for (const D3DXATTRIBUTERANGE& range : attributeTable_)
      if (range.AttribId == attribId && range.FaceCount > 0)
        return DrawRange(range.FaceStart, range.FaceCount, range.VertexStart, range.VertexCount);
    return D3D_OK;
  }
  HRESULT result = D3D_OK;
  for (DWORD face = 0; face < faces_;) {
    if (attributes_[face] != attribId) {
      ++face;
      continue;
    }
    DWORD end = face;
    while (end < faces_ && attributes_[end] == attribId) ++end;
    HRESULT drawn = DrawRange(face, end - face, 0, vertices_);
    if (FAILED(drawn)) result = drawn;
    face = end;
  }
  return result;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh) {
  if (!cloneMesh || !device) return D3DERR_INVALIDCALL;
  *cloneMesh = nullptr;
  if (fvf != fvf_) return D3DERR_INVALIDCALL;  // only same-format copies are made
  HRESULT result;
  Mesh* clone = Create(device, options | (options_ & D3DXMESH_32BIT), fvf, faces_, vertices_, result);
  if (!clone) return result;
  void *from = nullptr, *to = nullptr;
  std::vector<uint32_t> indices;
  if (SUCCEEDED(result = LockVertexBuffer(D3DLOCK_READONLY, &from))) {
    if (SUCCEEDED(result = clone->LockVertexBuffer(0, &to))) {
      std::memcpy(to, from, size_t(vertices_) * vertexSize_);
      clone->UnlockVertexBuffer();
    }
    UnlockVertexBuffer();
  }
  if (SUCCEEDED(result)) result = ReadIndices(indices);
  if (SUCCEEDED(result)) result = clone->WriteIndices(indices);
  if (FAILED(result)) {
    clone->Release();
    return result;
  }
  clone->attributes_ = attributes_;
  clone->attributeTable_ = attributeTable_;
  *cloneMesh = clone;
  return D3D_OK;
}

HRESULT Mesh::LockVertexBuffer(DWORD flags, void** data) { return vertexBuffer_->Lock(0, 0, data, flags); }
HRESULT Mesh::UnlockVertexBuffer() { return vertexBuffer_->Unlock(); }
HRESULT Mesh::LockIndexBuffer(DWORD flags, void** data) { return indexBuffer_->Lock(0, 0, data, flags); }
HRESULT Mesh::UnlockIndexBuffer() { return indexBuffer_->Unlock(); }

HRESULT Mesh::LockAttributeBuffer(DWORD flags, DWORD** data) {
  (void)flags;
  if (!data) return D3DERR_INVALIDCALL;
  *data = attributes_.data();
  attributeTable_.clear();  // the caller may change attributes; the table no longer holds
  return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() { return D3D_OK; }

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* tableSize) {
  if (!tableSize) return D3DERR_INVALIDCALL;
  if (table) std::copy(attributeTable_.begin(), attributeTable_.end(), table);
  *tableSize = DWORD(attributeTable_.size());
  return D3D_OK;
}

HRESULT Mesh::WriteIndices(const std::vector<uint32_t>& indices) {
  if (indices.size() != size_t(faces_) * 3) return D3DERR_INVALIDCALL;
  void* data = nullptr;
  HRESULT result = LockIndexBuffer(0, &data);
  if (FAILED(result)) return result;
  if (WideIndices()) std::copy(indices.begin(), indices.end(), static_cast<uint32_t*>(data));
  else std::transform(indices.begin(), indices.end(), static_cast<uint16_t*>(data),
                      [](uint32_t i) { return uint16_t(i); });
  return UnlockIndexBuffer();
}

HRESULT Mesh::ReadIndices(std::vector<uint32_t>& indices) {
  void* data = nullptr;
  HRESULT result = LockIndexBuffer(D3DLOCK_READONLY, &data);
  if (FAILED(result)) return result;
  size_t count = size_t(faces_) * 3;
  if (WideIndices()) indices.assign(static_cast<uint32_t*>(data), static_cast<uint32_t*>(data) + count);
  else indices.assign(static_cast<uint16_t*>(data), static_cast<uint16_t*>(data) + count);
  return UnlockIndexBuffer();
}

// Keeps only the vertices in `newToOld`, in that order (the buffer keeps its size).
HRESULT Mesh::RewriteVertices(const std::vector<uint32_t>& newToOld) {
  uint8_t* data = nullptr;
  HRESULT result = LockVertexBuffer(0, reinterpret_cast<void**>(&data));
  if (FAILED(result)) return result;
  std::vector<uint8_t> old(data, data + size_t(vertices_) * vertexSize_);
  for (size_t i = 0; i < newToOld.size(); ++i)
    std::memcpy(data + i * vertexSize_, old.data() + size_t(newToOld[i]) * vertexSize_, vertexSize_);
  vertices_ = DWORD(newToOld.size());
  return UnlockVertexBuffer();
}

HRESULT Mesh::OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                              ID3DXBuffer** vertexRemap) {
  constexpr DWORD kSupported = D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE |
                               D3DXMESHOPT_DEVICEINDEPENDENT | D3DXMESHOPT_IGNOREVERTS | D3DXMESHOPT_DONOTSPLIT;
  if ((flags & ~kSupported) || (adjacencyOut && !adjacencyIn)) return D3DERR_INVALIDCALL;
  std::vector<uint32_t> indices;
  HRESULT result = ReadIndices(indices);
  if (FAILED(result)) return result;
  auto optimized = d3dxfile::OptimizeMesh(indices, attributes_, vertices_);
  if (!optimized) return D3DXERR_INVALIDMESH;
  if (FAILED(result = RewriteVertices(optimized->vertexRemap))) return result;
  if (FAILED(result = WriteIndices(optimized->indices))) return result;
  attributes_.assign(optimized->attributes.begin(), optimized->attributes.end());
  attributeTable_.clear();
  for (const d3dxfile::AttributeRange& r : optimized->attributeTable)
    attributeTable_.push_back({r.attribId, r.faceStart, r.faceCount, r.vertexStart, r.vertexCount});
  const std::vector<uint32_t>& faces = optimized->faceRemap;
  if (faceRemap) std::copy(faces.begin(), faces.end(), faceRemap);
  if (adjacencyOut) {
    std::vector<uint32_t> oldToNew(faces_, 0xFFFFFFFFu);
    for (uint32_t f = 0; f < faces.size(); ++f) oldToNew[faces[f]] = f;
    for (uint32_t f = 0; f < faces.size(); ++f)
      for (uint32_t k = 0; k < 3; ++k) {
        DWORD old = adjacencyIn[faces[f] * 3 + k];
        adjacencyOut[f * 3 + k] = old < faces_ ? oldToNew[old] : 0xFFFFFFFFu;
      }
  }
  if (vertexRemap) *vertexRemap = MakeBuffer(optimized->vertexRemap.data(), optimized->vertexRemap.size());
  return D3D_OK;
}

}  // namespace d3dximpl
