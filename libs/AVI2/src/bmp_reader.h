// Reads a BMP file into the frame layout of the movie's stream (24-bit BGR rows,
// bottom row first, each padded to 4 bytes). Accepts 24- and 32-bit uncompressed
// images (BI_RGB, or BI_BITFIELDS with the usual masks), bottom-up or top-down; no
// palettes, no RLE. The file is hostile input: every size is checked before use.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dib_frame.h"

namespace avi2 {

// A failure leaves the reason in *error.
std::optional<DibFrame> ReadBmpFile(const std::string& path, std::string* error);

}  // namespace avi2
