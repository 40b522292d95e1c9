// Reads a BMP file into the frame layout of the movie's stream (24-bit BGR rows,
// bottom row first, each padded to 4 bytes). Accepts 24- and 32-bit uncompressed
// images (BI_RGB, or BI_BITFIELDS with the usual masks), bottom-up or top-down; no
// palettes, no RLE. The file is hostile input: every size is checked before use.
#pragma once

#include <string>
#include <vector>

#include "dib_frame.h"

namespace avi2 {

// Reads a few rows at a time into a buffer it keeps, so that a movie's frames are read
// without allocating and the rows are converted while they are still in the cache.
class BmpReader {
 public:
  // Reads the file into frame (whose buffer is reused). A failure leaves the reason in
  // *error and frame unspecified.
  bool Read(const std::string& path, DibFrame& frame, std::string* error);

 private:
  std::vector<uint8_t> rows_;
};

}  // namespace avi2
