// Tokens of a .x file body, text or binary, behind one interface, so that the parser
// reads both encodings the same way. Binary integer and float lists are handed out one
// value at a time. Malformed input throws InvalidDataError.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace d3dxfile {

// Thrown by every stage on malformed input; LoadXFile turns it into a result code.
struct InvalidDataError {};
[[noreturn]] void FailInvalidData();

// Keywords and template names compare without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// data1 (4 bytes), data2 (2), data3 (2), data4 (8), each field little-endian.
using Guid = std::array<uint8_t, 16>;

enum class TokenKind {
  End,
  Name,
  String,
  Integer,  // a value that fits a DWORD
  Float,    // any other number
  Guid,
  OpenBrace,
  CloseBrace,
  Comma,
  Semicolon,
  Template,
  Other,  // punctuation and type keywords that only matter inside templates
};

struct Token {
  Token() = default;
  explicit Token(TokenKind k, std::string t = {}) : kind(k), text(std::move(t)) {}

  TokenKind kind = TokenKind::End;
  std::string text;  // Name and String
  uint32_t integer = 0;
  double real = 0.0;  // Integer and Float
  Guid guid{};
};

class Tokenizer {
 public:
  virtual ~Tokenizer() = default;
  // Returns End at the end of the body, again on every later call.
  virtual Token Next() = 0;
  // Unread bytes; with MinValueBytes it bounds how many values can still follow.
  virtual size_t BytesLeft() const = 0;
  // The fewest bytes any number can occupy in this encoding.
  virtual size_t MinValueBytes() const = 0;
};

std::unique_ptr<Tokenizer> MakeTextTokenizer(std::span<const uint8_t> body);
std::unique_ptr<Tokenizer> MakeBinaryTokenizer(std::span<const uint8_t> body, bool doubleFloats);

}  // namespace d3dxfile
