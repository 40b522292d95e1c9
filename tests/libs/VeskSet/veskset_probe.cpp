// Stands in for the program in the export tests: fills a record of 0xAA bytes through
// the real VeskSet, then prints the result and all 560 bytes of the record in hex, so
// a test sees every field and every byte the library left unwritten; then the bytes of
// the extras record VeskSetExtras filled, in hex the same way.
#include <cstdio>
#include <cstring>

#include "VeskSet.h"

int main() {
  RecordingSettings settings;
  std::memset(&settings, 0xAA, sizeof settings);
  int result = VeskSet(&settings);
  std::printf("result=%d\n", result);
  if (result == 0) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
  std::printf("record=");
  for (size_t i = 0; i < sizeof settings; ++i) std::printf("%02x", bytes[i]);
  std::printf("\n");
  RecordingExtras extras{};
  extras.size = sizeof extras;
  if (VeskSetExtras(&extras) == 0) return 0;
  bytes = reinterpret_cast<const unsigned char*>(&extras);
  std::printf("extras=");
  for (size_t i = 0; i < sizeof extras; ++i) std::printf("%02x", bytes[i]);
  std::printf("\n");
  return 0;
}
