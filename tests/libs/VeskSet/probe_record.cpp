// Decoding the probe's output.
#include "probe_record.h"

#include <cstring>

bool DecodeRecord(const std::string& out, RecordingSettings& settings) {
  size_t start = out.find("record=");
  if (start == std::string::npos) return false;
  start += 7;
  if (out.size() < start + 2 * sizeof settings) return false;
  auto* bytes = reinterpret_cast<unsigned char*>(&settings);
  for (size_t i = 0; i < sizeof settings; ++i) {
    bytes[i] = static_cast<unsigned char>(std::stoi(out.substr(start + 2 * i, 2), nullptr, 16));
  }
  return true;
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }
