// Decompression of the body of a `tzip`/`bzip` .x file: a DWORD total size (header
// included), then MSZIP blocks ("CK" + raw deflate), each inflated with the output
// before it (the previous block's, for full blocks) as its dictionary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace d3dxfile {

// Largest decompressed body this reader agrees to hold; a larger one is refused with
// std::bad_alloc rather than attempted.
constexpr size_t kMaxInflatedBody = size_t{512} << 20;

// `container` is the file after its 16-byte header. Throws InvalidDataError when the
// blocks are malformed or do not add up to the declared size.
std::vector<uint8_t> InflateMszip(std::span<const uint8_t> container);

}  // namespace d3dxfile
