// Animated WebP through libwebp's animation encoder: lossy frames at --quality on
// libwebp's own 0..100 scale, looping for ever, each frame shown for its time in whole
// milliseconds (rounded on the running total, so the length stays the movie's). The
// encoder stores only what changed from frame to frame and assembles the file in memory,
// so the file is written at the end.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>

#include "frame_encoder.h"

namespace convert {
namespace {

class WebpEncoder : public FrameEncoder {
 public:
  WebpEncoder(OutputFile& out, const movie::MovieInfo& info, int quality)
      : out_(out), info_(info), quality_(quality) {}
  ~WebpEncoder() override { WebPAnimEncoderDelete(encoder_); }
  bool Start(std::string* error);
  bool Add(const movie::Frame& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  bool Fail(std::string* error, const std::string& what) const;
  int TimestampMs(int64_t frame) const;

  OutputFile& out_;
  movie::MovieInfo info_;
  int quality_;
  WebPAnimEncoder* encoder_ = nullptr;
  WebPConfig config_{};
  int64_t frames_ = 0;
};

bool WebpEncoder::Fail(std::string* error, const std::string& what) const {
  if (!out_.WriteError().empty()) {
    *error = out_.WriteError();
    return false;
  }
  const char* reason = encoder_ ? WebPAnimEncoderGetError(encoder_) : nullptr;
  *error = "WebP: cannot " + what + (reason && *reason ? std::string(": ") + reason : "");
  return false;
}

// When frame `frame` starts, in milliseconds; strictly later than the frame before, so
// that a movie of more than 1000 frames a second still keeps every frame.
int WebpEncoder::TimestampMs(int64_t frame) const {
  const long long at = std::llround(static_cast<double>(frame) * 1000.0 * info_.rateDen / info_.rateNum);
  return static_cast<int>(std::min<long long>(std::max<long long>(at, frame), INT32_MAX));
}

bool WebpEncoder::Start(std::string* error) {
  if (info_.width > WEBP_MAX_DIMENSION || info_.height > WEBP_MAX_DIMENSION) {
    *error = "WebP holds pictures of at most 16383x16383";
    return false;
  }
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_))
    return Fail(error, "start: this libwebp is not the one the program was built with");
  options.anim_params.loop_count = 0;  // for ever
  config_.quality = static_cast<float>(quality_);
  config_.method = 4;
  config_.thread_level = 1;
  if (!WebPValidateConfig(&config_)) return Fail(error, "use quality " + std::to_string(quality_));
  encoder_ = WebPAnimEncoderNew(info_.width, info_.height, &options);
  if (!encoder_) return Fail(error, "start");
  return true;
}

bool WebpEncoder::Add(const movie::Frame& frame, std::string* error) {
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return Fail(error, "make a picture");
  picture.use_argb = 1;
  picture.width = frame.width;
  picture.height = frame.height;
  const bool imported = WebPPictureImportRGB(&picture, frame.rgb.data(), frame.width * 3) != 0;
  const bool added = imported && WebPAnimEncoderAdd(encoder_, &picture, TimestampMs(frames_), &config_) != 0;
  WebPPictureFree(&picture);
  if (!imported) return Fail(error, "make a picture");
  if (!added) return Fail(error, "encode a frame");
  ++frames_;
  return true;
}

bool WebpEncoder::Finish(std::string* error) {
  // The end of the last frame gives it its length.
  if (!WebPAnimEncoderAdd(encoder_, nullptr, TimestampMs(frames_), nullptr)) return Fail(error, "finish");
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAssemble(encoder_, &data)) return Fail(error, "assemble the file");
  const bool written = out_.Write(data.bytes, data.size);
  WebPDataClear(&data);
  return written || Fail(error, "write the file");
}

}  // namespace

std::unique_ptr<FrameEncoder> CreateWebpEncoder(OutputFile& out, const movie::MovieInfo& info, int quality,
                                                std::string* error) {
  auto encoder = std::make_unique<WebpEncoder>(out, info, quality);
  if (!encoder->Start(error)) return nullptr;
  return encoder;
}

}  // namespace convert
