// Reads a BMP file into the frame layout of the movie's stream (24-bit BGR rows,
// bottom row first, each padded to 4 bytes). Accepts 24- and 32-bit uncompressed
// images (BI_RGB, or BI_BITFIELDS with the usual masks), bottom-up or top-down; no
// palettes, no RLE. The file is hostile input: every size is checked before use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace avi2 {

// Each side at most this many pixels, which keeps a frame below 1 GiB.
inline constexpr int32_t kMaxFrameSide = 16384;

struct DibFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;
};

// Bytes in one row of a 24-bit DIB of this width (rows are padded to 4 bytes).
uint64_t Dib24Stride(int32_t width);

// A failure leaves the reason in *error.
std::optional<DibFrame> ReadBmpFile(const std::string& path, std::string* error);

}  // namespace avi2
