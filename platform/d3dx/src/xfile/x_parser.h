// The data objects of a .x file that make a mesh: frames and their transforms, meshes
// with normals, texture coordinates, vertex colours and materials. Everything else is
// skipped. Each mesh comes out with its frames' combined transform, in file order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xfile/x_tokenizer.h"

namespace d3dxfile {

// Objects nest at most this deep (frames, meshes, their children, skipped objects).
constexpr int kMaxObjectDepth = 64;

struct Float3 {
  float x = 0, y = 0, z = 0;
};

// Row-major 4x4, row-vector convention (v' = v * M): elements 12..14 translate.
using Matrix4 = std::array<float, 16>;
constexpr Matrix4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct XMaterial {
  float diffuse[4] = {1, 1, 1, 1};  // the .x face colour, with alpha
  float power = 0;
  float specular[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  std::string textureFile;  // empty when the material has no texture
};

struct ParsedMesh {
  std::vector<Float3> positions;
  std::vector<uint32_t> faceSizes;      // corners of each polygon, all >= 3
  std::vector<uint32_t> corners;        // position index of every corner, polygon by polygon
  std::vector<Float3> normals;
  std::vector<uint32_t> normalCorners;  // empty, or the normal index of every corner
  std::vector<std::array<float, 2>> texCoords;  // empty, or one (u, v) per position
  std::vector<uint32_t> colors;                 // empty, or one ARGB per position
  std::vector<XMaterial> materials;             // empty when the mesh has no material list
  std::vector<uint32_t> faceMaterials;          // with materials: the material of each polygon
  Matrix4 transform = kIdentity;  // object to file space
};

// Parses a whole body. Every index is checked against what it indexes and every count
// against the bytes left; throws InvalidDataError on malformed input.
std::vector<ParsedMesh> ParseXFile(Tokenizer& tokens);

}  // namespace d3dxfile
