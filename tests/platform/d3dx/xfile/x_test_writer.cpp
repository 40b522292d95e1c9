// Test support: the .x writer and the MSZIP encoder (zlib raw deflate with a preset
// dictionary, framed as "CK" blocks behind the total-size DWORD).
#include "x_test_writer.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace xtest {
namespace {

enum : uint16_t {
  kName = 1,
  kString = 2,
  kInteger = 3,
  kGuid = 5,
  kIntegerList = 6,
  kFloatList = 7,
  kOpenBrace = 10,
  kCloseBrace = 11,
  kOpenBracket = 14,
  kCloseBracket = 15,
  kDot = 18,
  kSemicolon = 20,
  kTemplate = 31,
  kDwordType = 41,
  kFloatType = 42,
  kArray = 52,
};

void PutLittleEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

XWriter::XWriter(Encoding encoding) : encoding_(encoding) {}

void XWriter::Word(uint16_t id) { PutLittleEndian(body_, id, 2); }
void XWriter::Dword(uint32_t value) { PutLittleEndian(body_, value, 4); }
void XWriter::Text(std::string_view text) { body_.insert(body_.end(), text.begin(), text.end()); }

void XWriter::Name(std::string_view name) {
  if (encoding_ == Encoding::Text) return Text(std::string(name) + " ");
  Word(kName);
  Dword(static_cast<uint32_t>(name.size()));
  Text(name);
}

XWriter& XWriter::Open(std::string_view type, std::string_view name) {
  Name(type);
  if (!name.empty()) Name(name);
  encoding_ == Encoding::Text ? Text("{\n") : Word(kOpenBrace);
  return *this;
}

XWriter& XWriter::Close() {
  encoding_ == Encoding::Text ? Text("}\n") : Word(kCloseBrace);
  return *this;
}

XWriter& XWriter::Ints(std::span<const uint32_t> values) {
  if (encoding_ == Encoding::Text) {
    for (size_t i = 0; i < values.size(); ++i) {
      Text(std::to_string(values[i]) + (i + 1 == values.size() ? ";\n" : ","));
    }
    return *this;
  }
  Word(kIntegerList);
  Dword(static_cast<uint32_t>(values.size()));
  for (uint32_t v : values) Dword(v);
  return *this;
}

XWriter& XWriter::Floats(std::span<const float> values) {
  if (encoding_ == Encoding::Text) {
    for (size_t i = 0; i < values.size(); ++i) {
      char number[32];
      std::snprintf(number, sizeof number, "%.9g", static_cast<double>(values[i]));
      Text(std::string(number) + (i + 1 == values.size() ? ";\n" : ";"));
    }
    return *this;
  }
  Word(kFloatList);
  Dword(static_cast<uint32_t>(values.size()));
  for (float v : values) {
    if (encoding_ == Encoding::Binary64) {
      uint64_t bits;
      double wide = v;
      std::memcpy(&bits, &wide, 8);
      PutLittleEndian(body_, bits, 8);
    } else {
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      Dword(bits);
    }
  }
  return *this;
}

XWriter& XWriter::String(std::string_view text) {
  if (encoding_ == Encoding::Text) {
    Text("\"" + std::string(text) + "\";\n");
    return *this;
  }
  Word(kString);
  Dword(static_cast<uint32_t>(text.size()));
  Text(text);
  Word(kSemicolon);
  return *this;
}

XWriter& XWriter::Reference(std::string_view name) {
  if (encoding_ == Encoding::Text) {
    Text("{ " + std::string(name) + " }\n");
    return *this;
  }
  Word(kOpenBrace);
  Name(name);
  Word(kCloseBrace);
  return *this;
}

XWriter& XWriter::MarkerTemplate() {
  if (encoding_ == Encoding::Text) {
    Text("template Marker {\n <0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9>\n DWORD count;\n"
         " array FLOAT values[count];\n [...]\n}\n");
    return *this;
  }
  Word(kTemplate);
  Name("Marker");
  Word(kOpenBrace);
  Word(kGuid);
  for (int i = 0; i < 16; ++i) body_.push_back(static_cast<uint8_t>(0x10 + i));
  Word(kDwordType);
  Name("count");
  Word(kSemicolon);
  Word(kArray);
  Word(kFloatType);
  Name("values");
  Word(kOpenBracket);
  Name("count");
  Word(kCloseBracket);
  Word(kSemicolon);
  Word(kOpenBracket);
  for (int i = 0; i < 3; ++i) Word(kDot);
  Word(kCloseBracket);
  Word(kCloseBrace);
  return *this;
}

std::vector<uint8_t> XWriter::Bytes() const {
  const char* header = encoding_ == Encoding::Text       ? "xof 0303txt 0032\n"
                       : encoding_ == Encoding::Binary32 ? "xof 0303bin 0032"
                                                         : "xof 0303bin 0064";
  std::vector<uint8_t> file(header, header + std::strlen(header));
  file.insert(file.end(), body_.begin(), body_.end());
  return file;
}

std::vector<uint8_t> ToBytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Scene(Encoding encoding) {
  XWriter w(encoding);
  w.MarkerTemplate();
  w.Open("Header").Ints({1, 0, 1}).Close();
  w.Open("Material", "Red").Floats({1, 0, 0, 1}).Floats({20}).Floats({1, 1, 1}).Floats({0, 0, 0});
  w.Open("TextureFilename").String("red.png").Close().Close();
  w.Open("Frame", "Root");
  w.Open("FrameTransformMatrix").Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2, 0, 1}).Close();
  w.Open("Marker").Ints({2}).Floats({0.5f, 0.25f}).Close();
  w.Open("Mesh", "Pair").Ints({5}).Floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 2, 0, 0});
  w.Ints({2, 4, 0, 1, 2, 3, 3, 3, 2, 4});
  w.Open("MeshNormals").Ints({2}).Floats({0, 0, -1, 0.6f, 0, -0.8f});
  w.Ints({2, 4, 0, 0, 0, 0, 3, 1, 1, 1}).Close();
  w.Open("MeshTextureCoords").Ints({5}).Floats({0, 1, 0, 0, 1, 0, 1, 1, 0.5f, 0.25f}).Close();
  w.Open("MeshVertexColors").Ints({2}).Ints({4}).Floats({1, 0, 0, 1}).Ints({0});
  w.Floats({0, 0, 1, 0.5f}).Close();
  w.Open("MeshMaterialList").Ints({2, 2, 1, 0});
  w.Open("Material", "Green").Floats({0, 1, 0, 0.5f}).Floats({5}).Floats({0.5f, 0.5f, 0.5f});
  w.Floats({0.25f, 0, 0}).Close();
  w.Reference("Red").Close();
  w.Open("VertexDuplicationIndices").Ints({5, 5, 0, 1, 2, 3, 4}).Close();
  w.Close();
  w.Open("Frame", "Child");
  w.Open("FrameTransformMatrix").Floats({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}).Close();
  w.Open("Mesh").Ints({3}).Floats({0, 0, 1, 0, 1, 1, 1, 0, 1}).Ints({1, 3, 0, 1, 2}).Close();
  w.Close().Close();
  return w.Bytes();
}

