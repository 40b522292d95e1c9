// Temporary output file beside the final one, renamed into place when complete.
#include "output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace convert {

OutputFile::OutputFile(const std::string& finalPath, std::string* error) : finalPath_(finalPath) {
  // Hidden, and with a random part, so that two conversions never share it.
  const size_t slash = finalPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
  std::vector<char> pattern;
  const std::string text = folder + "." + name + ".XXXXXX";
  pattern.assign(text.begin(), text.end());
  pattern.push_back('\0');
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = std::string("cannot create a file in its folder: ") + strerror(errno);
    return;
  }
  tempPath_ = pattern.data();
  // mkstemp makes the file private; the result gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !tempPath_.empty()) unlink(tempPath_.c_str());
}

bool OutputFile::Write(const void* data, size_t bytes) {
  if (!Ok()) return false;
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t done = write(fd_, at, bytes);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      writeError_ = std::string("cannot write: ") + strerror(done < 0 ? errno : ENOSPC);
      return false;
    }
    at += done;
    bytes -= static_cast<size_t>(done);
    position_ += static_cast<uint64_t>(done);
  }
  if (position_ > written_.load(std::memory_order_relaxed)) written_.store(position_, std::memory_order_relaxed);
  return true;
}

bool OutputFile::Seek(uint64_t position) {
  if (!Ok() || position > BytesWritten()) return false;
  if (lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) return false;
  position_ = position;
  return true;
}

int64_t OutputFile::ReadAt(void* data, size_t bytes, uint64_t position) const {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t done = pread(fd_, data, bytes, static_cast<off_t>(position));
    if (done < 0 && errno == EINTR) continue;
    return done;
  }
}

bool OutputFile::Commit(std::string* error) {
  if (!Ok()) {
    *error = writeError_.empty() ? "no output file" : writeError_;
    return false;
  }
  if (fsync(fd_) != 0 || close(fd_) != 0) {
    fd_ = -1;
    *error = std::string("cannot write: ") + strerror(errno);
    return false;
  }
  fd_ = -1;
  if (rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    *error = std::string("cannot put the file in place: ") + strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace convert
