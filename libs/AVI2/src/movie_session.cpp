// The library's entry points: each runs one movie at a time through its modes (start,
// append, finish), BmpfileToAvifile reading each frame from a BMP file, MemoryToAvifile
// taking it from memory. A movie left unfinished is finished when the library is
// unloaded; a process that dies instead leaves a movie playable up to its last frame.
#include <errno.h>
#include <stdio.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "AVI2.h"
#include "avi_writer.h"
#include "bmp_reader.h"
#include "memory_frame.h"
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

// What a session reads its frames with, kept from frame to frame.
struct FrameInput {
  BmpReader bmp;
  MemoryRows memory;
};

// Where a session's frames come from: the record's frame opened as rows of the stream's
// layout (null on failure, which *error explains, naming the frame), and the frame's
// name in later messages.
struct FrameSource {
  FrameRows* (*open)(const MovieWriterParams& params, FrameInput& input, std::string* error);
  std::string (*name)(const MovieWriterParams& params);
};

class MovieSession {
 public:
  explicit MovieSession(FrameSource source) : source_(source) {}
  ~MovieSession() { Finish(); }

  int32_t Run(int32_t mode, const MovieWriterParams& params) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (mode) {
      case kMovieStart:
        return Start(params);
      case kMovieAppend:
        return Append(params);
      case kMovieFinish: {
        // Without a frame (a null imageFile) mode 2 only finishes the movie.
        if (params.imageFile == nullptr) return Finish();
        const bool appended = Append(params);
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
    FrameRows* frame = OpenFrame(params);
    if (!frame) return false;
    const StreamFormat format{frame->Width(), frame->Height(), params.rate, params.scale,
                              static_cast<uint32_t>(frame->FrameBytes())};
    std::string error;
    std::unique_ptr<AviWriter> writer = AviWriter::Create(*moviePath, format, AviLimits{}, &error);
    if (!writer || !writer->AppendFrame(*frame, &error)) {
      if (writer) remove(moviePath->c_str());
      return Fail(*moviePath + ": " + error);
    }
    movie_.emplace(std::move(writer), frame->Width(), frame->Height());
    movie_->progress.Update(1, movie_->writer->FileBytes());
    return true;
  }

  // A frame that cannot be read or has another size is skipped; the movie stays valid.
  bool Append(const MovieWriterParams& params) {
    if (!movie_) return Fail("no movie has been started");
    FrameRows* frame = OpenFrame(params);
    if (!frame) return false;
    if (frame->Width() != movie_->width || frame->Height() != movie_->height) {
      return Fail(source_.name(params) + ": frame skipped, its size " +
                  std::to_string(frame->Width()) + "x" + std::to_string(frame->Height()) +
                  " differs from the movie's");
    }
    std::string error;
    if (!movie_->writer->AppendFrame(*frame, &error))
      return Fail(source_.name(params) + ": frame skipped, " + error);
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

  FrameRows* OpenFrame(const MovieWriterParams& params) {
    std::string error;
    FrameRows* frame = source_.open(params, input_, &error);
    if (!frame) Fail(error + (movie_ ? ", frame skipped" : ""));
    return frame;
  }

  // errno stays what the failed system call set, for a caller that reports the reason.
  bool Fail(const std::string& what) {
    const int error = errno;
    if (movie_) movie_->progress.Clear();
    Report(what);
    errno = error;
    return false;
  }

  FrameSource source_;
  std::mutex mutex_;
  std::optional<Movie> movie_;
  FrameInput input_;
};

FrameRows* OpenBmpFrame(const MovieWriterParams& params, FrameInput& input, std::string* error) {
  std::optional<std::string> path = win32ext::ToSystemPath(params.imageFile);
  if (!path) {
    *error = "the image file name is missing or not CP932 text";
    return nullptr;
  }
  if (input.bmp.Open(*path, error)) return &input.bmp;
  *error = *path + ": " + *error;
  return nullptr;
}

std::string BmpFrameName(const MovieWriterParams& params) { return params.imageFile; }

FrameRows* OpenFrameInMemory(const MovieWriterParams& params, FrameInput& input, std::string* error) {
  const MemoryFrame frame{reinterpret_cast<const uint8_t*>(params.imageFile), params.frameWidth,
                          params.frameHeight, params.frameStride};
  if (input.memory.Open(frame, error)) return &input.memory;
  *error = "the frame in memory: " + *error;
  return nullptr;
}

std::string MemoryFrameName(const MovieWriterParams&) { return "the frame in memory"; }

MovieSession bmpSession({OpenBmpFrame, BmpFrameName});
MovieSession memorySession({OpenFrameInMemory, MemoryFrameName});

}  // namespace
}  // namespace avi2

extern "C" {

int32_t BmpfileToAvifile(int32_t mode, MovieWriterParams params) {
  return avi2::bmpSession.Run(mode, params);
}

int32_t MemoryToAvifile(int32_t mode, MovieWriterParams params) {
  return avi2::memorySession.Run(mode, params);
}

}  // extern "C"
