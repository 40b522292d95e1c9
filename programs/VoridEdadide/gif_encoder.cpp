// GIF: a looping animation, one frame per movie frame. A pixel is redrawn only when it
// changed since the frame before and what the viewer shows there is off by more than a
// tolerance that the quality sets; each frame stores the rectangle around the redrawn
// pixels, with its own palette chosen by libimagequant for them and lightly dithered,
// and leaves the other pixels transparent so that the frames below show through.
// Each frame depends on what the frames before it left on screen, so the palettes are
// chosen one after the other; the LZW compression and writing of a frame runs on a
// second thread while the next frame is quantised.
#include <gif_lib.h>
#include <libimagequant.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "frame_encoder.h"

namespace convert {
namespace {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};

template <typename T, void (*Destroy)(T*)>
struct LiqPtr {
  T* p = nullptr;
  ~LiqPtr() {
    if (p) Destroy(p);
  }
};

// A quantised frame, ready for the file.
struct PendingFrame {
  Rect rect;
  std::vector<uint8_t> indices;  // rect.width * rect.height palette indices
  std::vector<GifColorType> colors;
  int transparent = NO_TRANSPARENT_COLOR;
  int delay = 0;  // hundredths of a second
};

// Hands frames from the quantising thread to the thread that writes them, one at a time:
// Put waits while the frame before is still waiting to be taken.
class FrameQueue {
 public:
  // False once the writer has stopped (after a failure).
  bool Put(PendingFrame frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !frame_ || stopped_; });
    if (stopped_) return false;
    frame_ = std::move(frame);
    changed_.notify_all();
    return true;
  }
  // The next frame, or null once Close was called and every frame was taken.
  std::optional<PendingFrame> Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return frame_ || closed_; });
    std::optional<PendingFrame> frame = std::move(frame_);
    frame_.reset();
    changed_.notify_all();
    return frame;
  }
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  // The writer gives up: Put refuses from now on.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<PendingFrame> frame_;
  bool closed_ = false;
  bool stopped_ = false;
};

class GifEncoder : public FrameEncoder {
 public:
  // Quality 100 redraws every changed pixel; each step below lets the shown pixel be
  // half a level further off (90: 5 of 255 in each colour).
  GifEncoder(OutputFile& out, const movie::MovieInfo& info, int quality)
      : out_(out), info_(info), tolerance_((100 - quality) / 2) {}
  ~GifEncoder() override { Close(nullptr); }
  bool Start(std::string* error);
  bool Add(const movie::Frame& frame, std::string* error) override;
  bool Finish(std::string* error) override { return Close(error); }

 private:
  static int WriteBytes(GifFileType* gif, const GifByteType* data, int bytes);
  Rect MarkRedrawn(const movie::Frame& frame);
  int DelayCentiseconds() const;
  bool Fail(std::string* error, const char* what) const;
  bool Close(std::string* error);
  bool Quantise(const movie::Frame& frame, PendingFrame* pending, std::string* error);
  void WriteFrames();
  bool PutFrame(const PendingFrame& frame, std::string* error);

  OutputFile& out_;
  movie::MovieInfo info_;
  int tolerance_;
  GifFileType* gif_ = nullptr;
  std::vector<uint8_t> previous_;  // the last source frame
  std::vector<uint8_t> shown_;     // what a viewer shows after the frames so far (RGB)
  std::vector<uint8_t> redraw_;    // per pixel of the frame being added: 1 to redraw
  int64_t frames_ = 0;
  FrameQueue queue_;
  std::thread writer_;
  std::string writeError_;  // the writer's failure; read once it has ended
};

int GifEncoder::WriteBytes(GifFileType* gif, const GifByteType* data, int bytes) {
  auto* out = static_cast<OutputFile*>(gif->UserData);
  return out->Write(data, static_cast<size_t>(bytes)) ? bytes : 0;
}

bool GifEncoder::Fail(std::string* error, const char* what) const {
  if (!out_.WriteError().empty())
    *error = out_.WriteError();
  else
    *error = std::string("GIF: cannot ") + what;
  return false;
}

bool GifEncoder::Start(std::string* error) {
  int code = 0;
  gif_ = EGifOpen(&out_, WriteBytes, &code);
  if (!gif_) return Fail(error, "start the file");
  EGifSetGifVersion(gif_, true);
  if (EGifPutScreenDesc(gif_, info_.width, info_.height, 8, 0, nullptr) == GIF_ERROR)
    return Fail(error, "write the screen descriptor");
  // The NETSCAPE2.0 block: loop for ever.
  static const GifByteType kLoop[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, 3, kLoop) == GIF_ERROR || EGifPutExtensionTrailer(gif_) == GIF_ERROR)
    return Fail(error, "write the loop block");
  // libimagequant's own threads would wait for each other at every step (and, on a busy
  // machine, for the processor); this thread quantises alone, beside the writer.
  omp_set_num_threads(1);
  writer_ = std::thread(&GifEncoder::WriteFrames, this);
  return true;
}

