// Hostile files give InvalidData (or OutOfMemory) and never crash: indices out of
// range, counts beyond the bytes present, nesting past the bound, truncated and
// corrupted files of every encoding, and headers that lie.
#include <gtest/gtest.h>

#include <string>

#include "x_test_writer.h"
#include "xfile/x_file.h"

namespace {

using d3dxfile::LoadXFile;
using d3dxfile::XFileResult;
using d3dxfile::XMesh;
using xtest::Encoding;
using xtest::XWriter;

XFileResult Load(const std::vector<uint8_t>& bytes) {
  XMesh mesh;
  return LoadXFile(bytes, mesh);
}

XFileResult LoadText(std::string_view body) {
  return Load(xtest::ToBytes("xof 0303txt 0032\n" + std::string(body)));
}

constexpr const char* kTriangle = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; ";

TEST(HostileXFile, IndicesOutOfRange) {
  const std::string cases[] = {
      "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,3;; }",
      std::string(kTriangle) + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }",
      std::string(kTriangle) + "MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
      std::string(kTriangle) + "MeshVertexColors { 1; 3; 1;1;1;1;; } }",
  };
  for (const auto& body : cases) EXPECT_EQ(LoadText(body), XFileResult::InvalidData) << body;
}

TEST(HostileXFile, CountsThatDisagreeWithTheMesh) {
  const std::string cases[] = {
      "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 2;0,1;; }",  // a two-corner face
      std::string(kTriangle) + "MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }",
      std::string(kTriangle) + "MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }",
      std::string(kTriangle) + "MeshTextureCoords { 2; 0;0;, 1;1;; } }",
  };
  for (const auto& body : cases) EXPECT_EQ(LoadText(body), XFileResult::InvalidData) << body;
}

TEST(HostileXFile, CountsLargerThanTheFileAreRefusedBeforeAllocating) {
  EXPECT_EQ(LoadText("Mesh { 4000000000; 0;0;0;; 1; 3;0,0,0;; }"), XFileResult::InvalidData);
  EXPECT_EQ(LoadText("Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 4294967295; 3;0,1,2;; }"),
            XFileResult::InvalidData);
  EXPECT_EQ(LoadText(std::string(kTriangle) + "MeshVertexColors { 99999999; 0; 1;1;1;1;; } }"),
            XFileResult::InvalidData);
  for (Encoding encoding : {Encoding::Binary32, Encoding::Binary64}) {
    XWriter w(encoding);
    w.Open("Mesh").Ints({1000000}).Floats({0, 0, 0}).Close();
    EXPECT_EQ(Load(w.Bytes()), XFileResult::InvalidData);
  }
}

std::string NestedFrames(int depth, std::string_view inner) {
  std::string body;
  for (int i = 0; i < depth; ++i) body += "Frame {";
  body += inner;
  for (int i = 0; i < depth; ++i) body += "}";
  return body;
}

TEST(HostileXFile, NestingIsBoundedAt64Objects) {
  std::string mesh = std::string(kTriangle) + "}";
  EXPECT_EQ(LoadText(NestedFrames(63, mesh)), XFileResult::Ok);
  EXPECT_EQ(LoadText(NestedFrames(64, mesh)), XFileResult::InvalidData);
  // Deep nesting inside a skipped object, and far too deep for any recursion.
  EXPECT_EQ(LoadText(mesh + std::string(100, '{') + std::string(100, '}')), XFileResult::InvalidData);
  EXPECT_EQ(LoadText(NestedFrames(200000, mesh)), XFileResult::InvalidData);
  EXPECT_EQ(LoadText(mesh + "Odd " + std::string(200000, '{')), XFileResult::InvalidData);
}

std::vector<uint8_t> SmallScene(Encoding encoding) {
  XWriter w(encoding);
  w.MarkerTemplate();
  w.Open("Material", "M").Floats({1, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0});
  w.Open("TextureFilename").String("t.bmp").Close().Close();
  w.Open("Frame").Open("FrameTransformMatrix");
  w.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).Close();
  w.Open("Mesh").Ints({4}).Floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0}).Ints({1, 4, 0, 1, 2, 3});
  w.Open("MeshNormals").Ints({1}).Floats({0, 0, -1}).Ints({1, 4, 0, 0, 0, 0}).Close();
  w.Open("MeshMaterialList").Ints({1, 1, 0}).Reference("M").Close();
  w.Close().Close();
  return w.Bytes();
}

std::vector<std::vector<uint8_t>> AllEncodings() {
  std::vector<std::vector<uint8_t>> files;
  for (Encoding encoding : {Encoding::Text, Encoding::Binary32, Encoding::Binary64}) {
    files.push_back(SmallScene(encoding));
    files.push_back(xtest::CompressMszip(files.back(), 100));
  }
  return files;
}

TEST(HostileXFile, EveryTruncationOfEveryEncodingIsInvalid) {
  for (const auto& file : AllEncodings()) {
    ASSERT_EQ(Load(file), XFileResult::Ok);
    size_t end = file.size();
    if (file[end - 1] == '\n') --end;  // dropping trailing white space is no truncation
    for (size_t size = 0; size < end; ++size) {
      std::vector<uint8_t> prefix(file.begin(), file.begin() + size);
      ASSERT_EQ(Load(prefix), XFileResult::InvalidData) << size << " of " << file.size();
    }
  }
}

TEST(HostileXFile, CorruptedBytesNeverCrash) {
  // Whatever each flip means, loading must end with a result (the sanitizers watch
  // for anything worse), and the untouched file still loads.
  int refused = 0;
  for (const auto& file : AllEncodings()) {
    for (size_t at = 0; at < file.size(); ++at) {
      for (uint8_t value : {uint8_t(0xFF), uint8_t(file[at] ^ 0x01)}) {
        auto corrupted = file;
        corrupted[at] = value;
        refused += Load(corrupted) != XFileResult::Ok;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(HostileXFile, HeadersThatLie) {
  auto text = SmallScene(Encoding::Text);
  auto binary = SmallScene(Encoding::Binary32);
  auto asBinary = text;
  std::copy_n("bin ", 4, asBinary.begin() + 8);  // text body announced as binary
  EXPECT_EQ(Load(asBinary), XFileResult::InvalidData);
  auto asText = binary;
  std::copy_n("txt ", 4, asText.begin() + 8);
  EXPECT_EQ(Load(asText), XFileResult::InvalidData);
  auto wideFloats = binary;
  std::copy_n("0064", 4, wideFloats.begin() + 12);  // 32-bit floats read as 64-bit
  EXPECT_EQ(Load(wideFloats), XFileResult::InvalidData);
  auto notCompressed = binary;
  std::copy_n("bzip", 4, notCompressed.begin() + 8);
  EXPECT_EQ(Load(notCompressed), XFileResult::InvalidData);
  EXPECT_EQ(Load(xtest::ToBytes("xof 0303txt")), XFileResult::InvalidData);
}

TEST(HostileXFile, CompressedSizeBeyondTheCapIsOutOfMemory) {
  std::vector<uint8_t> file = xtest::ToBytes("xof 0303tzip0032");
  file.resize(16 + 600 * 1024, 0);
  file[16 + 3] = 0x25;  // declares 592 MiB, plausible for 600 KiB of deflate data
  EXPECT_EQ(Load(file), XFileResult::OutOfMemory);
}

}  // namespace
