// The library's entry points: BmpfileToAvifile runs one movie at a time through its
// modes (start, append, finish), reading each frame's BMP; MemoryToAvifile has no use
// in the program and refuses. A movie left unfinished is finished when the library is
// unloaded; a process that dies instead leaves a movie playable up to its last frame.
#include <stdio.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "AVI2.h"
#include "avi_writer.h"
#include "bmp_reader.h"
#include "progress_line.h"
#include "win32ext.h"

namespace avi2 {
namespace {

void Report(const std::string& what) { fprintf(stderr, "AVI2: %s\n", what.c_str()); }

struct Movie {
  Movie(std::unique_ptr<AviWriter> movieWriter, int32_t frameWidth, int32_t frameHeight)
      : writer(std::move(movieWriter)), width(frameWidth), height(frameHeight) {}
  std::unique_ptr<AviWriter> writer;
  int32_t width;
  int32_t height;
  ProgressLine progress;
};

class MovieSession {
 public:
  ~MovieSession() { Finish(); }

  int32_t Run(int32_t mode, const MovieWriterParams& params) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (mode) {
      case kMovieStart:
        return Start(params);
      case kMovieAppend:
        return Append(params.imageFile);
      case kMovieFinish: {
        const bool appended = Append(params.imageFile);
        return Finish() && appended;
      }
      default:
        Report("unknown mode " + std::to_string(mode));
        return 0;
    }
  }

 private:
  // A movie still open when a new one starts is finished first.
  bool Start(const MovieWriterParams& params) {
    Finish();
    std::optional<std::string> moviePath = win32ext::ToSystemPath(params.movieFile);
    if (!moviePath) return Fail("the movie file name is missing or not CP932 text");
    if (params.rate == 0 || params.scale == 0) return Fail("the frame rate is zero");
    std::optional<DibFrame> frame = ReadFrame(params.imageFile);
    if (!frame) return false;

    const StreamFormat format{frame->width, frame->height, params.rate, params.scale,
                              static_cast<uint32_t>(frame->bytes.size())};
    std::string error;
    std::unique_ptr<AviWriter> writer = AviWriter::Create(*moviePath, format, AviLimits{}, &error);
    if (!writer || !writer->AppendFrame(frame->bytes, &error)) {
      if (writer) remove(moviePath->c_str());
      return Fail(*moviePath + ": " + error);
    }
    movie_.emplace(std::move(writer), frame->width, frame->height);
    movie_->progress.Update(1, movie_->writer->FileBytes());
    return true;
  }

  // A frame that cannot be read or has another size is skipped; the movie stays valid.
  bool Append(const char* imageFile) {
    if (!movie_) return Fail("no movie has been started");
    std::optional<DibFrame> frame = ReadFrame(imageFile);
    if (!frame) return false;
    if (frame->width != movie_->width || frame->height != movie_->height) {
      return Fail(std::string(imageFile) + ": frame skipped, its size " +
                  std::to_string(frame->width) + "x" + std::to_string(frame->height) +
                  " differs from the movie's");
    }
    std::string error;
    if (!movie_->writer->AppendFrame(frame->bytes, &error))
      return Fail(std::string(imageFile) + ": frame skipped, " + error);
    movie_->progress.Update(movie_->writer->FramesWritten(), movie_->writer->FileBytes());
    return true;
  }

  bool Finish() {
    if (!movie_) return false;
    std::string error;
    const bool done = movie_->writer->Finish(&error);
    movie_->progress.Finish(movie_->writer->FramesWritten(), movie_->writer->FileBytes());
    if (!done) Report("the movie's index could not be written (it still plays): " + error);
    movie_.reset();
    return done;
  }

  std::optional<DibFrame> ReadFrame(const char* imageFile) {
    std::optional<std::string> path = win32ext::ToSystemPath(imageFile);
    if (!path) {
      Fail("the image file name is missing or not CP932 text");
      return std::nullopt;
    }
    std::string error;
    std::optional<DibFrame> frame = ReadBmpFile(*path, &error);
    if (!frame) Fail(*path + ": " + error + (movie_ ? ", frame skipped" : ""));
    return frame;
  }

  bool Fail(const std::string& what) {
    if (movie_) movie_->progress.Clear();
    Report(what);
    return false;
  }

  std::mutex mutex_;
  std::optional<Movie> movie_;
};

MovieSession session;

}  // namespace
}  // namespace avi2

extern "C" {

int32_t BmpfileToAvifile(int32_t mode, MovieWriterParams params) {
  return avi2::session.Run(mode, params);
}

int32_t MemoryToAvifile(int32_t, MovieWriterParams) {
  avi2::Report("MemoryToAvifile is not supported; nothing was written");
  return 0;
}

}  // extern "C"
