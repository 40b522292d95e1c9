// Loading whole .x files: one scene written in every encoding loads to the same mesh,
// and that mesh is the one worked out by hand (frames, polygons, normals, texture
// coordinates, colours, inline and referenced materials, skipped objects).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "x_test_writer.h"
#include "xfile/x_file.h"

namespace {

using d3dxfile::Float3;
using d3dxfile::LoadXFile;
using d3dxfile::XFileResult;
using d3dxfile::XMesh;
using xtest::Encoding;

XMesh LoadOk(const std::vector<uint8_t>& file) {
  XMesh mesh;
  EXPECT_EQ(LoadXFile(file, mesh), XFileResult::Ok);
  return mesh;
}

XFileResult LoadResult(std::string_view text) {
  XMesh mesh;
  return LoadXFile(xtest::ToBytes(text), mesh);
}

void ExpectFloat3(const Float3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

void ExpectSameMesh(const XMesh& a, const XMesh& b) {
  EXPECT_EQ(a.hasNormals, b.hasNormals);
  EXPECT_EQ(a.hasTexCoords, b.hasTexCoords);
  EXPECT_EQ(a.hasColors, b.hasColors);
  ASSERT_EQ(a.vertices.size(), b.vertices.size());
  for (size_t i = 0; i < a.vertices.size(); ++i) {
    const auto &va = a.vertices[i], &vb = b.vertices[i];
    EXPECT_TRUE(std::memcmp(&va, &vb, sizeof va) == 0) << "vertex " << i;
  }
  EXPECT_EQ(a.indices, b.indices);
  EXPECT_EQ(a.attributes, b.attributes);
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (size_t i = 0; i < a.materials.size(); ++i) {
    const auto &ma = a.materials[i], &mb = b.materials[i];
    EXPECT_TRUE(std::equal(ma.diffuse, ma.diffuse + 4, mb.diffuse));
    EXPECT_EQ(ma.power, mb.power);
    EXPECT_TRUE(std::equal(ma.specular, ma.specular + 3, mb.specular));
    EXPECT_TRUE(std::equal(ma.emissive, ma.emissive + 3, mb.emissive));
    EXPECT_EQ(ma.textureFile, mb.textureFile);
  }
}

TEST(XFileScene, TextLoadsToTheMeshWorkedOutByHand) {
  XMesh mesh = LoadOk(xtest::Scene(Encoding::Text));
  EXPECT_TRUE(mesh.hasNormals && mesh.hasTexCoords && mesh.hasColors);
  // Quad corners 0..3, the triangle's corners 3 and 2 split off (other normal), then 4;
  // then the child's three.
  ASSERT_EQ(mesh.vertices.size(), 10u);
  EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{1, 1, 0, 2}));
  const float positions[10][3] = {{0, 2, 0}, {0, 3, 0}, {1, 3, 0}, {1, 2, 0}, {1, 2, 0},
                                  {1, 3, 0}, {2, 2, 0}, {0, 2, 2}, {0, 4, 2}, {2, 2, 2}};
  for (int i = 0; i < 10; ++i) {
    ExpectFloat3(mesh.vertices[i].position, positions[i][0], positions[i][1], positions[i][2]);
  }
  ExpectFloat3(mesh.vertices[3].normal, 0, 0, -1);
  ExpectFloat3(mesh.vertices[4].normal, 0.6f, 0, -0.8f);
  ExpectFloat3(mesh.vertices[8].normal, 0, 0, -1);  // made for the part without normals
  EXPECT_EQ(mesh.vertices[5].u, 1.0f);
  EXPECT_EQ(mesh.vertices[6].v, 0.25f);
  EXPECT_EQ(mesh.vertices[9].u, 0.0f);
  EXPECT_EQ(mesh.vertices[0].color, 0x800000FFu);
  EXPECT_EQ(mesh.vertices[6].color, 0xFFFF0000u);
  EXPECT_EQ(mesh.vertices[1].color, 0xFFFFFFFFu);
  ASSERT_EQ(mesh.materials.size(), 3u);
  EXPECT_EQ(mesh.materials[0].diffuse[3], 0.5f);
  EXPECT_EQ(mesh.materials[0].emissive[0], 0.25f);
  EXPECT_EQ(mesh.materials[0].textureFile, "");
  EXPECT_EQ(mesh.materials[1].power, 20.0f);
  EXPECT_EQ(mesh.materials[1].textureFile, "red.png");
  EXPECT_EQ(mesh.materials[2].diffuse[0], 1.0f);  // default material: opaque white
  EXPECT_EQ(mesh.materials[2].diffuse[3], 1.0f);
  EXPECT_EQ(mesh.materials[2].power, 0.0f);
}

