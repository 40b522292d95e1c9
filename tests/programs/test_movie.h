// Movies for the tests of the after-recording programs, written by the project's own
// movie writer: frames with a smooth background and a moving square, so that frames
// differ in a part only, as a recording of the turning globe does.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "avi_writer.h"
#include "movie_check.h"
#include "movie_reader.h"

namespace movie_test {

// Frame `index` of the test movie: a gradient with a square that moves across it.
movie::Frame Picture(int width, int height, int index);

struct MovieShape {
  int width = 64;
  int height = 48;
  int frames = 6;
  uint32_t rate = 1000000;  // as the program writes it: 10 frames per second
  uint32_t scale = 100000;
  int motion = 1;  // frame i shows Picture(width, height, i * motion)
  bool finish = true;  // false: the writer is dropped as if killed between two frames
  avi2::AviLimits limits{};
};

// Writes the movie of `frames` frames.
void WriteMovie(const std::string& path, const MovieShape& shape);
// A picture from ffmpeg's bgr24 output as RGB.
movie::Frame FromBgr(const avi2_test::Image& image);
// Peak signal-to-noise ratio in dB of a picture against the source it shows, over the
// source's size (the picture may be larger, as a padded MPEG-1 frame is); 99 when equal.
// Over the three colour values, or over the luma (BT.601) as video codecs are judged.
enum class Channels { kRgb, kLuma };
double Psnr(const movie::Frame& picture, const movie::Frame& source, Channels channels = Channels::kRgb);

// The names of the files in `folder`.
std::set<std::string> FilesIn(const std::string& folder);
// Bytes as text, as a command printed them or a file holds them.
inline std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace movie_test
