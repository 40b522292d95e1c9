// The reordering behind ID3DXMesh::OptimizeInplace with ATTRSORT | COMPACT |
// VERTEXCACHE: faces grouped by attribute (stable), each group ordered for a small
// vertex cache, unused vertices dropped and the rest numbered by first use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace d3dxfile {

// One attribute subset, as D3DXATTRIBUTERANGE lays it out.
struct AttributeRange {
  uint32_t attribId;
  uint32_t faceStart;
  uint32_t faceCount;
  uint32_t vertexStart;
  uint32_t vertexCount;
};

struct MeshOptimization {
  std::vector<uint32_t> faceRemap;    // new face -> old face
  std::vector<uint32_t> vertexRemap;  // new vertex -> old vertex
  std::vector<uint32_t> indices;      // the faces in their new order, new vertex numbers
  std::vector<uint32_t> attributes;   // attribute of each new face
  std::vector<AttributeRange> attributeTable;  // by ascending attribute id
};

// Every triangle keeps its corners in their order (and so its winding). Returns
// nothing when indices and attributes disagree in length or an index reaches
// vertexCount.
std::optional<MeshOptimization> OptimizeMesh(std::span<const uint32_t> indices,
                                             std::span<const uint32_t> attributes,
                                             uint32_t vertexCount);

}  // namespace d3dxfile
