// The movie reader on libavformat (forced to its AVI demuxer, so that no other format's
// parser ever sees the file), libavcodec and libswscale. Sizes are checked against the
// limits from the headers before a decoder or a picture buffer exists.
#include "movie_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace movie {

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// The file must be a regular file (a FIFO or a device would block the reader or never
// end; O_NONBLOCK keeps the open itself from waiting) and start as a RIFF of form 'AVI '
// before any parser looks at it.
bool IsAviFile(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(error, std::string("cannot open the file: ") + std::strerror(errno));
  struct stat info;
  const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  unsigned char head[12] = {};
  const ssize_t got = regular ? pread(fd, head, sizeof head, 0) : 0;
  close(fd);
  if (!regular) return Fail(error, "not a regular file");
  if (got < ssize_t(sizeof head) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0)
    return Fail(error, "not an AVI file");
  return true;
}

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

}  // namespace

struct MovieReader::State {
  MovieInfo info;
  std::unique_ptr<AVFormatContext, FormatCloser> format;
  std::unique_ptr<AVCodecContext, CodecCloser> codec;
  std::unique_ptr<AVPacket, PacketFreer> packet{av_packet_alloc()};
  std::unique_ptr<AVFrame, FrameFreer> decoded{av_frame_alloc()};
  std::unique_ptr<AVFrame, FrameFreer> rgb{av_frame_alloc()};
  std::unique_ptr<SwsContext, ScalerFreer> scaler;
  std::string path;
  int stream = -1;
  int64_t startTime = 0;
  int64_t next = 0;  // index the decoder hands out next when reading on
  bool draining = false;
  // Pictures are numbered as the decoder hands them out, from the start: set for
  // movies whose timestamps do not number them (B-frames reorder them, and a timestamp
  // may be missing or guessed; gaps skip numbers), where seeking could not find a frame.
  bool inOrder = false;

  AVStream* Stream() const { return format->streams[stream]; }
  int64_t IndexOf(int64_t timestamp) const;
  int64_t TimestampOf(int64_t index) const;
  bool OpenFormat(std::string* error);
  bool CheckStream(std::string* error);
  bool OpenDecoder(std::string* error);
  bool CountFrames(std::string* error);
  bool TimestampsNumberFrames() const;
  int64_t ScanPackets();
  bool Rewind(int64_t index, std::string* error);
  int Decode(std::string* error);
  bool Convert(int64_t index, Frame* out, std::string* error);
};

int64_t MovieReader::State::IndexOf(int64_t timestamp) const {
  const AVRational frameTime{info.rateDen, info.rateNum};
  return av_rescale_q_rnd(timestamp - startTime, Stream()->time_base, frameTime,
                          static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

int64_t MovieReader::State::TimestampOf(int64_t index) const {
  const AVRational frameTime{info.rateDen, info.rateNum};
  return startTime + av_rescale_q(index, frameTime, Stream()->time_base);
}

// Opens the file (again); on failure the context open before stays as it was.
bool MovieReader::State::OpenFormat(std::string* error) {
  AVFormatContext* raw = nullptr;
  const int result = avformat_open_input(&raw, path.c_str(), av_find_input_format("avi"), nullptr);
  if (result < 0) return Fail(error, "not a readable AVI file: " + AvError(result));
  std::unique_ptr<AVFormatContext, FormatCloser> opened(raw);
  const int video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return Fail(error, "no video stream");
  if (format && video != stream) return Fail(error, "the file changed while it was read");
  for (unsigned i = 0; i < raw->nb_streams; ++i)
    if (static_cast<int>(i) != video) raw->streams[i]->discard = AVDISCARD_ALL;
  format = std::move(opened);
  stream = video;
  return true;
}

bool MovieReader::State::CheckStream(std::string* error) {
  const AVCodecParameters* parameters = Stream()->codecpar;
  const int width = parameters->width;
  const int height = parameters->height;
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width <= 0 || height <= 0) return Fail(error, "size " + size);
  if (width > kMaxSide || height > kMaxSide || int64_t{width} * height > kMaxPixels)
    return Fail(error, "size " + size + " is larger than this program handles");
  const AVRational timeBase = Stream()->time_base;
  if (timeBase.num <= 0 || timeBase.den <= 0) return Fail(error, "no frame rate");
  info.width = width;
  info.height = height;
  // An AVI stream's time base is its scale / rate, so one tick is one frame.
  av_reduce(&info.rateNum, &info.rateDen, timeBase.den, timeBase.num, INT32_MAX);
  if (Stream()->start_time != AV_NOPTS_VALUE) startTime = Stream()->start_time;
  return true;
}

bool MovieReader::State::OpenDecoder(std::string* error) {
  const AVCodecParameters* parameters = Stream()->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder) return Fail(error, std::string("no decoder for its ") +
                                       avcodec_get_name(parameters->codec_id) + " video");
  codec.reset(avcodec_alloc_context3(decoder));
  if (!codec || !packet || !decoded || !rgb) return Fail(error, "out of memory");
  if (avcodec_parameters_to_context(codec.get(), parameters) < 0)
    return Fail(error, "bad video stream parameters");
  codec->thread_count = 1;
  const int result = avcodec_open2(codec.get(), decoder, nullptr);
  if (result < 0) return Fail(error, "cannot decode its video: " + AvError(result));
  return true;
}

