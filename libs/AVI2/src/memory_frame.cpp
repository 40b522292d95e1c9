// Frames from memory for MemoryToAvifile: argument checks, then the shared row conversion.
#include "memory_frame.h"

namespace avi2 {

bool MemoryRows::Open(const MemoryFrame& frame, std::string* error) {
  Begin(PixelRows{});
  if (frame.pixels == nullptr) {
    *error = "no pixels were given";
    return false;
  }
  const uint32_t maxSide = kMaxFrameSide;
  if (frame.width == 0 || frame.width > maxSide || frame.height == 0 || frame.height > maxSide) {
    *error = "frame size " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
             " out of range";
    return false;
  }
  if (frame.stride < static_cast<uint64_t>(frame.width) * 3) {
    *error = "row stride " + std::to_string(frame.stride) + " is shorter than a row";
    return false;
  }
  pixels_ = frame.pixels;
  stride_ = frame.stride;
  Begin({static_cast<int32_t>(frame.width), static_cast<int32_t>(frame.height), false, 3, frame.stride});
  return true;
}

const uint8_t* MemoryRows::Fetch(int32_t first, int32_t, std::string*) {
  return pixels_ + stride_ * static_cast<uint64_t>(first);
}

}  // namespace avi2
