// Tokens of a text .x body: punctuation, quoted strings, <GUID>s, numbers and names,
// with `//` and `#` comments skipped. A word is any run of bytes that is neither space
// nor punctuation; it is a number when it reads fully as one.
#include <charconv>
#include <string_view>

#include "xfile/x_tokenizer.h"

namespace d3dxfile {
namespace {

constexpr size_t kMaxGuidText = 64;

bool IsSpace(uint8_t c) { return c <= ' '; }

bool IsPunctuation(uint8_t c) {
  return std::string_view("{};,[]<>\"").find(static_cast<char>(c)) != std::string_view::npos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[at]; fails on anything else.
uint32_t ParseHex(std::string_view text, size_t at, size_t digits) {
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    int d = HexDigit(text[at + i]);
    if (d < 0) FailInvalidData();
    value = value << 4 | static_cast<uint32_t>(d);
  }
  return value;
}

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" into the binary layout (data1..3 little-endian).
Guid ParseGuidText(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    FailInvalidData();
  }
  Guid guid{};
  uint32_t data1 = ParseHex(text, 0, 8);
  uint32_t data2 = ParseHex(text, 9, 4);
  uint32_t data3 = ParseHex(text, 14, 4);
  for (int i = 0; i < 4; ++i) guid[i] = static_cast<uint8_t>(data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) guid[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) guid[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
  constexpr size_t kData4At[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) guid[8 + i] = static_cast<uint8_t>(ParseHex(text, kData4At[i], 2));
  return guid;
}

bool ParseDouble(std::string_view text, double& value) {
  if (text.size() > 1 && text[0] == '+') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Spellings such as 1.#IND00 or -1.#QNAN0 that some exporters write; read as 0.
bool IsNanSpelling(std::string_view word) {
  size_t hash = word.find('#');
  double ignored = 0;
  if (hash == std::string_view::npos || !ParseDouble(word.substr(0, hash), ignored)) return false;
  std::string_view rest = word.substr(hash + 1);
  for (std::string_view tag : {"IND", "QNAN", "SNAN", "INF"}) {
    if (rest.size() >= tag.size() && EqualsNoCase(rest.substr(0, tag.size()), tag)) return true;
  }
  return false;
}

bool ReadNumber(std::string_view word, Token& token) {
  uint32_t integer = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), integer);
  if (word[0] != '-' && error == std::errc() && end == word.data() + word.size()) {
    token.kind = TokenKind::Integer;
    token.integer = integer;
    token.real = integer;
    return true;
  }
  token.kind = TokenKind::Float;
  if (ParseDouble(word, token.real)) return true;
  token.real = 0.0;
  return IsNanSpelling(word);
}

Token ClassifyWord(std::string_view word) {
  Token token;
  if (EqualsNoCase(word, "template")) {
    token.kind = TokenKind::Template;
    return token;
  }
  char first = word[0];
  bool numeric = (first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.';
  if (numeric && ReadNumber(word, token)) return token;
  token = Token{TokenKind::Name, std::string(word)};
  return token;
}

class TextTokenizer final : public Tokenizer {
 public:
  explicit TextTokenizer(std::span<const uint8_t> body)
      : text_(reinterpret_cast<const char*>(body.data()), body.size()) {}

  Token Next() override {
    SkipSpaceAndComments();
    if (pos_ == text_.size()) return Token{};
    switch (text_[pos_]) {
      case '{': return Punctuation(TokenKind::OpenBrace);
      case '}': return Punctuation(TokenKind::CloseBrace);
      case ',': return Punctuation(TokenKind::Comma);
      case ';': return Punctuation(TokenKind::Semicolon);
      case '[': case ']': case '>': return Punctuation(TokenKind::Other);
      case '<': return ReadGuid();
      case '"': return ReadString();
      default: return ReadWord();
    }
  }

  size_t BytesLeft() const override { return text_.size() - pos_; }
  size_t MinValueBytes() const override { return 1; }

 private:
  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      bool comment = c == '#' || (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/');
      if (comment) {
        size_t eol = text_.find('\n', pos_);
        pos_ = eol == std::string_view::npos ? text_.size() : eol + 1;
      } else if (IsSpace(static_cast<uint8_t>(c))) {
        ++pos_;
      } else {
        return;
      }
    }
  }

  Token Punctuation(TokenKind kind) {
    ++pos_;
    return Token{kind};
  }

  // Text between `open` (at pos_) and the next `close`, which must lie within `limit`.
  std::string_view Enclosed(char close, size_t limit) {
    size_t end = text_.find(close, pos_ + 1);
    if (end == std::string_view::npos || end - pos_ > limit) FailInvalidData();
    std::string_view inside = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
    return inside;
  }

  Token ReadGuid() {
    std::string_view inside = Enclosed('>', kMaxGuidText);
    while (!inside.empty() && IsSpace(static_cast<uint8_t>(inside.front()))) inside.remove_prefix(1);
    while (!inside.empty() && IsSpace(static_cast<uint8_t>(inside.back()))) inside.remove_suffix(1);
    Token token{TokenKind::Guid};
    token.guid = ParseGuidText(inside);
    return token;
  }

  Token ReadString() {
    return Token{TokenKind::String, std::string(Enclosed('"', text_.size()))};
  }

  Token ReadWord() {
    size_t start = pos_;
    while (pos_ < text_.size() && !IsSpace(static_cast<uint8_t>(text_[pos_])) &&
           !IsPunctuation(static_cast<uint8_t>(text_[pos_]))) {
      ++pos_;
    }
    return ClassifyWord(text_.substr(start, pos_ - start));
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<Tokenizer> MakeTextTokenizer(std::span<const uint8_t> body) {
  return std::make_unique<TextTokenizer>(body);
}

}  // namespace d3dxfile
