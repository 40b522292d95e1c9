// Recursive-descent reading of .x data objects over either token stream. Values are
// read in template order with `,` and `;` accepted loosely between them; templates
// declared in the file and unknown objects are skipped by matching braces (the
// standard templates are known built in). Mesh references inside frames are not
// instantiated; Material references are resolved against earlier named materials.
#include "xfile/x_parser.h"

#include <cfloat>
#include <cmath>
#include <optional>

namespace d3dxfile {
namespace {

struct NamedMaterial {
  std::string name;
  std::optional<Guid> guid;
  XMaterial material;
};

enum class ChildKind { Object, Reference, End };

struct Child {
  ChildKind kind = ChildKind::End;
  std::string type;  // Object: its template name
  std::string name;  // Reference: the name referred to (may be empty)
  std::optional<Guid> guid;
};

struct ObjectHeader {
  std::string name;
  std::optional<Guid> guid;
};

float ToFloat(double value) {
  if (std::isnan(value)) return static_cast<float>(value);
  return static_cast<float>(std::fmax(-FLT_MAX, std::fmin(FLT_MAX, value)));
}

uint32_t ColorChannel(float value, int shift) {
  float unit = value > 0 ? std::fmin(value, 1.0f) : 0.0f;  // NaN reads as 0
  return static_cast<uint32_t>(unit * 255.0f + 0.5f) << shift;
}

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 product{};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + col];
      product[row * 4 + col] = sum;
    }
  }
  return product;
}

class Parser {
 public:
  explicit Parser(Tokenizer& tokens) : tokens_(tokens) {}

  std::vector<ParsedMesh> ParseFile() {
    std::vector<ParsedMesh> meshes;
    for (Child child = NextChild(true); child.kind != ChildKind::End; child = NextChild(true)) {
      if (child.kind == ChildKind::Object) ParseSceneObject(child.type, meshes);
    }
    return meshes;
  }

 private:
  // ---- tokens and values ----

  const Token& Peek() {
    if (!lookahead_) lookahead_ = tokens_.Next();
    return *lookahead_;
  }

  Token Take() {
    Peek();
    Token token = std::move(*lookahead_);
    lookahead_.reset();
    return token;
  }

  TokenKind PeekKind() { return Peek().kind; }

  void Expect(TokenKind kind) {
    if (Take().kind != kind) FailInvalidData();
  }

  void SkipSeparators() {
    while (PeekKind() == TokenKind::Comma || PeekKind() == TokenKind::Semicolon) Take();
  }

  uint32_t ReadDword() {
    SkipSeparators();
    Token token = Take();
    if (token.kind != TokenKind::Integer) FailInvalidData();
    return token.integer;
  }

  float ReadFloat() {
    SkipSeparators();
    Token token = Take();
    if (token.kind != TokenKind::Integer && token.kind != TokenKind::Float) FailInvalidData();
    return ToFloat(token.real);
  }

  std::string ReadString() {
    SkipSeparators();
    Token token = Take();
    if (token.kind != TokenKind::String) FailInvalidData();
    return std::move(token.text);
  }

  Float3 ReadVector() {
    Float3 v;
    v.x = ReadFloat();
    v.y = ReadFloat();
    v.z = ReadFloat();
    return v;
  }

  void ReadFloats(float* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = ReadFloat();
  }

  uint32_t ReadColor() {
    float rgba[4];
    ReadFloats(rgba, 4);
    return ColorChannel(rgba[3], 24) | ColorChannel(rgba[0], 16) | ColorChannel(rgba[1], 8) |
           ColorChannel(rgba[2], 0);
  }

  // A count of items of `valuesPerItem` numbers each, refused when the bytes left could
  // not hold them: what is reserved for them is then bounded by the file's size.
  uint32_t ReadCount(uint32_t valuesPerItem) {
    uint32_t count = ReadDword();
    uint64_t leastBytes = uint64_t{count} * valuesPerItem * tokens_.MinValueBytes();
    if (leastBytes > tokens_.BytesLeft()) FailInvalidData();
    return count;
  }

  uint32_t ReadIndex(uint32_t limit) {
    uint32_t index = ReadDword();
    if (index >= limit) FailInvalidData();
    return index;
  }

  // ---- object structure ----

  // After the template name: [name] { [<guid>]
  ObjectHeader OpenObject() {
    ObjectHeader header;
    if (PeekKind() == TokenKind::Name) header.name = Take().text;
    Expect(TokenKind::OpenBrace);
    EnterObject();
    if (PeekKind() == TokenKind::Guid) header.guid = Take().guid;
    return header;
  }

