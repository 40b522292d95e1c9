// MPEG-1 video in an MPEG program stream, through libavcodec and libavformat. MPEG-1
// knows only a few frame rates, so the movie is written at one of them with its frames
// repeated as often as their time on screen asks (10 frames a second become 30, each
// frame three times); the length stays the movie's. An odd width or height is padded
// by repeating the last column or row, since 4:2:0 colour needs even sizes.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <string>

#include "av_io.h"
#include "av_stream_writer.h"
#include "frame_encoder.h"

namespace convert {
namespace {


// MPEG-1's largest picture: 12-bit sizes in its sequence header.
constexpr int kMaxMpegSide = 4095;
// The movie rates MPEG-1 output takes: a slower movie would have each frame repeated
// thousands of times (a frame of 100,000 s, 3 million times), a faster one have nearly
// every frame dropped. At 0.1 a frame is written at most 600 times.
constexpr AVRational kSlowestRate{1, 10};
constexpr AVRational kFastestRate{1000, 1};


// The standard rate that shows every source frame a whole number of times, preferring
// the lowest; a rate that fits none is shown at 30 frames a second, nearest frame.
AVRational MpegRate(AVRational source) {
  static const AVRational kRates[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001},
                                      {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
  for (const AVRational rate : kRates) {
    const AVRational ratio = av_div_q(rate, source);
    if (ratio.den == 1 && ratio.num >= 1) return rate;
  }
  return {30, 1};
}

class MpegEncoder : public FrameEncoder, private AvStreamWriter {
 public:
  MpegEncoder(OutputFile& out, const movie::MovieInfo& info, int quality)
      : AvStreamWriter(out, "MPEG-1", false), info_(info), quality_(quality) {}
  bool Start(std::string* error);
  bool Add(const movie::Frame& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  movie::MovieInfo info_;
  int quality_;
  AVRational rate_{30, 1};
  std::vector<uint8_t> padded_;
  int64_t sourceFrames_ = 0;
  int64_t written_ = 0;  // output frames so far
};

bool MpegEncoder::Start(std::string* error) {
  if (info_.width > kMaxMpegSide || info_.height > kMaxMpegSide) {
    *error = "MPEG-1 holds pictures of at most 4095x4095";
    return false;
  }
  const AVRational source{info_.rateNum, info_.rateDen};
  if (source.num <= 0 || source.den <= 0 || av_cmp_q(source, kSlowestRate) < 0 || av_cmp_q(source, kFastestRate) > 0) {
    *error = "MPEG-1: the movie's rate of " + std::to_string(av_q2d(source)) +
             " frames a second is outside 0.1 to 1000, the rates MPEG-1 output is written from";
    return false;
  }
  rate_ = MpegRate(source);
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  if (!encoder) return Fail(error, "find its encoder", 0);
  if (avformat_alloc_output_context2(&muxer_, nullptr, "mpeg", nullptr) < 0 || !muxer_)
    return Fail(error, "start the program stream", 0);
  constexpr int kBufferBytes = 64 * 1024;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
  io_ = buffer ? avio_alloc_context(buffer, kBufferBytes, 1, &out_, nullptr, WriteToOutput, nullptr) : nullptr;
  if (!io_) {
    av_free(buffer);
    return Fail(error, "start the program stream", AVERROR(ENOMEM));
  }
  muxer_->pb = io_;
  muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
  stream_ = avformat_new_stream(muxer_, nullptr);
  codec_ = avcodec_alloc_context3(encoder);
  picture_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!stream_ || !codec_ || !picture_ || !packet_) return Fail(error, "start", AVERROR(ENOMEM));
  codec_->width = (info_.width + 1) & ~1;
  codec_->height = (info_.height + 1) & ~1;
  codec_->pix_fmt = AV_PIX_FMT_YUV420P;
  codec_->time_base = av_inv_q(rate_);
  codec_->framerate = rate_;
  codec_->gop_size = 15;
  codec_->max_b_frames = 2;
  codec_->thread_count = 1;
  // A fixed quantiser: quality 100 is 1 (the finest), 1 is 31.
  codec_->flags |= AV_CODEC_FLAG_QSCALE;
  codec_->global_quality = FF_QP2LAMBDA * (1 + (100 - quality_) * 30 / 99);
  int result = avcodec_open2(codec_, encoder, nullptr);
  if (result < 0) return Fail(error, "open the encoder", result);
  result = avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (result < 0) return Fail(error, "describe the stream", result);
  stream_->time_base = codec_->time_base;
  result = avformat_write_header(muxer_, nullptr);
  if (result < 0) return Fail(error, "write the stream header", result);
  picture_->format = codec_->pix_fmt;
  picture_->width = codec_->width;
  picture_->height = codec_->height;
  result = av_frame_get_buffer(picture_, 0);
  if (result < 0) return Fail(error, "make a picture", result);
  scaler_ = sws_getContext(codec_->width, codec_->height, AV_PIX_FMT_RGB24, codec_->width, codec_->height,
                           AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!scaler_) return Fail(error, "convert the colours", 0);
  padded_.resize(static_cast<size_t>(codec_->width) * codec_->height * 3);
  return true;
}

bool MpegEncoder::Add(const movie::Frame& frame, std::string* error) {
  const int width = codec_->width, height = codec_->height;
  const size_t sourceRow = static_cast<size_t>(frame.width) * 3, rowBytes = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &padded_[rowBytes * y];
    std::memcpy(row, &frame.rgb[sourceRow * std::min(y, frame.height - 1)], sourceRow);
    if (width > frame.width) std::memcpy(row + sourceRow, row + sourceRow - 3, 3);
  }
  int result = av_frame_make_writable(picture_);
  if (result < 0) return Fail(error, "make a picture", result);
  const uint8_t* planes[1] = {padded_.data()};
  const int strides[1] = {static_cast<int>(rowBytes)};
  sws_scale(scaler_, planes, strides, 0, height, picture_->data, picture_->linesize);
  // Output frames whose time falls before the end of this source frame show it.
  ++sourceFrames_;
  const AVRational perSource = av_div_q(rate_, AVRational{info_.rateNum, info_.rateDen});
  const int64_t until = av_rescale(sourceFrames_, perSource.num, perSource.den);
  // With a fixed quantiser the encoder takes each picture's quality as its lambda.
  picture_->quality = codec_->global_quality;
  for (; written_ < until; ++written_) {
    picture_->pts = written_;
    if (!Send(picture_, error)) return false;
  }
  return true;
}

bool MpegEncoder::Finish(std::string* error) {
  if (written_ == 0) return Fail(error, "write a movie without frames", 0);
  return FinishFile(error, "finish the stream");
}

}  // namespace

std::unique_ptr<FrameEncoder> CreateMpegEncoder(OutputFile& out, const movie::MovieInfo& info,
                                                int quality, std::string* error) {
  auto encoder = std::make_unique<MpegEncoder>(out, info, quality);
  if (!encoder->Start(error)) return nullptr;
  return encoder;
}

}  // namespace convert
