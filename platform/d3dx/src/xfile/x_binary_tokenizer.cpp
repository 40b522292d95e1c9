// Tokens of a binary .x body: 2-byte token ids, some followed by a payload (names,
// strings, GUIDs, integer and float lists). A list is handed out one value at a time,
// read in place, so a count is checked against the bytes present and nothing is copied.
#include <algorithm>
#include <bit>

#include "xfile/x_tokenizer.h"

namespace d3dxfile {
namespace {

enum TokenId : uint16_t {
  kName = 1,
  kString = 2,
  kInteger = 3,
  kGuid = 5,
  kIntegerList = 6,
  kFloatList = 7,
  kOpenBrace = 10,
  kCloseBrace = 11,
  kFirstPunctuation = 12,  // 12..18: ( ) [ ] < > .
  kLastPunctuation = 18,
  kComma = 19,
  kSemicolon = 20,
  kTemplate = 31,
  kFirstKeyword = 40,  // 40..52: type keywords and ARRAY
  kLastKeyword = 52,
};

class BinaryTokenizer final : public Tokenizer {
 public:
  BinaryTokenizer(std::span<const uint8_t> body, bool doubleFloats)
      : body_(body), floatBytes_(doubleFloats ? 8 : 4) {}

  Token Next() override {
    while (listLeft_ == 0) {
      if (pos_ == body_.size()) return Token{};
      if (auto token = ReadToken(); token.kind != TokenKind::End) return token;
    }
    --listLeft_;
    return listIsFloat_ ? FloatValue() : IntegerToken(Read32());
  }

  size_t BytesLeft() const override { return body_.size() - pos_; }
  size_t MinValueBytes() const override { return 4; }

 private:
  std::span<const uint8_t> Take(size_t count) {
    if (count > BytesLeft()) FailInvalidData();
    auto bytes = body_.subspan(pos_, count);
    pos_ += count;
    return bytes;
  }

  uint64_t ReadLittleEndian(size_t bytes) {
    uint64_t value = 0;
    auto data = Take(bytes);
    for (size_t i = 0; i < bytes; ++i) value |= uint64_t{data[i]} << (8 * i);
    return value;
  }

  uint32_t Read32() { return static_cast<uint32_t>(ReadLittleEndian(4)); }

  static Token IntegerToken(uint32_t value) {
    Token token{TokenKind::Integer};
    token.integer = value;
    token.real = value;
    return token;
  }

  Token FloatValue() {
    Token token{TokenKind::Float};
    uint64_t bits = ReadLittleEndian(floatBytes_);
    token.real = floatBytes_ == 8 ? std::bit_cast<double>(bits)
                                  : std::bit_cast<float>(static_cast<uint32_t>(bits));
    return token;
  }

  Token Text(TokenKind kind) {
    auto bytes = Take(Read32());
    return Token{kind, std::string(bytes.begin(), bytes.end())};
  }

  // A string's terminator is a `;` or `,` token; a 4-byte (DWORD) terminator, as some
  // documents describe it, is accepted too. Token id 0 does not exist, so the two
  // forms cannot be confused.
  Token StringToken() {
    Token token = Text(TokenKind::String);
    auto rest = body_.subspan(pos_);
    bool dwordTerminator = rest.size() >= 4 && (rest[0] == kComma || rest[0] == kSemicolon) &&
                           rest[1] == 0 && rest[2] == 0 && rest[3] == 0;
    if (dwordTerminator) pos_ += 4;
    return token;
  }

  // Starts a list; an empty one yields no token (End, which Next skips).
  Token StartList(bool isFloat) {
    uint32_t count = Read32();
    if (uint64_t{count} * (isFloat ? floatBytes_ : 4) > BytesLeft()) FailInvalidData();
    listLeft_ = count;
    listIsFloat_ = isFloat;
    return Token{};
  }

  Token ReadToken() {
    auto id = static_cast<uint16_t>(ReadLittleEndian(2));
    switch (id) {
      case kName: return Text(TokenKind::Name);
      case kString: return StringToken();
      case kInteger: return IntegerToken(Read32());
      case kGuid: {
        Token token{TokenKind::Guid};
        auto bytes = Take(token.guid.size());
        std::copy(bytes.begin(), bytes.end(), token.guid.begin());
        return token;
      }
      case kIntegerList: return StartList(false);
      case kFloatList: return StartList(true);
      case kOpenBrace: return Token{TokenKind::OpenBrace};
      case kCloseBrace: return Token{TokenKind::CloseBrace};
      case kComma: return Token{TokenKind::Comma};
      case kSemicolon: return Token{TokenKind::Semicolon};
      case kTemplate: return Token{TokenKind::Template};
      default:
        if ((id >= kFirstPunctuation && id <= kLastPunctuation) || (id >= kFirstKeyword && id <= kLastKeyword)) {
          return Token{TokenKind::Other};
        }
        FailInvalidData();
    }
  }

  std::span<const uint8_t> body_;
  size_t floatBytes_;
  size_t pos_ = 0;
  uint32_t listLeft_ = 0;
  bool listIsFloat_ = false;
};

}  // namespace

std::unique_ptr<Tokenizer> MakeBinaryTokenizer(std::span<const uint8_t> body, bool doubleFloats) {
  return std::make_unique<BinaryTokenizer>(body, doubleFloats);
}

}  // namespace d3dxfile
