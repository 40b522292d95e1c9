// Builds the inside-out sphere of the backdrop and prints it in the .x text format.
#include "backdrop_mesh.h"

#include <cstdio>

namespace media {
namespace {

// Positions come from the segment index taken modulo `segments`, so the seam column
// repeats column 0 exactly, and the poles are exact.
Vec3 RingPoint(float radius, int ring, int rings, int segment, int segments) {
  if (ring == 0) return {0.0f, radius, 0.0f};
  if (ring == rings) return {0.0f, -radius, 0.0f};
  float u = float(segment % segments) / float(segments);
  return DirectionAt(u, float(ring) / float(rings)) * radius;
}

void AddTriangle(SphereMesh& mesh, uint32_t a, uint32_t b, uint32_t c) {
  // Clockwise from the centre means the face normal (b - a) x (c - a) points inwards.
  Vec3 pa = mesh.vertices[a].position;
  Vec3 normal = Cross(mesh.vertices[b].position - pa, mesh.vertices[c].position - pa);
  if (Dot(normal, pa) > 0.0f) std::swap(b, c);
  mesh.triangles.insert(mesh.triangles.end(), {a, b, c});
}

std::string Format(const char* pattern, double a, double b, double c = 0.0) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

// A counted array: "count;" then the items, separated by "," and closed by ";", one
// line each (`item` gives an element with its own closing separator where it has one).
template <class Item>
void AppendArray(std::string& out, size_t count, Item item, const char* separator = "\n") {
  out += std::to_string(count) + ";\n";
  for (size_t i = 0; i < count; ++i) out += item(i) + (i + 1 < count ? "," : ";") + separator;
}

void AppendVectors(std::string& out, const SphereMesh& mesh, float scale) {
  AppendArray(out, mesh.vertices.size(), [&](size_t i) {
    Vec3 p = mesh.vertices[i].position * scale;
    return Format("%.6f;%.6f;%.6f;", p.x, p.y, p.z);
  });
}

void AppendFaces(std::string& out, const SphereMesh& mesh) {
  AppendArray(out, mesh.triangles.size() / 3, [&](size_t f) {
    const uint32_t* t = &mesh.triangles[f * 3];
    return "3;" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]) + ";";
  });
}

}  // namespace

SphereMesh BuildInsideSphere(float radius, int rings, int segments) {
  SphereMesh mesh;
  mesh.radius = radius;
  int columns = segments + 1;
  for (int ring = 0; ring <= rings; ++ring) {
    for (int s = 0; s < columns; ++s) {
      // A pole vertex sits in the middle of its segment's u range.
      bool pole = ring == 0 || ring == rings;
      float u = (float(s) + (pole ? 0.5f : 0.0f)) / float(segments);
      mesh.vertices.push_back({RingPoint(radius, ring, rings, s, segments), u, float(ring) / float(rings)});
    }
  }
  auto index = [columns](int ring, int s) { return uint32_t(ring * columns + s); };
  for (int ring = 0; ring < rings; ++ring) {
    for (int s = 0; s < segments; ++s) {
      uint32_t a = index(ring, s), b = index(ring, s + 1), c = index(ring + 1, s), d = index(ring + 1, s + 1);
      if (ring == 0) {
        AddTriangle(mesh, a, d, c);  // north fan: a is the pole vertex of segment s
      } else if (ring == rings - 1) {
        AddTriangle(mesh, a, b, c);  // south fan: c is the pole vertex of segment s
      } else {
        AddTriangle(mesh, a, b, c);
        AddTriangle(mesh, b, d, c);
      }
    }
  }
  return mesh;
}

std::string BackdropXFile(const SphereMesh& mesh, const std::string& textureName) {
  std::string out = "xof 0302txt 0032\n// The backdrop of the globe scene: a star sphere seen from inside.\n";
  out += "Mesh Backdrop {\n";
  AppendVectors(out, mesh, 1.0f);
  AppendFaces(out, mesh);
  out += "MeshNormals {\n";
  AppendVectors(out, mesh, -1.0f / mesh.radius);
  AppendFaces(out, mesh);
  out += "}\nMeshTextureCoords {\n";
  AppendArray(out, mesh.vertices.size(),
              [&](size_t i) { return Format("%.6f;%.6f;", mesh.vertices[i].u, mesh.vertices[i].v); });
  out += "}\nMeshMaterialList {\n1;\n";
  AppendArray(out, mesh.triangles.size() / 3, [](size_t) { return std::string("0"); }, "");
  out += "\nMaterial Stars {\n1.000000;1.000000;1.000000;1.000000;;\n0.000000;\n0.000000;0.000000;0.000000;;\n"
         "0.000000;0.000000;0.000000;;\nTextureFilename { \"" +
         textureName + "\"; }\n}\n}\n}\n";
  return out;
}

}  // namespace media
