// Reads a BMP file as the frame rows of the movie's stream. Accepts 24- and 32-bit uncompressed
// images (BI_RGB, or BI_BITFIELDS with the usual masks), bottom-up or top-down; no
// palettes, no RLE. The file is hostile input: every size is checked before use.
#pragma once

#include <string>
#include <vector>

#include "frame_rows.h"

namespace avi2 {

// A BMP file as the rows of a frame, read a few at a time into a buffer it keeps.
class BmpReader final : public FrameRows {
 public:
  BmpReader() = default;
  ~BmpReader() override;
  BmpReader(const BmpReader&) = delete;
  BmpReader& operator=(const BmpReader&) = delete;

  // Opens and checks the file; its rows then come from Next. A failure leaves the
  // reason in *error.
  bool Open(const std::string& path, std::string* error);

 private:
  const uint8_t* Fetch(int32_t first, int32_t count, std::string* error) override;
  // The file is closed as soon as its rows are read, so that deleting it frees it.
  void AllFetched() override { Close(); }
  void Close();

  int fd_ = -1;
  uint64_t pixelOffset_ = 0;
  uint64_t stride_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace avi2
