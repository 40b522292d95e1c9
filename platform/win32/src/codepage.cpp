// Conversion between the program's code page 932 (Shift-JIS as Windows extends it) and
// UTF-8, through glibc's iconv, plus the byte-level facts of CP932 that callers need to
// avoid cutting a double-byte character in half.
#include <errno.h>
#include <iconv.h>

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

}  // namespace

namespace win32ext {

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(cp932);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(utf8);
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
