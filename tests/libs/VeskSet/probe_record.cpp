// Decoding the probe's output.
#include "probe_record.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The bytes of the hex line that starts with label.
bool DecodeHexLine(const std::string& out, const std::string& label, void* record, size_t size) {
  size_t start = out.find(label);
  if (start == std::string::npos) return false;
  start += label.size();
  if (out.size() < start + 2 * size) return false;
  auto* bytes = static_cast<unsigned char*>(record);
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<unsigned char>(std::stoi(out.substr(start + 2 * i, 2), nullptr, 16));
  }
  return true;
}

}  // namespace

bool DecodeRecord(const std::string& out, RecordingSettings& settings) {
  return DecodeHexLine(out, "record=", &settings, sizeof settings);
}

bool DecodeExtras(const std::string& out, RecordingExtras& extras) {
  return DecodeHexLine(out, "extras=", &extras, sizeof extras);
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

void ExpectDefaultsWith(const RecordingSettings& settings, int32_t frameCount, int32_t spinForward) {
  EXPECT_EQ(Field(settings.movieFile, 260), "globe.avi");
  EXPECT_EQ(Field(settings.textureFile, 260), "globe.png");
  EXPECT_EQ(settings.width, 640);
  EXPECT_EQ(settings.height, 480);
  EXPECT_EQ(settings.frameCount, frameCount);
  EXPECT_EQ(settings.eyeHeight, 0);
  EXPECT_EQ(settings.spinForward, spinForward);
  EXPECT_EQ(settings.highTessellation, 1);
  EXPECT_EQ(settings.chooseDevice, 0);
  EXPECT_EQ(Field(settings.outputKinds, 18), "non");
}