// The writer thread: every frame, in order, until the queue is closed or a write fails.
void GifEncoder::WriteFrames() {
  while (auto frame = queue_.Take()) {
    if (!PutFrame(*frame, &writeError_)) {
      queue_.Stop();
      return;
    }
  }
}

bool GifEncoder::Close(std::string* error) {
  if (writer_.joinable()) {
    queue_.Close();
    writer_.join();
  }
  if (!gif_) return true;
  int code = 0;
  const int result = EGifCloseFile(gif_, &code);
  gif_ = nullptr;
  if (!error) return true;
  if (!writeError_.empty()) {
    *error = writeError_;
    return false;
  }
  if (result == GIF_ERROR) return Fail(error, "finish the file");
  return true;
}

// Marks the pixels to redraw and returns the smallest rectangle around them. A frame
// with none still gets a (1x1, transparent) frame so that the count and the timing stay
// those of the movie.
Rect GifEncoder::MarkRedrawn(const movie::Frame& frame) {
  redraw_.assign(static_cast<size_t>(info_.width) * info_.height, 1);
  if (previous_.empty()) return {0, 0, info_.width, info_.height};
  int left = info_.width, right = -1, top = info_.height, bottom = -1;
  for (int y = 0; y < info_.height; ++y) {
    for (int x = 0; x < info_.width; ++x) {
      const size_t i = static_cast<size_t>(y) * info_.width + x;
      const uint8_t* now = &frame.rgb[i * 3];
      const uint8_t* shown = &shown_[i * 3];
      const bool changed = std::memcmp(now, &previous_[i * 3], 3) != 0;
      const bool close = std::abs(now[0] - shown[0]) <= tolerance_ && std::abs(now[1] - shown[1]) <= tolerance_ &&
                         std::abs(now[2] - shown[2]) <= tolerance_;
      redraw_[i] = changed && !close;
      if (!redraw_[i]) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = y;
    }
  }
  if (bottom < 0) return {0, 0, 1, 1};
  return {left, top, right - left + 1, bottom - top + 1};
}

// Delays are whole hundredths; rounding the running total keeps the length exact.
int GifEncoder::DelayCentiseconds() const {
  auto at = [this](int64_t frame) {
    return std::llround(static_cast<double>(frame) * 100.0 * info_.rateDen / info_.rateNum);
  };
  // Viewers stretch delays under 2 to 10 hundredths; 2 is the shortest kept as it is.
  return static_cast<int>(std::clamp<long long>(at(frames_ + 1) - at(frames_), 2, 65535));
}

bool GifEncoder::PutFrame(const PendingFrame& frame, std::string* error) {
  const Rect& rect = frame.rect;
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = frame.delay;
  control.TransparentColor = frame.transparent;
  GifByteType extension[4];
  const size_t extensionBytes = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionBytes), extension) ==
      GIF_ERROR)
    return Fail(error, "write a frame's timing");
  int mapSize = 2;
  while (mapSize < static_cast<int>(frame.colors.size())) mapSize *= 2;
  GifColorType colors[256] = {};
  std::copy(frame.colors.begin(), frame.colors.end(), colors);
  ColorMapObject* map = GifMakeMapObject(mapSize, colors);
  if (!map) return Fail(error, "make a palette");
  const int described = EGifPutImageDesc(gif_, rect.left, rect.top, rect.width, rect.height, false, map);
  GifFreeMapObject(map);
  if (described == GIF_ERROR) return Fail(error, "write a frame");
  for (int y = 0; y < rect.height; ++y) {
    auto* row = const_cast<GifPixelType*>(&frame.indices[static_cast<size_t>(y) * rect.width]);
    if (EGifPutLine(gif_, row, rect.width) == GIF_ERROR) return Fail(error, "write a frame");
  }
  return true;
}

bool GifEncoder::Add(const movie::Frame& frame, std::string* error) {
  PendingFrame pending;
  if (!Quantise(frame, &pending, error)) return false;
  if (!queue_.Put(std::move(pending))) {
    // The writer has ended on a failure; it is the one to report.
    Close(error);
    return false;
  }
  ++frames_;
  return true;
}

