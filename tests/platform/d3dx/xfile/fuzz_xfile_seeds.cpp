// Writes a seed corpus for fuzz_xfile into the directory given: the test scene in
// every encoding, plain and MSZIP-compressed (one and many blocks), and a cube with
// materials in text.
#include <cstdio>
#include <fstream>
#include <string>

#include "x_test_writer.h"

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const char* names[] = {"text", "binary32", "binary64"};
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    auto file = xtest::Scene(static_cast<xtest::Encoding>(i));
    ok &= Save(dir + "/scene_" + names[i] + ".x", file);
    ok &= Save(dir + "/scene_" + names[i] + "_zip.x", xtest::CompressMszip(file));
    ok &= Save(dir + "/scene_" + names[i] + "_zip_blocks.x", xtest::CompressMszip(file, 61));
  }
  ok &= Save(dir + "/cube.x", xtest::ToBytes(xtest::Cube(std::string(xtest::kCubeFaceNormals) +
      "MeshMaterialList { 2; 6; 0,1,0,1,0,1;; Material { 1;1;1;1;; 1.#IND00; 0;0;0;; 0;0;0;;"
      " TextureFileName { \"a.bmp\"; } } Material { 0;0;1;1;; 8; 0;0;0;; 0;0;0;; } }")));
  return ok ? 0 : 1;
}
