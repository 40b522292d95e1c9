#include "av_stream_writer.h"

#include "av_io.h"

namespace convert {

AvStreamWriter::~AvStreamWriter() {
  av_packet_free(&packet_);
  av_frame_free(&picture_);
  sws_freeContext(scaler_);
  avcodec_free_context(&codec_);
  if (muxer_) avformat_free_context(muxer_);
  if (io_) av_freep(&io_->buffer);
  avio_context_free(&io_);
}

bool AvStreamWriter::Fail(std::string* error, const std::string& what, int code) const {
  if (!out_.WriteError().empty())
    *error = out_.WriteError();
  else
    *error = name_ + ": cannot " + what + (code < 0 ? ": " + AvError(code) : "");
  return false;
}

bool AvStreamWriter::Send(const AVFrame* frame, std::string* error) {
  int result = avcodec_send_frame(codec_, frame);
  if (result < 0) return Fail(error, "encode a frame", result);
  for (;;) {
    result = avcodec_receive_packet(codec_, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return Fail(error, "encode a frame", result);
    if (lastingPackets_ && packet_->duration == 0) packet_->duration = 1;
    av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    result = av_interleaved_write_frame(muxer_, packet_);
    if (result < 0) return Fail(error, "write a frame", result);
  }
}

bool AvStreamWriter::FinishFile(std::string* error, const std::string& what) {
  if (!Send(nullptr, error)) return false;
  const int result = av_write_trailer(muxer_);
  if (result < 0) return Fail(error, what, result);
  avio_flush(io_);
  if (!out_.WriteError().empty()) return Fail(error, what, 0);
  return true;
}

}  // namespace convert
