// Turns the parsed meshes of a .x file into the one indexed triangle mesh D3DX loads:
// transformed by their frames, merged, triangulated, vertices split where a corner's
// normal differs. Also the face adjacency D3DX hands out with it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "xfile/x_parser.h"

namespace d3dxfile {

struct XVertex {
  Float3 position;
  Float3 normal;  // zero unless the mesh has normals
  float u = 0, v = 0;
  uint32_t color = 0xFFFFFFFFu;  // ARGB
};

struct XMesh {
  bool hasNormals = false;
  bool hasTexCoords = false;
  bool hasColors = false;
  std::vector<XVertex> vertices;
  std::vector<uint32_t> indices;     // three per triangle
  std::vector<uint32_t> attributes;  // material index of each triangle
  std::vector<XMaterial> materials;
};

constexpr uint32_t kNoNeighbour = 0xFFFFFFFFu;

// Merges the meshes in order. A part without a material list gets one default material
// (white, opaque); a part without normals, in a file where others have them, gets
// smooth normals. Throws InvalidDataError when there is no triangle at all.
XMesh BuildXMesh(const std::vector<ParsedMesh>& meshes);

// Three entries per triangle: the triangle across edge i (corner i to corner i+1), or
// kNoNeighbour. Corners at the same position count as the same corner, and an edge is
// shared only by triangles running along it in opposite directions, one pair per edge.
std::vector<uint32_t> BuildAdjacency(std::span<const uint32_t> indices,
                                     std::span<const Float3> positions);

}  // namespace d3dxfile
