// Writes BMP frames for the movie writer tests and reads movies back through ffprobe
// and ffmpeg, the same tools a user plays and converts them with.
#include "movie_check.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

namespace avi2_test {
namespace {

void Le(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::string Quote(const std::string& path) { return "'" + path + "'"; }

void ReadCommand(const std::string& command, size_t chunkBytes,
                 const std::function<void(const std::vector<uint8_t>&)>& take) {
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr) << command;
  std::vector<uint8_t> chunk(chunkBytes);
  size_t filled;
  while ((filled = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
    chunk.resize(filled);
    take(chunk);
    chunk.resize(chunkBytes);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
}

std::vector<uint8_t> CommandOutput(const std::string& command) {
  std::vector<uint8_t> out;
  ReadCommand(command, 65536, [&out](const std::vector<uint8_t>& part) {
    out.insert(out.end(), part.begin(), part.end());
  });
  return out;
}

Image Pattern(int width, int height, int seed) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        image.bgr.push_back(static_cast<uint8_t>(x * 7 + y * 13 + seed * 29 + c * 71));
  return image;
}

void WriteBmp(const std::string& path, const Image& image, int bits, RowOrder order) {
  const uint32_t stride = (image.width * bits + 31) / 32 * 4;
  const uint32_t pixelBytes = stride * image.height;
  const uint32_t tail = bits == 32 ? 2 : 0;
  std::vector<uint8_t> file{'B', 'M'};
  Le(file, 54 + pixelBytes + tail, 4);
  Le(file, 0, 4);
  Le(file, 54, 4);
  Le(file, 40, 4);
  Le(file, image.width, 4);
  Le(file, order == RowOrder::BottomUp ? image.height : -image.height, 4);
  Le(file, 1, 2);
  Le(file, bits, 2);
  Le(file, 0, 4);
  Le(file, pixelBytes, 4);
  Le(file, 2834, 4);
  Le(file, 2834, 4);
  Le(file, 0, 8);
  for (int row = 0; row < image.height; ++row) {
    const int y = order == RowOrder::BottomUp ? image.height - 1 - row : row;
    const size_t rowStart = file.size();
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* pixel = &image.bgr[(static_cast<size_t>(y) * image.width + x) * 3];
      file.insert(file.end(), pixel, pixel + 3);
      if (bits == 32) file.push_back(0xFF);
    }
    file.resize(rowStart + stride, 0);
  }
  file.resize(file.size() + tail, 0);
  WriteFile(path, file);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

StreamFacts Probe(const std::string& moviePath) {
  const std::vector<uint8_t> text = CommandOutput(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,r_frame_rate,nb_frames,nb_read_frames -of default=nw=1 " +
      Quote(moviePath));
  StreamFacts facts;
  std::istringstream lines(std::string(text.begin(), text.end()));
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "codec_name") facts.codec = value;
    if (key == "width") facts.width = atoi(value.c_str());
    if (key == "height") facts.height = atoi(value.c_str());
    if (key == "r_frame_rate") facts.frameRate = value;
    if (key == "nb_frames") facts.declaredFrames = atoi(value.c_str());
    if (key == "nb_read_frames") facts.decodedFrames = atoi(value.c_str());
  }
  return facts;
}

uint64_t RiffChainBytes(const std::vector<uint8_t>& file) {
  uint64_t at = 0;
  while (at + 8 <= file.size() && std::equal(file.begin() + at, file.begin() + at + 4, "RIFF"))
    at += 8 + (file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 |
               uint64_t{file[at + 7]} << 24);
  return at;
}

void DecodeEach(const std::string& moviePath, int width, int height,
                const std::function<void(const Image&)>& take) {
  // fread fills whole frames until the end of the output.
  ReadCommand("ffmpeg -v error -i " + Quote(moviePath) + " -f rawvideo -pix_fmt bgr24 -",
              static_cast<size_t>(width) * height * 3, [&](const std::vector<uint8_t>& frame) {
                ASSERT_EQ(frame.size(), static_cast<size_t>(width) * height * 3);
                take(Image{width, height, frame});
              });
}

std::vector<Image> Decode(const std::string& moviePath, int width, int height) {
  std::vector<Image> frames;
  DecodeEach(moviePath, width, height, [&frames](const Image& frame) { frames.push_back(frame); });
  return frames;
}

}  // namespace avi2_test
