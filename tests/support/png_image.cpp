// PNG reading and writing through libpng's simplified API, and image comparison.
#include "png_image.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace testsupport {

bool WritePng(const std::string& path, const Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = image.width;
  png.height = image.height;
  png.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB in little-endian memory
  return png_image_write_to_file(&png, path.c_str(), 0, image.argb.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::string& path, Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_BGRA;
  image.width = png.width;
  image.height = png.height;
  image.argb.assign(size_t(png.width) * png.height, 0);
  bool ok = png_image_finish_read(&png, nullptr, image.argb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

std::string CompareImages(const Image& actual, const Image& expected, int tolerance) {
  std::ostringstream report;
  if (actual.width != expected.width || actual.height != expected.height) {
    report << "size " << actual.width << "x" << actual.height << " instead of " << expected.width << "x"
           << expected.height;
    return report.str();
  }
  size_t differing = 0;
  for (size_t i = 0; i < actual.argb.size(); ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      int a = (actual.argb[i] >> shift) & 0xFF, e = (expected.argb[i] >> shift) & 0xFF;
      if (std::abs(a - e) <= tolerance) continue;
      if (differing++ == 0)
        report << "first at (" << i % actual.width << ", " << i / actual.width << "): " << std::hex
               << actual.argb[i] << " instead of " << expected.argb[i] << std::dec << "; ";
      break;
    }
  }
  if (differing) report << differing << " pixels differ by more than " << tolerance;
  return report.str();
}

std::string MatchReference(const std::string& path, const Image& actual, int tolerance) {
  const char* update = std::getenv("VESK_UPDATE_REFERENCES");
  if (update && std::strcmp(update, "1") == 0) return WritePng(path, actual) ? "" : "cannot write " + path;
  Image expected;
  if (!ReadPng(path, expected)) return "cannot read reference " + path;
  return CompareImages(actual, expected, tolerance);
}

}  // namespace testsupport
