// The 16-byte header of a .x file ("xof 0302txt 0032"): the body's encoding, whether it
// is MSZIP-compressed, and the width of binary floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace d3dxfile {

constexpr size_t kXHeaderSize = 16;

struct XHeader {
  bool binary = false;
  bool compressed = false;
  bool doubleFloats = false;
};

// Throws InvalidDataError unless `file` starts with a header this reader knows.
XHeader ReadXHeader(std::span<const uint8_t> file);

}  // namespace d3dxfile
