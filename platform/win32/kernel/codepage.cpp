// Conversion between the program's code page 932 (Shift-JIS as Windows extends it) and
// UTF-8, through glibc's iconv, plus the byte-level facts of CP932 that callers need to
// avoid cutting a double-byte character in half.
//
// File names on Linux may hold any character, and any bytes, that CP932 cannot. Such a
// character travels through CP932 text as its UTF-8 bytes, one user-defined CP932
// character per byte: byte 0x80 + n becomes lead 0xF0 + n / 64, trail 0x80 + n % 64
// (F080..F1BF). Text that CP932 holds converts as usual; a character whose CP932 form
// would come back as another character (CP932's duplicate mappings), and the private-use
// characters that iconv gives those same user-defined codes, are escaped too, so every
// UTF-8 name comes back byte for byte. Real CP932 text does not use F080..F1BF.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "win32ext.h"

namespace {

// One iconv descriptor per direction and thread: iconv_t carries state and must not be
// shared between threads, and opening one is costly enough to keep it.
class Converter {
 public:
  Converter(const char* to, const char* from) : to_(to), from_(from) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (cd_ != invalid()) iconv_close(cd_);
  }

  std::optional<std::string> Convert(std::string_view input) {
    if (cd_ == invalid()) {
      cd_ = iconv_open(to_, from_);
      if (cd_ == invalid()) return std::nullopt;
    }
    // A failed earlier call may have left shift state or a partial character behind.
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);

    std::string output(input.size() * 2 + 16, '\0');
    size_t used = 0;
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    // Converts the input, then flushes (null input) any pending state, growing the
    // output whenever iconv runs out of room.
    for (bool flushing = false;;) {
      char* out = output.data() + used;
      size_t outLeft = output.size() - used;
      size_t result = flushing ? iconv(cd_, nullptr, nullptr, &out, &outLeft)
                               : iconv(cd_, &in, &inLeft, &out, &outLeft);
      int error = errno;
      used = output.size() - outLeft;
      if (result == static_cast<size_t>(-1)) {
        if (error != E2BIG) return std::nullopt;  // EILSEQ, or a truncated character
        output.resize(output.size() * 2);
        continue;
      }
      if (flushing) break;
      flushing = true;
    }
    output.resize(used);
    return output;
  }

 private:
  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
  const char* to_;
  const char* from_;
  iconv_t cd_ = invalid();
};

constexpr unsigned char kEscapeLeadFirst = 0xF0, kEscapeLeadLast = 0xF1;
constexpr unsigned char kEscapeTrailFirst = 0x80, kEscapeTrailLast = 0xBF;

bool IsEscape(unsigned char lead, unsigned char trail) {
  return lead >= kEscapeLeadFirst && lead <= kEscapeLeadLast && trail >= kEscapeTrailFirst &&
         trail <= kEscapeTrailLast;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  for (unsigned char byte : bytes) {
    unsigned n = byte - 0x80u;
    out += char(kEscapeLeadFirst + n / 64);
    out += char(kEscapeTrailFirst + n % 64);
  }
}

std::optional<std::string> IconvCp932ToUtf8(std::string_view cp932) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(cp932);
}

std::optional<std::string> IconvUtf8ToCp932(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(utf8);
}

// Length of the well-formed UTF-8 character at the start of `text`, or 0 when the first
// byte starts none (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut).
size_t Utf8CharLength(std::string_view text) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b = at(0);
  size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((at(i) & 0xC0) != 0x80) return 0;
  if (length == 3 && ((b == 0xE0 && at(1) < 0xA0) || (b == 0xED && at(1) >= 0xA0))) return 0;
  if (length == 4 && ((b == 0xF0 && at(1) < 0x90) || (b == 0xF4 && at(1) >= 0x90))) return 0;
  return length;
}

// One UTF-8 character in CP932, or nullopt when it must be escaped: CP932 lacks it, it
// would come back as another character, or its code is one of the escapes.
std::optional<std::string> Cp932Form(std::string_view character) {
  std::optional<std::string> cp932 = IconvUtf8ToCp932(character);
  if (!cp932 || cp932->empty()) return std::nullopt;
  if (cp932->size() == 2 && IsEscape(static_cast<unsigned char>((*cp932)[0]), static_cast<unsigned char>((*cp932)[1])))
    return std::nullopt;
  if (IconvCp932ToUtf8(*cp932) != character) return std::nullopt;
  return cp932;
}

}  // namespace

namespace win32ext {

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  // Bytes below 0x80 are the same characters in both (the frame files' names, each frame).
  if (std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(cp932);
  std::string out;
  size_t runStart = 0, i = 0;
  auto flushRun = [&](size_t end) {
    if (end == runStart) return true;
    std::optional<std::string> converted = IconvCp932ToUtf8(cp932.substr(runStart, end - runStart));
    if (!converted) return false;
    out += *converted;
    return true;
  };
  while (i < cp932.size()) {
    unsigned char lead = static_cast<unsigned char>(cp932[i]);
    if (IsCp932LeadByte(lead) && i + 1 < cp932.size()) {
      unsigned char trail = static_cast<unsigned char>(cp932[i + 1]);
      if (IsEscape(lead, trail)) {
        if (!flushRun(i)) return std::nullopt;
        out += char(0x80 + (lead - kEscapeLeadFirst) * 64 + (trail - kEscapeTrailFirst));
        i += 2;
        runStart = i;
        continue;
      }
      i += 2;
      continue;
    }
    ++i;
  }
  if (!flushRun(cp932.size())) return std::nullopt;
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  // Most text converts whole and comes back unchanged; only other text goes character
  // by character.
  if (std::optional<std::string> whole = IconvUtf8ToCp932(utf8)) {
    if (Cp932ToUtf8(*whole) == utf8) return *whole;
  }
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t length = Utf8CharLength(utf8.substr(i));
    if (length == 1) {
      out += utf8[i++];
      continue;
    }
    std::string_view character = utf8.substr(i, length == 0 ? 1 : length);
    std::optional<std::string> cp932 = length == 0 ? std::nullopt : Cp932Form(character);
    if (cp932) out += *cp932;
    else AppendEscaped(out, character);
    i += character.size();
  }
  return out;
}

std::optional<std::u32string> Cp932ToCodePoints(std::string_view cp932) {
  thread_local Converter converter("UTF-32LE", "CP932");
  std::optional<std::string> bytes = converter.Convert(cp932);
  if (!bytes || bytes->size() % 4 != 0) return std::nullopt;
  std::u32string codes(bytes->size() / 4, U'\0');
  for (size_t i = 0; i < codes.size(); ++i) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes->data() + 4 * i);
    codes[i] = char32_t(at[0]) | char32_t(at[1]) << 8 | char32_t(at[2]) << 16 | char32_t(at[3]) << 24;
  }
  return codes;
}

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

size_t Cp932SafePrefix(std::string_view text, size_t maxBytes) {
  // Walk whole characters from the start: whether a byte is a lead or a trail byte
  // depends on what precedes it. A lead byte that ends the text stands alone.
  size_t length = 0;
  while (length < text.size()) {
    size_t width =
        IsCp932LeadByte(static_cast<unsigned char>(text[length])) && length + 1 < text.size()
            ? 2
            : 1;
    if (length + width > maxBytes) break;
    length += width;
  }
  return length;
}

}  // namespace win32ext
