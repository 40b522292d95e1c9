// Movies for the tests of the after-recording programs, written by the project's own
// movie writer: frames with a smooth background and a moving square, so that frames
// differ in a part only, as a recording of the turning globe does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "avi_writer.h"
#include "movie_reader.h"

namespace movie_test {

// Frame `index` of the test movie: a gradient with a square that moves across it.
movie::Frame Picture(int width, int height, int index);

struct MovieSpec {
  int width = 64;
  int height = 48;
  int frames = 6;
  uint32_t rate = 1000000;  // as the program writes it: 10 frames per second
  uint32_t scale = 100000;
  bool finish = true;  // false: the writer is dropped as if killed between two frames
  avi2::AviLimits limits{};
};

// Writes the movie; the frames are Picture(width, height, i) for i in [0, frames).
void WriteMovie(const std::string& path, const MovieSpec& spec);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Mean absolute difference of two same-sized pictures, per channel value.
double MeanDifference(const movie::Frame& a, const movie::Frame& b);

}  // namespace movie_test
