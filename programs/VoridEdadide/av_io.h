// What the encoders that go through libavformat share: libav's error text, and the
// callback through which an I/O context writes the container into the OutputFile.
#pragma once

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

#include <string>

#include "output_file.h"

namespace convert {

// The write callback's buffer became const in libavformat 61.
#if defined(FF_API_AVIO_WRITE_NONCONST) && !FF_API_AVIO_WRITE_NONCONST
using AvWriteData = const uint8_t*;
#else
using AvWriteData = uint8_t*;
#endif

inline std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// An I/O context's write callback; opaque is the OutputFile.
inline int WriteToOutput(void* opaque, AvWriteData data, int bytes) {
  return static_cast<OutputFile*>(opaque)->Write(data, static_cast<size_t>(bytes)) ? bytes : AVERROR(EIO);
}

}  // namespace convert
