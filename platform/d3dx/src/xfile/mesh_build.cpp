// Merging parsed .x meshes into one triangle list, and face adjacency. Positions take
// the full frame transform; normals take the inverse transpose of its 3x3 part (exact
// for non-uniform scale too) and are renormalised. A mirroring transform reverses the
// triangles' winding so that their front faces stay in front.
#include "xfile/mesh_build.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <unordered_map>

namespace d3dxfile {
namespace {

// A vertex or position identified by exact bit patterns (with -0 read as +0).
struct VertexKey {
  uint32_t position;
  uint32_t bits[3];
  bool operator==(const VertexKey&) const = default;
};

struct VertexKeyHash {
  size_t operator()(const VertexKey& key) const {
    uint64_t hash = key.position;
    for (uint32_t b : key.bits) hash = (hash ^ b) * 0x100000001B3ull;
    return static_cast<size_t>(hash ^ (hash >> 29));
  }
};

VertexKey KeyOf(uint32_t position, const Float3& v) {
  return {position,
          {std::bit_cast<uint32_t>(v.x + 0.0f), std::bit_cast<uint32_t>(v.y + 0.0f),
           std::bit_cast<uint32_t>(v.z + 0.0f)}};
}

Float3 Subtract(const Float3& a, const Float3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Float3 Add(const Float3& a, const Float3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Float3 Cross(const Float3& a, const Float3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Float3 Normalized(const Float3& v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(length > 0)) return v;
  return {v.x / length, v.y / length, v.z / length};
}

Float3 TransformPoint(const Float3& p, const Matrix4& m) {
  return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
          p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
          p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

// The frame transform as it applies to normals.
struct NormalTransform {
  Matrix4 matrix{};  // cofactors of the upper 3x3, times the determinant's sign
  bool mirrors = false;
};

NormalTransform NormalTransformOf(const Matrix4& m) {
  auto at = [&m](int row, int col) { return m[(row % 3) * 4 + col % 3]; };
  NormalTransform result;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      // Cyclic indices give the signed cofactor directly.
      result.matrix[r * 4 + c] =
          at(r + 1, c + 1) * at(r + 2, c + 2) - at(r + 1, c + 2) * at(r + 2, c + 1);
    }
  }
  float determinant = m[0] * result.matrix[0] + m[1] * result.matrix[1] + m[2] * result.matrix[2];
  result.mirrors = determinant < 0;
  if (result.mirrors) {
    for (float& value : result.matrix) value = -value;
  }
  return result;
}

Float3 TransformNormal(const Float3& n, const NormalTransform& t) {
  Float3 moved = TransformPoint(n, t.matrix);  // translation row is zero
  return Normalized(moved);
}

// Smooth normals for a part that has none: area-weighted sums of its polygons' normals.
std::vector<Float3> PositionNormals(const ParsedMesh& part) {
  std::vector<Float3> sums(part.positions.size());
  size_t first = 0;
  for (uint32_t size : part.faceSizes) {
    const Float3& origin = part.positions[part.corners[first]];
    Float3 normal;
    for (uint32_t i = 1; i + 1 < size; ++i) {
      normal = Add(normal, Cross(Subtract(part.positions[part.corners[first + i]], origin),
                                 Subtract(part.positions[part.corners[first + i + 1]], origin)));
    }
    for (uint32_t i = 0; i < size; ++i) {
      Float3& sum = sums[part.corners[first + i]];
      sum = Add(sum, normal);
    }
    first += size;
  }
  for (Float3& sum : sums) sum = Normalized(sum);
  return sums;
}

// The object-space normal of every corner.
std::vector<Float3> CornerNormals(const ParsedMesh& part) {
  std::vector<Float3> normals(part.corners.size());
  if (part.normalCorners.empty()) {
    std::vector<Float3> smooth = PositionNormals(part);
    for (size_t c = 0; c < normals.size(); ++c) normals[c] = smooth[part.corners[c]];
  } else {
    for (size_t c = 0; c < normals.size(); ++c) normals[c] = part.normals[part.normalCorners[c]];
  }
  return normals;
}

// Adds one vertex per distinct (position, normal) pair, in order of first use, and
// returns the vertex of every corner.
std::vector<uint32_t> AddVertices(const ParsedMesh& part, const std::vector<Float3>& cornerNormals,
                                  const NormalTransform& normalTransform, XMesh& out) {
  std::unordered_map<VertexKey, uint32_t, VertexKeyHash> made;
  std::vector<uint32_t> cornerVertex(part.corners.size());
  for (size_t c = 0; c < part.corners.size(); ++c) {
    uint32_t position = part.corners[c];
    Float3 normal = cornerNormals.empty() ? Float3{} : cornerNormals[c];
    auto [it, isNew] = made.try_emplace(KeyOf(position, normal), 0);
    if (isNew) {
      if (out.vertices.size() >= kNoNeighbour) throw std::bad_alloc();
      it->second = static_cast<uint32_t>(out.vertices.size());
      XVertex& vertex = out.vertices.emplace_back();
      vertex.position = TransformPoint(part.positions[position], part.transform);
      if (!cornerNormals.empty()) vertex.normal = TransformNormal(normal, normalTransform);
      if (!part.texCoords.empty()) {
        vertex.u = part.texCoords[position][0];
        vertex.v = part.texCoords[position][1];
      }
      if (!part.colors.empty()) vertex.color = part.colors[position];
    }
    cornerVertex[c] = it->second;
  }
  return cornerVertex;
}

// Fans each polygon from its first corner, keeping its winding unless the part's
// transform mirrors it.
void AddTriangles(const ParsedMesh& part, const std::vector<uint32_t>& cornerVertex, bool mirrors,
                  uint32_t materialBase, XMesh& out) {
  size_t first = 0;
  for (size_t f = 0; f < part.faceSizes.size(); ++f) {
    uint32_t attribute = materialBase + (part.materials.empty() ? 0 : part.faceMaterials[f]);
    for (uint32_t i = 1; i + 1 < part.faceSizes[f]; ++i) {
      uint32_t second = cornerVertex[first + i], third = cornerVertex[first + i + 1];
      if (mirrors) std::swap(second, third);
      out.indices.insert(out.indices.end(), {cornerVertex[first], second, third});
      out.attributes.push_back(attribute);
    }
    first += part.faceSizes[f];
  }
}

void AppendPart(const ParsedMesh& part, XMesh& out) {
  auto materialBase = static_cast<uint32_t>(out.materials.size());
  std::vector<Float3> cornerNormals;
  if (out.hasNormals) cornerNormals = CornerNormals(part);
  const NormalTransform normalTransform = NormalTransformOf(part.transform);
  AddTriangles(part, AddVertices(part, cornerNormals, normalTransform, out),
               normalTransform.mirrors, materialBase, out);
  if (part.materials.empty()) {
    out.materials.emplace_back();
  } else {
    out.materials.insert(out.materials.end(), part.materials.begin(), part.materials.end());
  }
}

}  // namespace

XMesh BuildXMesh(const std::vector<ParsedMesh>& meshes) {
  XMesh out;
  for (const ParsedMesh& part : meshes) {
    out.hasNormals |= !part.normalCorners.empty();
    out.hasTexCoords |= !part.texCoords.empty();
    out.hasColors |= !part.colors.empty();
  }
  for (const ParsedMesh& part : meshes) AppendPart(part, out);
  if (out.indices.empty()) FailInvalidData();
  if (out.attributes.size() >= kNoNeighbour) throw std::bad_alloc();  // faces need 32-bit ids
  return out;
}

std::vector<uint32_t> BuildAdjacency(std::span<const uint32_t> indices,
                                     std::span<const Float3> positions) {
  // Every vertex stands for the first vertex at its position.
  std::unordered_map<VertexKey, uint32_t, VertexKeyHash> firstAt;
  std::vector<uint32_t> canonical(positions.size());
  for (size_t v = 0; v < positions.size(); ++v) {
    canonical[v] = firstAt.try_emplace(KeyOf(0, positions[v]), static_cast<uint32_t>(v)).first->second;
  }
  struct HalfEdge {
    uint32_t from, to, slot;  // slot = 3 * face + edge
    auto operator<=>(const HalfEdge&) const = default;
  };
  std::vector<HalfEdge> edges;
  edges.reserve(indices.size());
  for (size_t slot = 0; slot < indices.size(); ++slot) {
    size_t next = slot % 3 == 2 ? slot - 2 : slot + 1;
    uint32_t from = canonical[indices[slot]], to = canonical[indices[next]];
    if (from != to) edges.push_back({from, to, static_cast<uint32_t>(slot)});
  }
  std::sort(edges.begin(), edges.end());
  std::vector<uint32_t> adjacency(indices.size(), kNoNeighbour);
  for (const HalfEdge& edge : edges) {
    if (adjacency[edge.slot] != kNoNeighbour) continue;
    auto twins = std::equal_range(edges.begin(), edges.end(), HalfEdge{edge.to, edge.from, 0},
                                  [](const HalfEdge& a, const HalfEdge& b) {
                                    return a.from != b.from ? a.from < b.from : a.to < b.to;
                                  });
    for (auto twin = twins.first; twin != twins.second; ++twin) {
      if (twin->slot / 3 == edge.slot / 3 || adjacency[twin->slot] != kNoNeighbour) continue;
      adjacency[edge.slot] = twin->slot / 3;
      adjacency[twin->slot] = edge.slot / 3;
      break;
    }
  }
  return adjacency;
}

}  // namespace d3dxfile