  void EnterObject() {
    if (++depth_ > kMaxObjectDepth) FailInvalidData();
  }

  // The next child object or reference, or End at the closing brace (or, at top level,
  // at the end of the file). Templates are skipped wherever they stand.
  Child NextChild(bool topLevel) {
    for (;;) {
      SkipSeparators();
      Token token = Take();
      Child child;
      switch (token.kind) {
        case TokenKind::Template:
          SkipObject();
          continue;
        case TokenKind::Name:
          child.kind = ChildKind::Object;
          child.type = std::move(token.text);
          return child;
        case TokenKind::OpenBrace:
          return ReadReference();
        case TokenKind::CloseBrace:
          if (topLevel) FailInvalidData();
          --depth_;
          return child;
        case TokenKind::End:
          if (!topLevel) FailInvalidData();
          return child;
        default:
          FailInvalidData();
      }
    }
  }

  // After its opening brace: { name [<guid>] }, { <guid> }
  Child ReadReference() {
    Child child;
    child.kind = ChildKind::Reference;
    if (PeekKind() == TokenKind::Name) child.name = Take().text;
    if (PeekKind() == TokenKind::Guid) child.guid = Take().guid;
    if (child.name.empty() && !child.guid) FailInvalidData();
    Expect(TokenKind::CloseBrace);
    return child;
  }

  // Skips what is left of the current object, nested objects included.
  void SkipRest() {
    for (int nested = 0;;) {
      switch (Take().kind) {
        case TokenKind::OpenBrace:
          EnterObject();
          ++nested;
          break;
        case TokenKind::CloseBrace:
          --depth_;
          if (nested-- == 0) return;
          break;
        case TokenKind::End:
          FailInvalidData();
        default:
          break;
      }
    }
  }

  void SkipObject() {
    OpenObject();
    SkipRest();
  }

  // Skips the children of an object whose members have been read.
  void FinishObject() {
    for (Child child = NextChild(false); child.kind != ChildKind::End; child = NextChild(false)) {
      if (child.kind == ChildKind::Object) SkipObject();
    }
  }

  // ---- scene ----

  // Objects that may stand at top level or inside a frame.
  void ParseSceneObject(const std::string& type, std::vector<ParsedMesh>& meshes) {
    if (EqualsNoCase(type, "Frame")) {
      ParseFrame(meshes);
    } else if (EqualsNoCase(type, "Mesh")) {
      meshes.push_back(ParseMesh());
    } else if (EqualsNoCase(type, "Material")) {
      ParseMaterial();
    } else {
      SkipObject();
    }
  }

  // A frame's transform applies to everything inside it, wherever it stands among the
  // children; inner transforms apply first (row vectors: v * inner * outer).
  void ParseFrame(std::vector<ParsedMesh>& meshes) {
    OpenObject();
    const size_t first = meshes.size();
    Matrix4 local = kIdentity;
    for (Child child = NextChild(false); child.kind != ChildKind::End; child = NextChild(false)) {
      if (child.kind != ChildKind::Object) continue;
      if (EqualsNoCase(child.type, "FrameTransformMatrix")) {
        OpenObject();
        ReadFloats(local.data(), 16);
        FinishObject();
      } else {
        ParseSceneObject(child.type, meshes);
      }
    }
    for (size_t i = first; i < meshes.size(); ++i) {
      meshes[i].transform = Multiply(meshes[i].transform, local);
    }
  }

  ParsedMesh ParseMesh() {
    OpenObject();
    ParsedMesh mesh;
    uint32_t vertexCount = ReadCount(3);
    mesh.positions.reserve(vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) mesh.positions.push_back(ReadVector());
    uint32_t faceCount = ReadCount(4);
    mesh.faceSizes.reserve(faceCount);
    for (uint32_t f = 0; f < faceCount; ++f) {
      uint32_t size = ReadCount(1);
      if (size < 3) FailInvalidData();
      mesh.faceSizes.push_back(size);
      for (uint32_t j = 0; j < size; ++j) mesh.corners.push_back(ReadIndex(vertexCount));
    }
    ParseMeshChildren(mesh);
    return mesh;
  }

  void ParseMeshChildren(ParsedMesh& mesh) {
    for (Child child = NextChild(false); child.kind != ChildKind::End; child = NextChild(false)) {
      if (child.kind != ChildKind::Object) continue;
      if (EqualsNoCase(child.type, "MeshNormals")) {
        ParseNormals(mesh);
      } else if (EqualsNoCase(child.type, "MeshTextureCoords")) {
        ParseTexCoords(mesh);
      } else if (EqualsNoCase(child.type, "MeshVertexColors")) {
        ParseColors(mesh);
      } else if (EqualsNoCase(child.type, "MeshMaterialList")) {
        ParseMaterialList(mesh);
      } else {
        SkipObject();
      }
    }
  }

