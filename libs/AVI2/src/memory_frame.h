// A frame handed over in memory (MemoryToAvifile): top-down 24-bit BGR rows of a given
// stride, converted into the stream's layout. The sizes are checked; that the caller's
// buffer really holds stride * height bytes is the caller's promise.
#pragma once

#include <cstdint>
#include <string>

#include "frame_rows.h"

namespace avi2 {

struct MemoryFrame {
  const uint8_t* pixels;  // the top row's first pixel
  uint32_t width;
  uint32_t height;
  uint32_t stride;  // bytes from one row to the next, at least width * 3
};

// The rows of a frame in memory, read where they are.
class MemoryRows final : public FrameRows {
 public:
  // Checks the frame; its rows then come from Next. A failure leaves the reason in *error.
  bool Open(const MemoryFrame& frame, std::string* error);

 private:
  const uint8_t* Fetch(int32_t first, int32_t count, std::string* error) override;

  const uint8_t* pixels_ = nullptr;
  uint64_t stride_ = 0;
};

}  // namespace avi2
