// MP4 (H.264 by libx264), WebM (VP9 by libvpx) and APNG through libavcodec and
// libavformat, at the movie's own frame rate: frame i is shown from i / rate. The
// container is written to the OutputFile through a seekable I/O context, since MP4,
// WebM and APNG fill in their headers at the end; MP4's "faststart" then reads the
// file back, through a second context on the same file, to move its index in front.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <climits>
#include <cstring>

#include "av_encoder.h"
#include "av_io.h"
#include "av_stream_writer.h"

namespace convert {
namespace {


constexpr int kIoBufferBytes = 64 * 1024;

// Quality 1..100 onto a codec's quality scale, where `best` is reached at 100 and
// `worst` at 1 (rounded to the nearest step).
int Scale(int quality, int best, int worst) { return best + ((100 - quality) * (worst - best) + 49) / 99; }

// x264's constant rate factor: 51 at quality 1, 18 (visually lossless) at 90, 14 at 100.
std::string Mp4Options(int quality) { return "crf=" + std::to_string(Scale(quality, 14, 51)); }

// libvpx's constant quality (with no bit rate cap): 63 at quality 1, 20 at 90, 15 at 100;
// rows in parallel, and speed 4 of libvpx's "good" modes (1, ffmpeg's default, takes
// about three times as long for a file a few percent smaller).
std::string WebmOptions(int quality) {
  return "crf=" + std::to_string(Scale(quality, 15, 63)) + ":b=0:row-mt=1:deadline=good:cpu-used=4";
}

// Lossless whatever the quality; each row filtered the way that packs best.
std::string ApngOptions(int) { return "pred=mixed"; }


// Where a seek lands in a file of `size` bytes. libavformat's I/O layer asks only for
// an absolute position or the size.
int64_t SeekTarget(uint64_t size, int64_t offset, int whence) {
  if (whence & AVSEEK_SIZE) return static_cast<int64_t>(size);
  if ((whence & ~AVSEEK_FORCE) != SEEK_SET || offset < 0 || static_cast<uint64_t>(offset) > size)
    return AVERROR(EINVAL);
  return offset;
}

int64_t SeekWrite(void* opaque, int64_t offset, int whence) {
  auto& out = *static_cast<OutputFile*>(opaque);
  const int64_t target = SeekTarget(out.BytesWritten(), offset, whence);
  if (target < 0 || (whence & AVSEEK_SIZE)) return target;
  return out.Seek(static_cast<uint64_t>(target)) ? target : AVERROR(EIO);
}

// A context that reads the output file back, for the muxer's second pass.
struct ReadBack {
  OutputFile* out;
  uint64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* data, int bytes) {
  auto& reader = *static_cast<ReadBack*>(opaque);
  const int64_t done = reader.out->ReadAt(data, static_cast<size_t>(bytes), reader.position);
  if (done < 0) return AVERROR(EIO);
  if (done == 0) return AVERROR_EOF;
  reader.position += static_cast<uint64_t>(done);
  return static_cast<int>(done);
}

int64_t SeekRead(void* opaque, int64_t offset, int whence) {
  auto& reader = *static_cast<ReadBack*>(opaque);
  const int64_t target = SeekTarget(reader.out->BytesWritten(), offset, whence);
  if (target >= 0 && !(whence & AVSEEK_SIZE)) reader.position = static_cast<uint64_t>(target);
  return target;
}

AVIOContext* NewContext(bool write, void* opaque) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  AVIOContext* io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, write ? 1 : 0, opaque,
                                                write ? nullptr : ReadPacket, write ? WriteToOutput : nullptr,
                                                write ? SeekWrite : SeekRead)
                           : nullptr;
  if (!io) av_free(buffer);
  return io;
}

void FreeContext(AVIOContext** io) {
  if (*io) av_freep(&(*io)->buffer);
  avio_context_free(io);
}

// The muxer opens "its output" again only to read it back; any other file is refused.
int OpenReadBack(AVFormatContext* format, AVIOContext** io, const char*, int flags, AVDictionary**) {
  if (flags & AVIO_FLAG_WRITE) return AVERROR(EPERM);
  auto* reader = new ReadBack{static_cast<OutputFile*>(format->pb->opaque)};
  *io = NewContext(false, reader);
  if (*io) return 0;
  delete reader;
  return AVERROR(ENOMEM);
}

int CloseReadBack(AVFormatContext*, AVIOContext* io) {
  delete static_cast<ReadBack*>(io->opaque);
  FreeContext(&io);
  return 0;
}

