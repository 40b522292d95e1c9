// PNG files of 0xAARRGGBB pixels for reference-image tests, and the comparison that
// reports how far a rendered image is from its reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> argb;  // rows top to bottom
};

bool WritePng(const std::string& path, const Image& image);
bool ReadPng(const std::string& path, Image& image);

// Empty when every channel of every pixel is within `tolerance`; otherwise a short
// description of the differences (count and the first one).
std::string CompareImages(const Image& actual, const Image& expected, int tolerance);

// Compares with the PNG at `path`; with VESK_UPDATE_REFERENCES=1 in the environment it
// writes the image there instead (and the comparison passes).
std::string MatchReference(const std::string& path, const Image& actual, int tolerance);

}  // namespace testsupport