TEST(XFileScene, EveryEncodingLoadsToTheSameMesh) {
  const XMesh text = LoadOk(xtest::Scene(Encoding::Text));
  for (Encoding encoding : {Encoding::Text, Encoding::Binary32, Encoding::Binary64}) {
    const auto file = xtest::Scene(encoding);
    SCOPED_TRACE(static_cast<int>(encoding));
    ExpectSameMesh(LoadOk(file), text);
    ExpectSameMesh(LoadOk(xtest::CompressMszip(file)), text);
    ExpectSameMesh(LoadOk(xtest::CompressMszip(file, 61)), text);  // many small blocks
  }
}

TEST(XFilePolygons, PentagonIsFannedFromItsFirstCorner) {
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0302txt 0064\nMesh { 5; 0;0;0;, 0;1;0;, 1;2;0;, 2;1;0;, 2;0;0;;\n"
      "2; 5;4,3,2,1,0;, 4;0,1,2,3;; }"));
  EXPECT_EQ(mesh.indices,
            (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 4, 3, 2, 4, 2, 1}));
  EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{0, 0, 0, 0, 0}));
  EXPECT_FALSE(mesh.hasNormals);
}

TEST(XFileVertexSplit, CubeWithOneNormalPerFaceHas24Vertices) {
  XMesh mesh = LoadOk(xtest::ToBytes(xtest::Cube(xtest::kCubeFaceNormals)));
  ASSERT_EQ(mesh.vertices.size(), 24u);
  ASSERT_EQ(mesh.indices.size(), 36u);
  for (size_t t = 0; t < 12; ++t) {
    // Every corner of a triangle carries its face's normal, which is the geometric
    // normal of the clockwise triangle.
    const Float3& a = mesh.vertices[mesh.indices[3 * t]].position;
    const Float3& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
    const Float3& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
    Float3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
    Float3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    for (int k = 0; k < 3; ++k) ExpectFloat3(mesh.vertices[mesh.indices[3 * t + k]].normal, n.x, n.y, n.z);
  }
}

TEST(XFileVertexSplit, EqualNormalsUnderDifferentIndicesDoNotSplit) {
  // One normal per corner (24 entries) where each face repeats the same value.
  std::string normals = "MeshNormals { 24;";
  const char* faceNormals[6] = {"0;0;-1;", "0;0;1;", "-1;0;0;", "1;0;0;", "0;1;0;", "0;-1;0;"};
  for (int f = 0; f < 6; ++f) {
    for (int k = 0; k < 4; ++k) normals += std::string(faceNormals[f]) + ((f == 5 && k == 3) ? ";" : ",");
  }
  normals += "6;";
  for (int f = 0; f < 6; ++f) {
    normals += "4;" + std::to_string(4 * f) + "," + std::to_string(4 * f + 1) + "," +
               std::to_string(4 * f + 2) + "," + std::to_string(4 * f + 3) + ";,";
  }
  normals += "}";
  EXPECT_EQ(LoadOk(xtest::ToBytes(xtest::Cube(normals))).vertices.size(), 24u);
}

TEST(XFileVertexSplit, SmoothNormalsKeepOneVertexPerPosition) {
  XMesh mesh = LoadOk(xtest::ToBytes(xtest::Cube(
      "MeshNormals { 8; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;, 0;0;1;, 0;1;1;, 1;1;1;, 1;0;1;;\n"
      "6; 4;0,1,2,3;, 4;7,6,5,4;, 4;4,5,1,0;, 4;3,2,6,7;, 4;1,5,6,2;, 4;4,0,3,7;; }")));
  EXPECT_EQ(mesh.vertices.size(), 8u);
}

std::string FramedTriangle(std::string_view outer, std::string_view inner) {
  return "xof 0303txt 0032\nFrame Outer { FrameTransformMatrix { " + std::string(outer) +
         ";; }\n Frame Inner { Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;\n"
         " MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;; } }\n FrameTransformMatrix { " +
         std::string(inner) + ";; } } }";
}

TEST(XFileFrames, InnerTransformAppliesBeforeOuter) {
  // Inner: 90 degrees about z (x -> y); outer: translate by (10, 0, 0). The inner
  // matrix comes after the mesh in its frame and still applies to it.
  XMesh mesh = LoadOk(xtest::ToBytes(FramedTriangle(
      "1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1", "0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,0,1")));
  ExpectFloat3(mesh.vertices[0].position, 10, 1, 0);
  ExpectFloat3(mesh.vertices[1].position, 9, 0, 0);
  ExpectFloat3(mesh.vertices[2].position, 10, 0, 1);
}

