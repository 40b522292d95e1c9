// What the encoders that write one video stream through libavcodec and libavformat
// share: the contexts they own, their error messages, and the way encoded packets go
// into the container and the container into the OutputFile.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <string>

#include "output_file.h"

namespace convert {

class AvStreamWriter {
 protected:
  // `name` starts every message ("MP4: cannot ..."). With `lastingPackets` a packet the
  // encoder gave no duration lasts one tick, so that the muxer knows the last frame's.
  AvStreamWriter(OutputFile& out, std::string name, bool lastingPackets)
      : out_(out), name_(std::move(name)), lastingPackets_(lastingPackets) {}
  ~AvStreamWriter();
  AvStreamWriter(const AvStreamWriter&) = delete;
  AvStreamWriter& operator=(const AvStreamWriter&) = delete;

  // Sets *error to the file's own write error when there is one, else to what could
  // not be done with libav's reason for `code` (when negative); returns false.
  bool Fail(std::string* error, const std::string& what, int code) const;
  // Encodes `frame` (null: drains the encoder) and writes every packet it gives.
  bool Send(const AVFrame* frame, std::string* error);
  // Drains the encoder, writes the container's trailer and flushes it into the file;
  // `what` names the step in a message.
  bool FinishFile(std::string* error, const std::string& what);

  OutputFile& out_;
  AVFormatContext* muxer_ = nullptr;
  AVIOContext* io_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  SwsContext* scaler_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVPacket* packet_ = nullptr;

 private:
  std::string name_;
  bool lastingPackets_;
};

}  // namespace convert
