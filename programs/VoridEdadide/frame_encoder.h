// The output formats behind one interface: frames go in one at a time, in order,
// and the encoder writes its stream to an OutputFile as it goes.
#pragma once

#include <memory>
#include <string>

#include "movie_reader.h"
#include "output_file.h"

namespace convert {

// Quality 1..100 (higher: closer to the source, larger file). GIF: how far a shown
// pixel may be off before it is redrawn; MPEG-1: the quantiser; MP4 and WebM: the
// encoder's constant quality; WebP: libwebp's quality. MNG and APNG are lossless.
inline constexpr int kDefaultQuality = 90;

class FrameEncoder {
 public:
  virtual ~FrameEncoder() = default;
  // frame has the movie's size.
  virtual bool Add(const movie::Frame& frame, std::string* error) = 0;
  // Writes what ends the stream. The file is not committed here.
  virtual bool Finish(std::string* error) = 0;
};

// Each returns null with *error set when the movie cannot be written in the format.
// The encoder keeps a reference to out.
std::unique_ptr<FrameEncoder> CreateGifEncoder(OutputFile& out, const movie::MovieInfo& info,
                                               int quality, std::string* error);
std::unique_ptr<FrameEncoder> CreateMngEncoder(OutputFile& out, const movie::MovieInfo& info,
                                               std::string* error);
std::unique_ptr<FrameEncoder> CreateMpegEncoder(OutputFile& out, const movie::MovieInfo& info,
                                                int quality, std::string* error);
std::unique_ptr<FrameEncoder> CreateWebpEncoder(OutputFile& out, const movie::MovieInfo& info,
                                                int quality, std::string* error);

}  // namespace convert