class AvEncoder : public FrameEncoder, private AvStreamWriter {
 public:
  AvEncoder(OutputFile& out, const movie::MovieInfo& info, const AvOutput& format, int quality)
      : AvStreamWriter(out, format.name, true), info_(info), format_(format), quality_(quality) {}
  bool Start(std::string* error);
  bool Add(const movie::Frame& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  bool OpenCodec(const AVCodec* encoder, std::string* error);
  bool OpenMuxer(std::string* error);
  void PadToEvenSize();

  movie::MovieInfo info_;
  const AvOutput& format_;
  int quality_;
  int64_t frames_ = 0;
};

bool AvEncoder::OpenCodec(const AVCodec* encoder, std::string* error) {
  codec_ = avcodec_alloc_context3(encoder);
  if (!codec_) return Fail(error, "start", AVERROR(ENOMEM));
  codec_->width = format_.evenSize ? (info_.width + 1) & ~1 : info_.width;
  codec_->height = format_.evenSize ? (info_.height + 1) & ~1 : info_.height;
  codec_->pix_fmt = format_.yuv420 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_RGB24;
  AVRational rate;
  av_reduce(&rate.num, &rate.den, info_.rateNum, info_.rateDen, INT_MAX);
  codec_->framerate = rate;
  codec_->time_base = av_inv_q(rate);
  codec_->thread_count = 0;  // as many as the machine has
  if (format_.yuv420) {
    // Tagged as what the colour conversion below does, so that players convert back alike.
    codec_->colorspace = AVCOL_SPC_BT709;
    codec_->color_primaries = AVCOL_PRI_BT709;
    codec_->color_trc = AVCOL_TRC_BT709;
    codec_->color_range = AVCOL_RANGE_MPEG;
  }
  if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  int result = av_dict_parse_string(&options, format_.codecOptions(quality_).c_str(), "=", ":", 0);
  if (result >= 0) result = avcodec_open2(codec_, encoder, &options);
  av_dict_free(&options);
  if (result < 0) return Fail(error, std::string("open the encoder ") + format_.encoder, result);
  return true;
}

bool AvEncoder::OpenMuxer(std::string* error) {
  io_ = NewContext(true, &out_);
  if (!io_) return Fail(error, "start the file", AVERROR(ENOMEM));
  muxer_->pb = io_;
  muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
  muxer_->io_open = OpenReadBack;
  muxer_->io_close2 = CloseReadBack;
  stream_ = avformat_new_stream(muxer_, nullptr);
  if (!stream_) return Fail(error, "start", AVERROR(ENOMEM));
  int result = avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (result < 0) return Fail(error, "describe the stream", result);
  stream_->time_base = codec_->time_base;
  stream_->avg_frame_rate = codec_->framerate;
  AVDictionary* options = nullptr;
  result = av_dict_parse_string(&options, format_.muxerOptions, "=", ":", 0);
  if (result >= 0) result = avformat_write_header(muxer_, &options);
  av_dict_free(&options);
  if (result < 0) return Fail(error, "write the file's header", result);
  return true;
}

bool AvEncoder::Start(std::string* error) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(format_.encoder);
  if (!encoder) {
    *error = std::string(format_.name) + ": this system's libavcodec has no encoder " + format_.encoder;
    return false;
  }
  if (avformat_alloc_output_context2(&muxer_, nullptr, format_.muxer, nullptr) < 0 || !muxer_) {
    *error = std::string(format_.name) + ": this system's libavformat cannot write " + format_.muxer;
    return false;
  }
  if (!OpenCodec(encoder, error) || !OpenMuxer(error)) return false;
  picture_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!picture_ || !packet_) return Fail(error, "start", AVERROR(ENOMEM));
  picture_->format = codec_->pix_fmt;
  picture_->width = codec_->width;
  picture_->height = codec_->height;
  const int result = av_frame_get_buffer(picture_, 0);
  if (result < 0) return Fail(error, "make a picture", result);
  scaler_ = sws_getContext(info_.width, info_.height, AV_PIX_FMT_RGB24, info_.width, info_.height,
                           codec_->pix_fmt, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!scaler_) return Fail(error, "convert the colours", 0);
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scaler_, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
  return true;
}

// The converted picture's last column and row repeated into the padding (the colour
// planes of 4:2:0 already cover an odd size).
void AvEncoder::PadToEvenSize() {
  uint8_t* luma = picture_->data[0];
  const int stride = picture_->linesize[0];
  if (codec_->width > info_.width)
    for (int y = 0; y < info_.height; ++y) luma[y * stride + info_.width] = luma[y * stride + info_.width - 1];
  if (codec_->height > info_.height)
    std::memcpy(luma + info_.height * stride, luma + (info_.height - 1) * stride, codec_->width);
}

bool AvEncoder::Add(const movie::Frame& frame, std::string* error) {
  const int result = av_frame_make_writable(picture_);
  if (result < 0) return Fail(error, "make a picture", result);
  const uint8_t* planes[1] = {frame.rgb.data()};
  const int strides[1] = {frame.width * 3};
  sws_scale(scaler_, planes, strides, 0, frame.height, picture_->data, picture_->linesize);
  PadToEvenSize();
  picture_->pts = frames_++;
  return Send(picture_, error);
}

bool AvEncoder::Finish(std::string* error) { return FinishFile(error, "finish the file"); }

}  // namespace

const AvOutput& Mp4Output() {
  static const AvOutput kMp4{"MP4", "mp4", "libx264", true, true, Mp4Options, "movflags=+faststart"};
  return kMp4;
}

const AvOutput& WebmOutput() {
  static const AvOutput kWebm{"WebM", "webm", "libvpx-vp9", true, false, WebmOptions, ""};
  return kWebm;
}

const AvOutput& ApngOutput() {
  // Played for ever.
  static const AvOutput kApng{"APNG", "apng", "apng", false, false, ApngOptions, "plays=0"};
  return kApng;
}

std::unique_ptr<FrameEncoder> CreateAvEncoder(OutputFile& out, const movie::MovieInfo& info, const AvOutput& format,
                                              int quality, std::string* error) {
  auto encoder = std::make_unique<AvEncoder>(out, info, format, quality);
  if (!encoder->Start(error)) return nullptr;
  return encoder;
}

}  // namespace convert
