// Test support: writes .x files in every encoding from one description (text, binary
// with 32- or 64-bit floats), and compresses them with MSZIP framing, so that tests
// never depend on files from elsewhere.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xtest {

enum class Encoding { Text, Binary32, Binary64 };

// Builds a file token by token. Values go out as integer and float lists in binary
// and as `,`/`;`-separated numbers in text.
class XWriter {
 public:
  explicit XWriter(Encoding encoding);

  XWriter& Open(std::string_view type, std::string_view name = {});  // Type [name] {
  XWriter& Close();                                                  // }
  XWriter& Ints(std::span<const uint32_t> values);
  XWriter& Ints(std::initializer_list<uint32_t> values) { return Ints(std::span(values)); }
  XWriter& Floats(std::span<const float> values);
  XWriter& Floats(std::initializer_list<float> values) { return Floats(std::span(values)); }
  XWriter& String(std::string_view text);
  XWriter& Reference(std::string_view name);  // { name }
  // template Marker { <guid> DWORD count; array FLOAT values[count]; [...] }
  XWriter& MarkerTemplate();

  std::vector<uint8_t> Bytes() const;

 private:
  void Word(uint16_t id);
  void Dword(uint32_t value);
  void Name(std::string_view name);
  void Text(std::string_view text);

  Encoding encoding_;
  std::vector<uint8_t> body_;
};

std::vector<uint8_t> ToBytes(std::string_view text);

// A frame (+2 in y) holding a quad and a triangle that share an edge with different
// normals, with texture coordinates, colours and two materials (one inline, one
// referenced), beside a declared template and skipped objects; and a child frame
// (scale 2) holding a bare triangle.
std::vector<uint8_t> Scene(Encoding encoding);

// A text file: the 8 corners of a unit cube, 6 quads, then `normals` inside the mesh.
std::string Cube(std::string_view normals);
// One normal per cube face.
extern const char* const kCubeFaceNormals;

// Turns a `txt `/`bin ` file into `tzip`/`bzip`: blocks of at most `blockSize` bytes,
// raw deflate, each block compressed with the previous one as dictionary.
std::vector<uint8_t> CompressMszip(std::span<const uint8_t> file, size_t blockSize = 32768);

}  // namespace xtest
