// Little-endian integers and FOURCCs: appended to a byte buffer when building RIFF
// chunks, and read from a byte buffer when parsing file headers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace avi2 {

class ByteBuilder {
 public:
  ByteBuilder& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ByteBuilder& U16(uint16_t v) { return Le(v, 2); }
  ByteBuilder& U32(uint32_t v) { return Le(v, 4); }
  ByteBuilder& U64(uint64_t v) { return Le(v, 8); }
  ByteBuilder& FourCc(const char (&code)[5]) {
    bytes_.insert(bytes_.end(), code, code + 4);
    return *this;
  }
  ByteBuilder& Zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  ByteBuilder& Le(uint64_t v, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

// A FOURCC and a 32-bit value, as chunk headers and header patches are written, with no
// allocation: the writer makes them for every frame.
inline std::array<uint8_t, 4> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}
inline std::array<uint8_t, 8> ChunkHeader(const char (&fourCc)[5], uint32_t size) {
  const std::array<uint8_t, 4> le = Le32(size);
  return {static_cast<uint8_t>(fourCc[0]), static_cast<uint8_t>(fourCc[1]), static_cast<uint8_t>(fourCc[2]),
          static_cast<uint8_t>(fourCc[3]), le[0], le[1], le[2], le[3]};
}

// The caller has checked that offset + size lies within bytes.
inline uint32_t ReadLe(std::span<const uint8_t> bytes, size_t offset, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | bytes[offset + static_cast<size_t>(i)];
  return v;
}

}  // namespace avi2
