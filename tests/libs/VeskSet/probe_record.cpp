// Decoding the probe's output.
#include "probe_record.h"

#include <gtest/gtest.h>

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