// Video packets a sequential read finds, read but not decoded; the read position goes
// back to the first frame afterwards.
int64_t MovieReader::State::ScanPackets() {
  int64_t count = 0;
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    const bool whole = !(packet->flags & AV_PKT_FLAG_CORRUPT) && packet->size > 0;
    if (packet->stream_index == stream && whole) ++count;
    av_packet_unref(packet.get());
  }
  return count;
}

bool MovieReader::State::CountFrames(std::string* error) {
  std::error_code failed;
  const uintmax_t fileBytes = std::filesystem::file_size(path, failed);
  if (failed) return Fail(error, "cannot read the file size");
  AVStream* video = Stream();
  const int entries = avformat_index_get_entries_count(video);
  int64_t readable = 0;
  for (int i = 0; i < entries; ++i) {
    const AVIndexEntry* entry = avformat_index_get_entry(video, i);
    if (entry->pos >= 0 && static_cast<uintmax_t>(entry->pos) + entry->size <= fileBytes) ++readable;
  }
  // No index, or one that ends before the frame count of the headers (the writer
  // stopped before it wrote the last RIFF's index): count what is there.
  const int64_t declared = video->nb_frames;
  if (entries == 0 || readable < declared) {
    readable = std::max(readable, ScanPackets());
    if (!Rewind(0, error)) return false;
  }
  info.frameCount = readable;
  // An index that lies whole in the file accounts for the movie: fewer entries than the
  // headers' length are gaps in its timestamps, not a cut.
  const bool wholeIndex = entries > 0 && readable == entries;
  info.truncated = !wholeIndex && declared > readable;
  if (readable == 0) return Fail(error, "no frames");
  return true;
}

// Only pictures that each stand alone (every frame a key frame) at timestamps that go
// up one a frame, as the program's own movies have them, can be found by seeking.
bool MovieReader::State::TimestampsNumberFrames() const {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(Stream()->codecpar->codec_id);
  if (!descriptor || !(descriptor->props & AV_CODEC_PROP_INTRA_ONLY)) return false;
  AVStream* video = Stream();
  const int entries = avformat_index_get_entries_count(video);
  for (int i = 1; i < entries; ++i) {
    if (avformat_index_get_entry(video, i)->timestamp != avformat_index_get_entry(video, 0)->timestamp + i)
      return false;
  }
  return true;
}

bool MovieReader::State::Rewind(int64_t index, std::string* error) {
  draining = false;
  const int64_t target = TimestampOf(index);
  if (inOrder) {
    // Counted from the first picture again.
    if (!OpenFormat(error)) return false;
    next = 0;
  } else if (avformat_seek_file(format.get(), stream, INT64_MIN, target, target, 0) >= 0) {
    next = -1;  // somewhere at or before the target; the timestamps tell
  } else {
    // The demuxer found no place to seek to; reading again from the start works.
    if (!OpenFormat(error)) return false;
    next = 0;
  }
  if (codec) avcodec_flush_buffers(codec.get());
  return true;
}