// Chooses the frame's rectangle, palette and indices, and updates what the viewer shows.
// Runs beside the writer, so it reports its own failures without asking the file.
bool GifEncoder::Quantise(const movie::Frame& frame, PendingFrame* pending, std::string* error) {
  auto refuse = [error](const char* what) {
    *error = std::string("GIF: cannot ") + what;
    return false;
  };
  const Rect rect = MarkRedrawn(frame);
  const bool first = previous_.empty();
  const size_t pixels = static_cast<size_t>(rect.width) * rect.height;
  // The rectangle as RGBA; a pixel that is not redrawn is given as the viewer shows it,
  // so that it matches the background exactly and becomes transparent. It does not
  // count for the palette.
  std::vector<uint8_t> source(pixels * 4), background(first ? 0 : pixels * 4);
  std::vector<unsigned char> importance(pixels);
  for (int y = 0; y < rect.height; ++y) {
    for (int x = 0; x < rect.width; ++x) {
      const size_t at = (static_cast<size_t>(rect.top + y) * info_.width + rect.left + x) * 3;
      const size_t i = static_cast<size_t>(y) * rect.width + x;
      const bool changed = redraw_[at / 3] != 0;
      const uint8_t* pixel = changed ? &frame.rgb[at] : &shown_[at];
      std::memcpy(&source[i * 4], pixel, 3);
      source[i * 4 + 3] = 255;
      importance[i] = changed ? 255 : 0;
      if (!first) {
        std::memcpy(&background[i * 4], &shown_[at], 3);
        background[i * 4 + 3] = 255;
      }
    }
  }
  LiqPtr<liq_attr, liq_attr_destroy> attr{liq_attr_create()};
  if (!attr.p) return refuse("start the quantiser");
  // Speed 7 keeps nearly all of the palette quality of the slow settings at half the time.
  // 224 colours: the last few of 256 add little to the picture and much to the LZW data.
  liq_set_speed(attr.p, 7);
  liq_set_max_colors(attr.p, 224);
  LiqPtr<liq_image, liq_image_destroy> image{
      liq_image_create_rgba(attr.p, source.data(), rect.width, rect.height, 0)};
  if (!image.p) return refuse("start the quantiser");
  liq_image_set_importance_map(image.p, importance.data(), importance.size(), LIQ_COPY_PIXELS);
  if (!first) {
    // The image takes the background over and frees it with itself.
    liq_image* under = liq_image_create_rgba(attr.p, background.data(), rect.width, rect.height, 0);
    if (!under || liq_image_set_background(image.p, under) != LIQ_OK) {
      if (under) liq_image_destroy(under);
      return refuse("start the quantiser");
    }
    liq_image_add_fixed_color(image.p, liq_color{0, 0, 0, 0});
  }
  LiqPtr<liq_result, liq_result_destroy> result;
  if (liq_image_quantize(image.p, attr.p, &result.p) != LIQ_OK) return refuse("choose the colours");
  // Light dithering: full dithering measures barely closer to the source, and its noise
  // makes both the LZW data and the changed areas larger; a tenth of it still breaks up
  // the bands of a smooth gradient.
  liq_set_dithering_level(result.p, 0.1f);
  std::vector<uint8_t> indices(pixels);
  if (liq_write_remapped_image(result.p, image.p, indices.data(), indices.size()) != LIQ_OK)
    return refuse("map the colours");
  const liq_palette& palette = *liq_get_palette(result.p);
  int transparent = NO_TRANSPARENT_COLOR;
  for (unsigned i = 0; i < palette.count && !first; ++i)
    if (palette.entries[i].a == 0) transparent = static_cast<int>(i);

  if (first) shown_.assign(frame.rgb.size(), 0);
  for (int y = 0; y < rect.height; ++y) {
    for (int x = 0; x < rect.width; ++x) {
      const uint8_t index = indices[static_cast<size_t>(y) * rect.width + x];
      if (index == transparent) continue;
      uint8_t* shown = &shown_[(static_cast<size_t>(rect.top + y) * info_.width + rect.left + x) * 3];
      shown[0] = palette.entries[index].r;
      shown[1] = palette.entries[index].g;
      shown[2] = palette.entries[index].b;
    }
  }
  previous_ = frame.rgb;
  pending->rect = rect;
  pending->indices = std::move(indices);
  for (unsigned i = 0; i < palette.count; ++i)
    pending->colors.push_back({palette.entries[i].r, palette.entries[i].g, palette.entries[i].b});
  pending->transparent = transparent;
  pending->delay = DelayCentiseconds();
  return true;
}

}  // namespace

std::unique_ptr<FrameEncoder> CreateGifEncoder(OutputFile& out, const movie::MovieInfo& info,
                                               int quality, std::string* error) {
  auto encoder = std::make_unique<GifEncoder>(out, info, quality);
  if (!encoder->Start(error)) return nullptr;
  return encoder;
}

}  // namespace convert
