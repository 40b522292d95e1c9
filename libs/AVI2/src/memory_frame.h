// A frame handed over in memory (MemoryToAvifile): top-down 24-bit BGR rows of a given
// stride, copied into the stream's layout. The sizes are checked; that the caller's
// buffer really holds stride * height bytes is the caller's promise.
#pragma once

#include <cstdint>
#include <string>

#include "dib_frame.h"

namespace avi2 {

struct MemoryFrame {
  const uint8_t* pixels;  // the top row's first pixel
  uint32_t width;
  uint32_t height;
  uint32_t stride;  // bytes from one row to the next, at least width * 3
};

// Copies the frame into out (whose buffer is reused). A failure leaves the reason in *error.
bool ReadMemoryFrame(const MemoryFrame& frame, DibFrame& out, std::string* error);

}  // namespace avi2
