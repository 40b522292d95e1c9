// The backdrop: a sphere seen from inside, written as a text .x file with inward
// normals, equirectangular texture coordinates and one opaque textured material.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sphere.h"

namespace media {

struct SphereMesh {
  float radius = 0.0f;
  struct Vertex {
    Vec3 position;
    float u, v;
  };
  std::vector<Vertex> vertices;
  std::vector<uint32_t> triangles;  // three indices each
};

// `rings` bands from pole to pole and `segments` around them. Every triangle is
// clockwise as seen from the centre, so that Direct3D's default culling keeps it for an
// eye inside. Each pole is closed by a fan of triangles, one pole vertex per segment so
// that each carries the u of its segment; the u = 0 / u = 1 seam has its own vertices
// at bit-identical positions, so that no crack can open there.
SphereMesh BuildInsideSphere(float radius, int rings, int segments);

// The whole .x text ("xof 0302txt 0032"): one Mesh with MeshNormals (towards the centre),
// MeshTextureCoords and a MeshMaterialList of one white material, alpha 1.0, whose
// texture is `textureName`.
std::string BackdropXFile(const SphereMesh& mesh, const std::string& textureName);

}  // namespace media
