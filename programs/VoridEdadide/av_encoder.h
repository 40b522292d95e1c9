// The formats written through libavcodec and libavformat (MP4, WebM, APNG): each is a
// row of one table that names its muxer, its encoder and how --quality maps onto the
// encoder's own scale. The table is open so that a test can name an encoder the
// system lacks.
#pragma once

#include <string>

#include "frame_encoder.h"

namespace convert {

struct AvOutput {
  const char* name;     // for messages: "MP4"
  const char* muxer;    // libavformat's name: "mp4"
  const char* encoder;  // libavcodec's name: "libx264"
  bool yuv420;          // 4:2:0 pictures (else RGB, kept exactly)
  bool evenSize;        // an odd width or height is padded by repeating the last column or row
  // The encoder's and the muxer's options for a quality of 1..100, as libav option text
  // ("crf=18:preset=medium").
  std::string (*codecOptions)(int quality);
  const char* muxerOptions;
};

const AvOutput& Mp4Output();
const AvOutput& WebmOutput();
const AvOutput& ApngOutput();

std::unique_ptr<FrameEncoder> CreateAvEncoder(OutputFile& out, const movie::MovieInfo& info, const AvOutput& format,
                                              int quality, std::string* error);

}  // namespace convert
