// The save loop and the temporary file it writes through.
#include "movie_saver.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>

#include "stop_signals.h"
#include "win32ext.h"

namespace editor {
namespace {

bool Fail(std::string* error, const std::string& what) {
  *error = what;
  return false;
}

// The writer's record for one frame: top-down BGR rows, as the library takes them.
class FrameHandover {
 public:
  FrameHandover(const std::string& cp932Movie, FrameRate rate) : movie_(cp932Movie) {
    params_ = MovieWriterParams{};
    params_.movieFile = movie_.c_str();
    params_.rate = static_cast<uint32_t>(rate.num);
    params_.scale = static_cast<uint32_t>(rate.den);
  }

  bool Hand(MemoryToAvifileFunction write, int32_t mode, const movie::Frame& frame) {
    bgr_.resize(frame.rgb.size());
    for (size_t i = 0; i + 2 < frame.rgb.size(); i += 3) {
      bgr_[i] = frame.rgb[i + 2];
      bgr_[i + 1] = frame.rgb[i + 1];
      bgr_[i + 2] = frame.rgb[i];
    }
    params_.imageFile = reinterpret_cast<const char*>(bgr_.data());
    params_.frameWidth = static_cast<uint32_t>(frame.width);
    params_.frameHeight = static_cast<uint32_t>(frame.height);
    params_.frameStride = static_cast<uint32_t>(frame.width) * 3;
    return write(mode, params_) != 0;
  }

  bool Finish(MemoryToAvifileFunction write) {
    params_.imageFile = nullptr;
    return write(kMovieFinish, params_) != 0;
  }

 private:
  std::string movie_;
  MovieWriterParams params_;
  std::vector<uint8_t> bgr_;
};

// A new file gets the permissions the user's umask gives; a replaced one keeps its own.
mode_t TargetMode(const std::string& target) {
  struct stat info;
  if (stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The temporary file, open from its creation to its rename, so that its mode is set
// on the file itself and a file put in its place meanwhile is noticed; removed unless
// the save went through (and, through the stop signals, when the editor is stopped).
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& folder)
      : path_((folder / ".RizudAvuv-XXXXXX").string()) {
    fd_ = mkostemp(path_.data(), O_CLOEXEC);
    if (fd_ < 0) path_.clear();
    else SetStopCleanup(path_.c_str());
  }
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!kept_ && !path_.empty()) unlink(path_.c_str());
    SetStopCleanup(nullptr);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Made() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Gives the file the mode and renames it over target, once the name is known to still
  // lead to this very file (the writer opened it by name, never through a link).
  bool PutInPlace(const std::string& target, mode_t mode, std::string* error) {
    struct stat opened, named;
    if (fstat(fd_, &opened) != 0 || lstat(path_.c_str(), &named) != 0 || !S_ISREG(named.st_mode) ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
      return Fail(error, "the temporary file " + path_ + " was replaced while the movie was written");
    if (fchmod(fd_, mode) != 0 || rename(path_.c_str(), target.c_str()) != 0)
      return Fail(error, std::string("cannot put the movie in place: ") + strerror(errno));
    kept_ = true;
    return true;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool kept_ = false;
};

bool WriteFrames(FrameCache& source, const EditModel& edit, const std::string& cp932Movie,
                 const WriterLibrary& writer, const SaveProgress& progress, std::string* error) {
  FrameHandover handover(cp932Movie, edit.Rate());
  movie::Frame frame;
  const int64_t total = edit.Count();
  for (int64_t position = 0; position < total; ++position) {
    const int64_t index = edit.Frames()[static_cast<size_t>(position)];
    std::string reason;
    if (!source.ReadUncached(index, &frame, &reason)) {
      if (position > 0) handover.Finish(writer.memoryToAvifile());
      return Fail(error, "frame " + std::to_string(index + 1) + " of the movie cannot be read: " +
                             reason);
    }
    errno = 0;
    if (!handover.Hand(writer.memoryToAvifile(), position == 0 ? kMovieStart : kMovieAppend,
                       frame)) {
      // The writer leaves the failed system call's reason (a full disk) in errno.
      const int reason = errno;
      if (position > 0) handover.Finish(writer.memoryToAvifile());
      return Fail(error, "the movie writer refused frame " + std::to_string(position + 1) +
                             (reason != 0 ? std::string(": ") + strerror(reason) : std::string()));
    }
    if (progress) progress(position + 1, total);
  }
  return handover.Finish(writer.memoryToAvifile()) ||
         Fail(error, "the movie writer could not finish the movie");
}

}  // namespace

bool SaveMovie(FrameCache& source, const EditModel& edit, const std::string& target,
               const WriterLibrary& writer, const SaveProgress& progress, std::string* error) {
  // Saving over a link replaces the file it leads to, not the link.
  std::error_code ignored;
  const std::filesystem::path resolved =
      std::filesystem::is_symlink(target, ignored) ? std::filesystem::canonical(target, ignored)
                                                   : std::filesystem::path(target);
  if (resolved.empty()) return Fail(error, "the link leads nowhere");
  const std::filesystem::path folder =
      resolved.has_parent_path() ? resolved.parent_path() : std::filesystem::path(".");

  TemporaryFile temporary(folder);
  if (!temporary.Made())
    return Fail(error, "cannot create a file in " + folder.string() + ": " + strerror(errno));
  const std::string cp932 = win32ext::Utf8ToCp932(temporary.Path());
  if (!WriteFrames(source, edit, cp932, writer, progress, error)) return false;
  return temporary.PutInPlace(resolved.string(), TargetMode(resolved.string()), error);
}

std::string EditedCopyName(const std::string& moviePath) {
  const std::filesystem::path movie(moviePath);
  const std::string stem = (movie.parent_path() / movie.stem()).string();
  const std::string extension = movie.extension().empty() ? ".avi" : movie.extension().string();
  std::error_code ignored;
  for (int copy = 1;; ++copy) {
    const std::string name = stem + "-edited" + (copy > 1 ? "-" + std::to_string(copy) : "") + extension;
    if (!std::filesystem::exists(std::filesystem::symlink_status(name, ignored))) return name;
  }
}

}  // namespace editor
