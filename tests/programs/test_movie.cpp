// Writes the test movies through the movie writer's own code and compares pictures.
#include "test_movie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace movie_test {

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

movie::Frame Picture(int width, int height, int index) {
  movie::Frame frame{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
  const int side = std::max(2, std::min(width, height) / 4);
  const int left = (index * 5) % std::max(1, width - side);
  const int top = (index * 3) % std::max(1, height - side);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = &frame.rgb[(static_cast<size_t>(y) * width + x) * 3];
      const bool inSquare = x >= left && x < left + side && y >= top && y < top + side;
      pixel[0] = inSquare ? 230 : static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
      pixel[1] = inSquare ? 40 : static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
      pixel[2] = inSquare ? 60 : 128;
    }
  }
  return frame;
}

namespace {

// The writer's frame layout: 24-bit DIB rows, bottom up, BGR, each row padded to 4 bytes.
std::vector<uint8_t> Dib(const movie::Frame& frame) {
  const size_t stride = (static_cast<size_t>(frame.width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> dib(stride * frame.height);
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* row = &frame.rgb[static_cast<size_t>(y) * frame.width * 3];
    uint8_t* out = &dib[stride * (frame.height - 1 - y)];
    for (int x = 0; x < frame.width; ++x) {
      out[x * 3] = row[x * 3 + 2];
      out[x * 3 + 1] = row[x * 3 + 1];
      out[x * 3 + 2] = row[x * 3];
    }
  }
  return dib;
}

}  // namespace

void WriteMovie(const std::string& path, const MovieShape& shape) {
  const uint32_t frameBytes =
      static_cast<uint32_t>((static_cast<size_t>(shape.width) * 3 + 3) / 4 * 4 * shape.height);
  std::string error;
  auto writer = avi2::AviWriter::Create(
      path, {shape.width, shape.height, shape.rate, shape.scale, frameBytes}, shape.limits, &error);
  ASSERT_NE(writer, nullptr) << error;
  for (int i = 0; i < shape.frames; ++i)
    ASSERT_TRUE(writer->AppendFrame(Dib(Picture(shape.width, shape.height, i * shape.motion)), &error)) << error;
  if (shape.finish) {
    ASSERT_TRUE(writer->Finish(&error)) << error;
  }
}

movie::Frame FromBgr(const avi2_test::Image& image) {
  movie::Frame frame{image.width, image.height, image.bgr};
  for (size_t i = 0; i + 2 < frame.rgb.size(); i += 3) std::swap(frame.rgb[i], frame.rgb[i + 2]);
  return frame;
}

double Psnr(const movie::Frame& picture, const movie::Frame& source, Channels channels) {
  EXPECT_GE(picture.width, source.width);
  EXPECT_GE(picture.height, source.height);
  if (picture.width < source.width || picture.height < source.height || source.rgb.empty()) return 0;
  auto luma = [](const uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; };
  double squares = 0;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const uint8_t* a = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      const uint8_t* b = &source.rgb[(static_cast<size_t>(y) * source.width + x) * 3];
      if (channels == Channels::kLuma) {
        squares += (luma(a) - luma(b)) * (luma(a) - luma(b)) * 3;
        continue;
      }
      for (int c = 0; c < 3; ++c) squares += (a[c] - b[c]) * (a[c] - b[c]);
    }
  }
  const double mean = squares / (static_cast<double>(source.width) * source.height * 3);
  return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

}  // namespace movie_test