std::string Cube(std::string_view normals) {
  return "xof 0303txt 0032\nMesh Cube { 8; 0;0;0;,0;1;0;,1;1;0;,1;0;0;,0;0;1;,0;1;1;,1;1;1;,1;0;1;;\n"
         "6; 4;0,1,2,3;, 4;7,6,5,4;, 4;4,5,1,0;, 4;3,2,6,7;, 4;1,5,6,2;, 4;4,0,3,7;;\n" +
         std::string(normals) + "}";
}

const char* const kCubeFaceNormals =
    "MeshNormals { 6; 0;0;-1;, 0;0;1;, -1;0;0;, 1;0;0;, 0;1;0;, 0;-1;0;;\n"
    "6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; }";

std::vector<uint8_t> CompressMszip(std::span<const uint8_t> file, size_t blockSize) {
  constexpr size_t kHeader = 16;
  constexpr size_t kPackedCapacity = 32768 + 1024;  // above deflate's bound for a block
  if (blockSize == 0 || blockSize > 32768) throw std::invalid_argument("MSZIP block size");
  std::vector<uint8_t> out(file.begin(), file.begin() + kHeader);
  std::memcpy(out.data() + 8, std::memcmp(out.data() + 8, "txt ", 4) == 0 ? "tzip" : "bzip", 4);
  PutLittleEndian(out, file.size(), 4);
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::span<const uint8_t> previous;
  for (size_t at = kHeader; at < file.size(); at += blockSize) {
    std::span<const uint8_t> block = file.subspan(at, std::min(blockSize, file.size() - at));
    deflateReset(&stream);
    if (!previous.empty()) deflateSetDictionary(&stream, previous.data(), uInt(previous.size()));
    std::vector<uint8_t> packed(kPackedCapacity);
    stream.next_in = const_cast<Bytef*>(block.data());
    stream.avail_in = uInt(block.size());
    stream.next_out = packed.data();
    stream.avail_out = uInt(packed.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    const size_t used = kPackedCapacity - stream.avail_out;
    PutLittleEndian(out, block.size(), 2);
    PutLittleEndian(out, used + 2, 2);
    out.push_back('C');
    out.push_back('K');
    out.insert(out.end(), packed.begin(), packed.begin() + used);
    previous = block;
  }
  deflateEnd(&stream);
  return out;
}

}  // namespace xtest
