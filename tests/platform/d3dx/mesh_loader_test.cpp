// D3DXLoadMeshFromXA and ID3DXMesh through a real device: the buffers handed out, the
// subsets after OptimizeInplace, cloning for the device, and drawing each subset.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "d3dx9.h"
#include "device_test_support.h"
#include "scratch_dir.h"

namespace {

// Two quads side by side at z = 0, facing -z; the left one red and textured, the
// right one green. Listed as right quad first so that sorting has work to do.
const char kTwoQuads[] = R"(xof 0302txt 0032
Mesh quads {
  6;
  -1.0; -1.0; 0.0;, -1.0; 1.0; 0.0;, 0.0; -1.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; -1.0; 0.0;, 1.0; 1.0; 0.0;;
  2;
  4; 2, 3, 5, 4;,
  4; 0, 1, 3, 2;;
  MeshNormals { 1; 0.0; 0.0; -1.0;; 2; 4; 0, 0, 0, 0;, 4; 0, 0, 0, 0;; }
  MeshTextureCoords { 6; 0.0; 1.0;, 0.0; 0.0;, 0.5; 1.0;, 0.5; 0.0;, 1.0; 1.0;, 1.0; 0.0;; }
  MeshMaterialList {
    2; 2; 1, 0;;
    Material { 1.0; 0.0; 0.0; 1.0;; 8.0; 0.5; 0.5; 0.5;; 0.0; 0.0; 0.0;; TextureFilename { "red.png"; } }
    Material { 0.0; 1.0; 0.0; 0.5;; 1.0; 0.0; 0.0; 0.0;; 0.1; 0.1; 0.1;; }
  }
}
)";

class MeshLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
    std::ofstream(path_) << kTwoQuads;
  }

  ID3DXMesh* Load() {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromXA(path_.c_str(), D3DXMESH_SYSTEMMEM, test_.device, &adjacency_, &materials_,
                                 nullptr, &materialCount_, &mesh),
              D3D_OK);
    return mesh;
  }

  testsupport::TestDevice test_;
  testsupport::ScratchDir dir_{"vesk-mesh"};
  std::string path_ = dir_ / "quads.x";
  ID3DXBuffer* adjacency_ = nullptr;
  ID3DXBuffer* materials_ = nullptr;
  DWORD materialCount_ = 0;
};

TEST_F(MeshLoaderTest, HandsOutMeshAdjacencyAndMaterialRecords) {
  ID3DXMesh* mesh = Load();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetNumFaces(), 4u) << "two quads, two triangles each";
  EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
  EXPECT_EQ(mesh->GetOptions() & D3DXMESH_SYSTEMMEM, DWORD(D3DXMESH_SYSTEMMEM));
  EXPECT_EQ(adjacency_->GetBufferSize(), 4u * 3 * 4);
  ASSERT_EQ(materialCount_, 2u);
  ASSERT_GE(materials_->GetBufferSize(), 2 * sizeof(D3DXMATERIAL));
  auto* records = static_cast<D3DXMATERIAL*>(materials_->GetBufferPointer());
  EXPECT_EQ(records[0].MatD3D.Diffuse.r, 1.0f);
  EXPECT_EQ(records[0].MatD3D.Power, 8.0f);
  ASSERT_NE(records[0].pTextureFilename, nullptr);
  EXPECT_STREQ(records[0].pTextureFilename, "red.png");
  auto* base = static_cast<char*>(materials_->GetBufferPointer());
  EXPECT_TRUE(records[0].pTextureFilename >= base && records[0].pTextureFilename < base + materials_->GetBufferSize())
      << "the name lives in the same buffer";
  EXPECT_EQ(records[1].MatD3D.Diffuse.a, 0.5f);
  EXPECT_EQ(records[1].pTextureFilename, nullptr);
  EXPECT_EQ(mesh->Release(), 0u);
  adjacency_->Release();
  materials_->Release();
}

TEST_F(MeshLoaderTest, OptimizeInplaceMakesOneSubsetPerMaterialAndKeepsEveryTriangle) {
  ID3DXMesh* mesh = Load();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                                  static_cast<DWORD*>(adjacency_->GetBufferPointer()), nullptr, nullptr, nullptr),
            D3D_OK);
  DWORD count = 0;
  mesh->GetAttributeTable(nullptr, &count);
  ASSERT_EQ(count, 2u);
  D3DXATTRIBUTERANGE table[2];
  mesh->GetAttributeTable(table, &count);
  EXPECT_EQ(table[0].AttribId, 0u);
  EXPECT_EQ(table[0].FaceStart, 0u);
  EXPECT_EQ(table[0].FaceCount, 2u);
  EXPECT_EQ(table[1].AttribId, 1u);
  EXPECT_EQ(table[1].FaceStart, 2u);
  DWORD* attributes = nullptr;
  mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
  EXPECT_EQ(attributes[0], 0u);
  EXPECT_EQ(attributes[3], 1u);
  mesh->UnlockAttributeBuffer();
  mesh->Release();
  adjacency_->Release();
  materials_->Release();
}

TEST_F(MeshLoaderTest, DeviceCopyDrawsEachSubsetWithTheCurrentMaterial) {
  ID3DXMesh* mesh = Load();
  ASSERT_NE(mesh, nullptr);
  mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                        static_cast<DWORD*>(adjacency_->GetBufferPointer()), nullptr, nullptr, nullptr);
  ID3DXMesh* local = nullptr;
  ASSERT_EQ(mesh->CloneMeshFVF(0, mesh->GetFVF(), test_.device, &local), D3D_OK);
  IDirect3DDevice9* d = test_.device;
  D3DXMATRIX view;
  D3DXVECTOR3 eye(0, 0, -2.5f), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, 3.14159265f / 2, 64.0f / 48.0f, 1.0f, 10.0f);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_PROJECTION, &projection);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF0000FF);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  d->BeginScene();
  EXPECT_EQ(local->DrawSubset(1), D3D_OK) << "only the right quad";
  EXPECT_EQ(local->DrawSubset(7), D3D_OK) << "no such subset: nothing drawn";
  d->EndScene();
  d->Present(nullptr, nullptr, nullptr, nullptr);
  std::vector<uint32_t> screen = testsupport::ReadFrontBuffer(test_);
  auto at_ = [&](int x, int y) { return screen[size_t(60 + y) * 1920 + 100 + x] & 0xFFFFFFu; };
  EXPECT_EQ(at_(37, 24), 0x0000FFu) << "right quad drawn";
  EXPECT_EQ(at_(27, 24), 0x000000u) << "left quad is another subset";
  d->SetStreamSource(0, nullptr, 0, 0);
  d->SetIndices(nullptr);
  EXPECT_EQ(local->Release(), 0u);
  mesh->Release();
  adjacency_->Release();
  materials_->Release();
}

TEST_F(MeshLoaderTest, MissingAndBrokenFilesFailWithoutAMesh) {
  ID3DXMesh* mesh = nullptr;
  DWORD count = 0;
  EXPECT_EQ(D3DXLoadMeshFromXA("/nonexistent/none.x", D3DXMESH_SYSTEMMEM, test_.device, nullptr, nullptr, nullptr,
                               &count, &mesh),
            HRESULT(0x80070002));
  std::ofstream(path_) << "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3; 0, 1, 7;; }\n";
  EXPECT_EQ(D3DXLoadMeshFromXA(path_.c_str(), D3DXMESH_SYSTEMMEM, test_.device, nullptr, nullptr, nullptr, &count,
                               &mesh),
            D3DXERR_INVALIDDATA)
      << "face index out of range";
  EXPECT_EQ(mesh, nullptr);
}

}  // namespace
