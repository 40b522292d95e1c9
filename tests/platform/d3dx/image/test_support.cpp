// Convert runs and the source picture shared by the image tests.
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace d3dximage::test {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

namespace {
std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
}  // namespace

std::vector<uint8_t> RunConvert(const std::vector<std::string>& args) {
  std::string command = IMAGEMAGICK_CONVERT;
  for (const std::string& arg : args) command += " " + Quote(arg);
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<uint8_t> output;
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return output;
  }
  uint8_t buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.insert(output.end(), buffer, buffer + n);
  int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  return output;
}

ImageLevel SourcePicture() {
  ImageLevel level{kSourceWidth, kSourceHeight, {}};
  for (uint32_t y = 0; y < kSourceHeight; ++y) {
    for (uint32_t x = 0; x < kSourceWidth; ++x) {
      uint32_t r = (x * 19 + y * 3) & 255, g = (y * 37 + x * 5) & 255, b = (x * y * 7 + 11) & 255;
      uint32_t a = (x + y) % 5 ? 255 : (x * 20 + y * 9) & 255;
      level.argb.push_back(a << 24 | r << 16 | g << 8 | b);
    }
  }
  return level;
}

void WriteSourceRgba(const std::filesystem::path& path) {
  std::vector<uint8_t> raw;
  for (uint32_t p : SourcePicture().argb)
    raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
  WriteFile(path, raw);
}

ImageLevel ConvertReads(const std::filesystem::path& path, uint32_t width, uint32_t height) {
  // 16-bit samples, rounded here: convert truncates grey (but not colour) when it
  // writes 8-bit samples itself.
  std::vector<uint8_t> raw =
      RunConvert({path.string() + "[0]", "-auto-orient", "-depth", "16", "-endian", "MSB", "rgba:-"});
  ImageLevel level{width, height, {}};
  EXPECT_EQ(raw.size(), size_t(width) * height * 8) << path;
  auto sample = [&](size_t i) { return uint32_t((raw[i] << 8 | raw[i + 1]) * 255u + 32767) / 65535; };
  for (size_t i = 0; i + 7 < raw.size(); i += 8)
    level.argb.push_back(sample(i + 6) << 24 | sample(i) << 16 | sample(i + 2) << 8 | sample(i + 4));
  return level;
}

DecodeResult Decode(const std::vector<uint8_t>& bytes, ImageFile& out, uint32_t maxDimension) {
  return DecodeImageFile(bytes, out, maxDimension);
}

unsigned MaxChannelDifference(const ImageLevel& a, const ImageLevel& b) {
  if (a.width != b.width || a.height != b.height || a.argb.size() != b.argb.size()) return 255 * 4;
  unsigned worst = 0;
  for (size_t i = 0; i < a.argb.size(); ++i)
    for (unsigned shift = 0; shift < 32; shift += 8) {
      int d = int((a.argb[i] >> shift) & 255) - int((b.argb[i] >> shift) & 255);
      worst = std::max(worst, unsigned(std::abs(d)));
    }
  return worst;
}

}  // namespace d3dximage::test
