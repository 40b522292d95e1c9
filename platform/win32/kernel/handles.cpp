// Allocation of handle values.
#include "handles.h"

#include <atomic>

namespace win32impl {

uint32_t NextHandleValue() {
  // Start well above small integers and the program module's value so that a stray
  // number is unlikely to name a live object.
  static std::atomic<uint32_t> next{0x10000};
  uint32_t value = next.fetch_add(4);
  return value == 0x400000 ? next.fetch_add(4) : value;
}

}  // namespace win32impl
