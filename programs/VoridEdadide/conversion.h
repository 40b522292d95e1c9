// One conversion: the movie read frame by frame, handed to the chosen encoder, the file
// renamed into place only when it is complete. Progress and cancelling go through one
// callback; the program's front ends (terminal line, GTK window) only show it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame_encoder.h"

namespace convert {

enum class Format { Gif, Mng, Mpeg1, Mp4, Webm, Apng, Webp };

// ".gif", ".mng", ".mpg", ".mp4", ".webm", ".png", ".webp".
const char* Extension(Format format);
// The movie's path with its extension replaced (or the extension added).
std::string DefaultOutput(const std::string& input, Format format);

struct Request {
  std::string input;
  std::string output;  // empty: DefaultOutput
  Format format = Format::Gif;
  int quality = kDefaultQuality;
};

struct Progress {
  int64_t done = 0;   // frames converted
  int64_t total = 0;  // frames to convert
  uint64_t bytes = 0;  // written so far
};
// Called after every frame; returning false cancels the conversion.
using ProgressCallback = std::function<bool(const Progress&)>;

struct Outcome {
  enum Status { kDone, kFailed, kCancelled } status = kFailed;
  std::string input;    // the movie
  std::string output;   // the file written (or that would have been)
  std::string error;    // kFailed: what went wrong, without the file's name
  std::string errorFile;  // the file the error is about
  int64_t frames = 0;
  uint64_t bytes = 0;
  bool truncated = false;  // the movie is cut short; the frames that are there were converted
};

Outcome Convert(const Request& request, const ProgressCallback& progress);

}  // namespace convert
