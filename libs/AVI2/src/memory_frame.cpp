// Frames from memory for MemoryToAvifile: argument checks, then the shared row copy.
#include "memory_frame.h"

namespace avi2 {

bool ReadMemoryFrame(const MemoryFrame& frame, DibFrame& out, std::string* error) {
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
  const PixelRows rows{static_cast<int32_t>(frame.width), static_cast<int32_t>(frame.height),
                       false, 3, frame.stride};
  SizeFrame(out, rows.width, rows.height);
  ConvertRows(rows, 0, rows.height, frame.pixels, out);
  return true;
}

}  // namespace avi2