  // Normal indices come per corner and must match the faces polygon for polygon.
  void ParseNormals(ParsedMesh& mesh) {
    OpenObject();
    uint32_t normalCount = ReadCount(3);
    mesh.normals.clear();
    mesh.normals.reserve(normalCount);
    for (uint32_t i = 0; i < normalCount; ++i) mesh.normals.push_back(ReadVector());
    if (ReadDword() != mesh.faceSizes.size()) FailInvalidData();
    mesh.normalCorners.clear();
    mesh.normalCorners.reserve(mesh.corners.size());
    for (uint32_t size : mesh.faceSizes) {
      if (ReadDword() != size) FailInvalidData();
      for (uint32_t j = 0; j < size; ++j) mesh.normalCorners.push_back(ReadIndex(normalCount));
    }
    FinishObject();
  }

  void ParseTexCoords(ParsedMesh& mesh) {
    OpenObject();
    uint32_t count = ReadCount(2);
    if (count != mesh.positions.size()) FailInvalidData();
    mesh.texCoords.resize(count);
    for (auto& uv : mesh.texCoords) ReadFloats(uv.data(), 2);
    FinishObject();
  }

  // Vertices the object does not list stay white.
  void ParseColors(ParsedMesh& mesh) {
    OpenObject();
    uint32_t count = ReadCount(5);
    mesh.colors.assign(mesh.positions.size(), 0xFFFFFFFFu);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t vertex = ReadIndex(static_cast<uint32_t>(mesh.positions.size()));
      mesh.colors[vertex] = ReadColor();
    }
    FinishObject();
  }

  // One material index per face (a single index applies to every face), then exactly
  // as many materials, inline or referenced, as the list declares.
  void ParseMaterialList(ParsedMesh& mesh) {
    OpenObject();
    uint32_t materialCount = ReadDword();
    uint32_t indexCount = ReadCount(1);
    size_t faceCount = mesh.faceSizes.size();
    if (indexCount != faceCount && indexCount != 1) FailInvalidData();
    mesh.faceMaterials.clear();
    mesh.faceMaterials.reserve(indexCount);
    for (uint32_t i = 0; i < indexCount; ++i) mesh.faceMaterials.push_back(ReadIndex(materialCount));
    if (indexCount == 1) mesh.faceMaterials.assign(faceCount, mesh.faceMaterials[0]);
    mesh.materials.clear();
    for (Child child = NextChild(false); child.kind != ChildKind::End; child = NextChild(false)) {
      if (child.kind == ChildKind::Reference) {
        mesh.materials.push_back(FindMaterial(child));
      } else if (EqualsNoCase(child.type, "Material")) {
        mesh.materials.push_back(ParseMaterial());
      } else {
        SkipObject();
      }
    }
    if (mesh.materials.size() != materialCount) FailInvalidData();
  }

  // A named material (or one with a GUID) can be referred to by later objects.
  XMaterial ParseMaterial() {
    ObjectHeader header = OpenObject();
    XMaterial material;
    ReadFloats(material.diffuse, 4);
    material.power = ReadFloat();
    ReadFloats(material.specular, 3);
    ReadFloats(material.emissive, 3);
    for (Child child = NextChild(false); child.kind != ChildKind::End; child = NextChild(false)) {
      if (child.kind != ChildKind::Object) continue;
      if (EqualsNoCase(child.type, "TextureFilename")) {
        OpenObject();
        material.textureFile = ReadString();
        FinishObject();
      } else {
        SkipObject();
      }
    }
    if (!header.name.empty() || header.guid) {
      named_.push_back({std::move(header.name), header.guid, material});
    }
    return material;
  }

  // The latest earlier material with the reference's name, or with its GUID when the
  // reference has no name.
  const XMaterial& FindMaterial(const Child& reference) {
    for (auto it = named_.rbegin(); it != named_.rend(); ++it) {
      bool match = reference.name.empty() ? it->guid == reference.guid : it->name == reference.name;
      if (match) return it->material;
    }
    FailInvalidData();
  }

  Tokenizer& tokens_;
  std::optional<Token> lookahead_;
  std::vector<NamedMaterial> named_;
  int depth_ = 0;
};

}  // namespace

std::vector<ParsedMesh> ParseXFile(Tokenizer& tokens) { return Parser(tokens).ParseFile(); }

}  // namespace d3dxfile