TEST(XFileFrames, NormalsTakeTheInverseTransposeAndStayUnitLength) {
  // Scale x by 2: a normal (1,1,0)/sqrt2 becomes (0.5,1,0) normalised, not (2,1,0).
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0303txt 0032\nFrame { FrameTransformMatrix { 2,0,0,0, 0,1,0,0, 0,0,1,0, 5,5,5,1;; }\n"
      "Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;\n"
      "MeshNormals { 1; 0.70710678;0.70710678;0;; 1; 3;0,0,0;; } } }"));
  ExpectFloat3(mesh.vertices[0].normal, 0.5f / std::sqrt(1.25f), 1.0f / std::sqrt(1.25f), 0);
  ExpectFloat3(mesh.vertices[0].position, 7, 5, 5);
}

TEST(XFileFrames, MirroringFrameReversesWindingAndFlipsNormals) {
  XMesh mesh = LoadOk(xtest::ToBytes(FramedTriangle(
      "-1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1", "1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1")));
  EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 2, 1}));
  ExpectFloat3(mesh.vertices[0].normal, 0, 0, 1);
}

TEST(XFileFrames, TopLevelMeshesAndMeshReferencesInFrames) {
  // A top-level mesh takes no transform; a reference to it inside a frame is not a
  // second copy.
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0303txt 0032\nMesh Tri { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;; }\n"
      "Frame { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,9,0,1;; } { Tri } }"));
  ASSERT_EQ(mesh.vertices.size(), 3u);
  ExpectFloat3(mesh.vertices[0].position, 1, 0, 0);
}

TEST(XFileMaterials, FormatNoteExampleWithReferenceAndDoubleSemicolons) {
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0303txt 0032\n"
      "Material Red { 1.0;0.0;0.0;1.0;; 20.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; }\n"
      "Frame Root {\n"
      "  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,2.0,0.0,1.0;; }\n"
      "  Mesh Tri {\n"
      "    3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;\n"
      "    1; 3;0,1,2;;\n"
      "    MeshMaterialList { 1; 1; 0;; { Red } }\n"
      "  }\n"
      "}\n"));
  ExpectFloat3(mesh.vertices[1].position, 0, 3, 0);
  ASSERT_EQ(mesh.materials.size(), 1u);
  EXPECT_EQ(mesh.materials[0].power, 20.0f);
  EXPECT_EQ(mesh.materials[0].diffuse[0], 1.0f);
}

TEST(XFileMaterials, ExporterQuirksAreAccepted) {
  // Lower-case template names, TextureFileName, one index for all faces, a material
  // referred to by GUID, NaN spellings, comments of both kinds.
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0302txt 0032\n# exported\n"
      "Material { <01234567-89AB-cdef-0123-456789ABCDEF> 1;1;1;1;; 1.#IND00; 0;0;0;; 0;0;0;; }\n"
      "mesh { 4; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;; 2; 3;0,1,2;, 3;0,2,3;; // two faces\n"
      "  meshmateriallist { 2; 1; 1;;\n"
      "    Material { 0;0;1;1;; 8; 0;0;0;; 0;0;0;; TextureFileName { \"C:\\\\maps\\\\a b.png\"; } }\n"
      "    { <01234567-89ab-CDEF-0123-456789abcdef> } } }\n"));
  EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{1, 1}));
  ASSERT_EQ(mesh.materials.size(), 2u);
  EXPECT_EQ(mesh.materials[0].textureFile, "C:\\\\maps\\\\a b.png");
  EXPECT_EQ(mesh.materials[1].power, 0.0f);
}

TEST(XFileMaterials, CountThatDisagreesWithTheMaterialsGivenIsInvalid) {
  EXPECT_EQ(LoadResult("xof 0303txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;\n"
                       "MeshMaterialList { 2; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"),
            XFileResult::InvalidData);
  EXPECT_EQ(LoadResult("xof 0303txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;\n"
                       "MeshMaterialList { 1; 1; 0;; { Missing } } }"),
            XFileResult::InvalidData);
}

TEST(XFileObjects, UnknownObjectsAndDeclaredTemplatesAreSkipped) {
  XMesh mesh = LoadOk(xtest::ToBytes(
      "xof 0303txt 0032\n"
      "template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }\n"
      "template Odd { <11111111-2222-3333-4444-555555555555> STRING s; [...] }\n"
      "Odd { \"}{ not a brace\"; Odd inner { \"x\"; Nested { 1; 2; } } }\n"
      "AnimTicksPerSecond { 4800; }\n"
      "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;\n"
      "  XSkinMeshHeader { 1; 2; 3; } Odd { \"{\"; } }\n"));
  EXPECT_EQ(mesh.indices.size(), 3u);
}

TEST(XFileObjects, FileWithoutTrianglesIsInvalid) {
  EXPECT_EQ(LoadResult("xof 0303txt 0032\nFrame { }\n"), XFileResult::InvalidData);
  EXPECT_EQ(LoadResult("xof 0303txt 0032\nMesh { 0;; 0;; }\n"), XFileResult::InvalidData);
}

}  // namespace
