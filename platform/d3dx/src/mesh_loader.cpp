// D3DXLoadMeshFromXA: the .x file read into one mesh, with its adjacency and its
// materials (68-byte material, then a pointer to the texture name inside the buffer).
#include <cstring>

#include "buffer.h"
#include "file_access.h"
#include "mesh.h"
#include "xfile/x_file.h"

namespace d3dximpl {
namespace {

constexpr uint64_t kMaxMeshFileBytes = uint64_t{256} << 20;

DWORD MeshFvf(const d3dxfile::XMesh& x) {
  return D3DFVF_XYZ | (x.hasNormals ? D3DFVF_NORMAL : 0) | (x.hasColors ? D3DFVF_DIFFUSE : 0) |
         (x.hasTexCoords ? D3DFVF_TEX1 : 0);
}

// Packs the vertices in the order the vertex format lays them out.
std::vector<uint8_t> PackVertices(const d3dxfile::XMesh& x) {
  std::vector<uint8_t> bytes;
  auto put = [&bytes](const void* value, size_t size) {
    const auto* p = static_cast<const uint8_t*>(value);
    bytes.insert(bytes.end(), p, p + size);
  };
  for (const d3dxfile::XVertex& v : x.vertices) {
    put(&v.position, 12);
    if (x.hasNormals) put(&v.normal, 12);
    if (x.hasColors) put(&v.color, 4);
    if (x.hasTexCoords) {
      put(&v.u, 4);
      put(&v.v, 4);
    }
  }
  return bytes;
}

// D3DXMATERIAL records followed by the texture names they point at.
ID3DXBuffer* MakeMaterialBuffer(const std::vector<d3dxfile::XMaterial>& materials) {
  size_t records = materials.size() * sizeof(D3DXMATERIAL), names = 0;
  for (const d3dxfile::XMaterial& m : materials) names += m.textureFile.empty() ? 0 : m.textureFile.size() + 1;
  auto* buffer = new Buffer(std::vector<uint8_t>(records + names, 0));
  auto* base = static_cast<uint8_t*>(buffer->GetBufferPointer());
  char* text = reinterpret_cast<char*>(base + records);
  for (size_t i = 0; i < materials.size(); ++i) {
    const d3dxfile::XMaterial& m = materials[i];
    D3DXMATERIAL record{};
    record.MatD3D.Diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
    record.MatD3D.Specular = {m.specular[0], m.specular[1], m.specular[2], 1.0f};
    record.MatD3D.Emissive = {m.emissive[0], m.emissive[1], m.emissive[2], 1.0f};
    record.MatD3D.Power = m.power;
    if (!m.textureFile.empty()) {
      std::memcpy(text, m.textureFile.c_str(), m.textureFile.size() + 1);
      record.pTextureFilename = text;
      text += m.textureFile.size() + 1;
    }
    std::memcpy(base + i * sizeof(D3DXMATERIAL), &record, sizeof record);
  }
  return buffer;
}

HRESULT FillMesh(Mesh& mesh, const d3dxfile::XMesh& x) {
  std::vector<uint8_t> vertices = PackVertices(x);
  void* data = nullptr;
  HRESULT result = mesh.LockVertexBuffer(0, &data);
  if (FAILED(result)) return result;
  std::memcpy(data, vertices.data(), vertices.size());
  mesh.UnlockVertexBuffer();
  if (FAILED(result = mesh.WriteIndices(x.indices))) return result;
  DWORD* attributes = nullptr;
  if (FAILED(result = mesh.LockAttributeBuffer(0, &attributes))) return result;
  std::copy(x.attributes.begin(), x.attributes.end(), attributes);
  return mesh.UnlockAttributeBuffer();
}

HRESULT Parse(const FileBytes& bytes, d3dxfile::XMesh& x) {
  switch (d3dxfile::LoadXFile(bytes, x)) {
    case d3dxfile::XFileResult::Ok: return D3D_OK;
    case d3dxfile::XFileResult::OutOfMemory: return E_OUTOFMEMORY;
    default: return D3DXERR_INVALIDDATA;
  }
}

}  // namespace
}  // namespace d3dximpl

HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh) {
  using namespace d3dximpl;
  if (!filename || !device || !mesh) return D3DERR_INVALIDCALL;
  if (effectInstances) return E_NOTIMPL;
  *mesh = nullptr;
  FileBytes bytes;
  HRESULT result = ReadWholeFile(filename, bytes, kMaxMeshFileBytes);
  d3dxfile::XMesh x;
  if (SUCCEEDED(result)) result = Parse(bytes, x);
  if (FAILED(result)) return result;
  Mesh* made = Mesh::Create(device, options, MeshFvf(x), DWORD(x.indices.size() / 3), DWORD(x.vertices.size()), result);
  if (!made) return result;
  if (FAILED(result = FillMesh(*made, x))) {
    made->Release();
    return result;
  }
  if (adjacency) {
    std::vector<d3dxfile::Float3> positions;
    for (const d3dxfile::XVertex& v : x.vertices) positions.push_back(v.position);
    std::vector<uint32_t> neighbours = d3dxfile::BuildAdjacency(x.indices, positions);
    *adjacency = MakeBuffer(neighbours.data(), neighbours.size());
  }
  if (materials) *materials = MakeMaterialBuffer(x.materials);
  if (numMaterials) *numMaterials = DWORD(x.materials.size());
  *mesh = made;
  return D3D_OK;
}
