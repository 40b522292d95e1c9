// Stands in for the program in the export tests: fills a record of 0xAA bytes through
// the real VeskSet, then prints the result and all 560 bytes of the record in hex, so
// a test sees every field and every byte the library left unwritten.
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
  return 0;
}
