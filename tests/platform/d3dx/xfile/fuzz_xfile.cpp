// libFuzzer target for the .x reader: any bytes must load or fail cleanly, and a
// loaded mesh must hold together through adjacency and optimisation (every index in
// range, every triangle kept), or the target aborts.
#include <cstdlib>
#include <vector>

#include "xfile/mesh_optimize.h"
#include "xfile/x_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckMesh(const d3dxfile::XMesh& mesh) {
  const size_t vertexCount = mesh.vertices.size();
  Check(mesh.indices.size() == mesh.attributes.size() * 3);
  for (uint32_t index : mesh.indices) Check(index < vertexCount);
  for (uint32_t attribute : mesh.attributes) Check(attribute < mesh.materials.size());
  std::vector<d3dxfile::Float3> positions;
  for (const auto& vertex : mesh.vertices) positions.push_back(vertex.position);
  auto adjacency = d3dxfile::BuildAdjacency(mesh.indices, positions);
  for (size_t slot = 0; slot < adjacency.size(); ++slot) {
    Check(adjacency[slot] == d3dxfile::kNoNeighbour || adjacency[slot] < mesh.attributes.size());
  }
  auto optimized =
      d3dxfile::OptimizeMesh(mesh.indices, mesh.attributes, static_cast<uint32_t>(vertexCount));
  Check(optimized.has_value());
  for (size_t corner = 0; corner < optimized->indices.size(); ++corner) {
    uint32_t oldFace = optimized->faceRemap[corner / 3];
    Check(optimized->vertexRemap[optimized->indices[corner]] ==
          mesh.indices[oldFace * 3 + corner % 3]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  d3dxfile::XMesh mesh;
  if (d3dxfile::LoadXFile({data, size}, mesh) == d3dxfile::XFileResult::Ok) CheckMesh(mesh);
  return 0;
}