// One decoded picture into `decoded`: 0, AVERROR_EOF at the end, another error code
// for a packet that does not decode.
int MovieReader::State::Decode(std::string* error) {
  for (;;) {
    int result = avcodec_receive_frame(codec.get(), decoded.get());
    if (result == 0 || result == AVERROR_EOF) return result;
    if (result != AVERROR(EAGAIN)) {
      Fail(error, "a frame does not decode: " + AvError(result));
      return result;
    }
    if (draining) return AVERROR_EOF;
    result = av_read_frame(format.get(), packet.get());
    if (result < 0) {
      draining = true;
      avcodec_send_packet(codec.get(), nullptr);
      continue;
    }
    if (packet->stream_index == stream) result = avcodec_send_packet(codec.get(), packet.get());
    av_packet_unref(packet.get());
    if (result < 0 && result != AVERROR(EAGAIN)) {
      Fail(error, "a frame does not decode: " + AvError(result));
      return result;
    }
  }
}

bool MovieReader::State::Convert(int64_t index, Frame* out, std::string* error) {
  const AVFrame* source = decoded.get();
  if (source->width != info.width || source->height != info.height)
    return Fail(error, "frame " + std::to_string(index) + " has size " +
                           std::to_string(source->width) + "x" + std::to_string(source->height) +
                           ", not the movie's " + std::to_string(info.width) + "x" +
                           std::to_string(info.height));
  scaler.reset(sws_getCachedContext(scaler.release(), info.width, info.height,
                                    static_cast<AVPixelFormat>(source->format), info.width,
                                    info.height, AV_PIX_FMT_RGB24,
                                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                    nullptr, nullptr));
  if (!scaler) return Fail(error, "cannot convert the frame's pixel format");
  if (!rgb->data[0]) {
    rgb->format = AV_PIX_FMT_RGB24;
    rgb->width = info.width;
    rgb->height = info.height;
    if (av_frame_get_buffer(rgb.get(), 32) < 0) return Fail(error, "out of memory");
  }
  sws_scale(scaler.get(), source->data, source->linesize, 0, info.height, rgb->data, rgb->linesize);
  const size_t rowBytes = static_cast<size_t>(info.width) * 3;
  out->width = info.width;
  out->height = info.height;
  out->rgb.resize(rowBytes * info.height);
  for (int y = 0; y < info.height; ++y)
    std::memcpy(out->rgb.data() + rowBytes * y, rgb->data[0] + static_cast<ptrdiff_t>(rgb->linesize[0]) * y,
                rowBytes);
  return true;
}

MovieReader::MovieReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
MovieReader::~MovieReader() = default;

const MovieInfo& MovieReader::Info() const { return state_->info; }

std::unique_ptr<MovieReader> MovieReader::Open(const std::string& path, std::string* error) {
  if (!IsAviFile(path, error)) return nullptr;
  auto state = std::make_unique<State>();
  state->path = path;
  if (!state->OpenFormat(error) || !state->CheckStream(error) || !state->OpenDecoder(error) ||
      !state->CountFrames(error))
    return nullptr;
  state->inOrder = !state->TimestampsNumberFrames();
  state->next = 0;
  return std::unique_ptr<MovieReader>(new MovieReader(std::move(state)));
}

bool MovieReader::ReadFrame(int64_t index, Frame* out, std::string* error) {
  State& s = *state_;
  if (index < 0 || index >= s.info.frameCount)
    return Fail(error, "frame " + std::to_string(index) + " is not in the movie (it has " +
                           std::to_string(s.info.frameCount) + ")");
  // In decoding order a later frame is read on to; anything else goes back (or seeks).
  const bool readOn = s.inOrder ? index >= s.next && s.next >= 0 : index == s.next;
  if (!readOn && !s.Rewind(index, error)) return false;
  for (;;) {
    const int result = s.Decode(error);
    if (result == AVERROR_EOF) return Fail(error, "the movie ends before frame " + std::to_string(index));
    if (result < 0) return false;
    // Timestamps place a picture after a seek; without them pictures count on.
    const int64_t timestamp = s.decoded->best_effort_timestamp;
    const int64_t at = !s.inOrder && timestamp != AV_NOPTS_VALUE ? s.IndexOf(timestamp) : s.next;
    s.next = at + 1;
    if (at < index) continue;
    if (at > index) return Fail(error, "frame " + std::to_string(index) + " cannot be found");
    return s.Convert(index, out, error);
  }
}

}  // namespace movie
