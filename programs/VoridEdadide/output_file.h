// The converter's output: written to a temporary file in the output's folder and
// renamed to its final name only once it is complete, so that an interrupted or failed
// conversion never leaves a half file under that name. A failed write (a full disk)
// is remembered and reported by Commit. Containers that fill in their headers at the
// end (MP4, WebM, APNG) seek back and read what they wrote.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace convert {

class OutputFile {
 public:
  // Null-like (Ok() false, *error set) when the folder does not take a new file.
  OutputFile(const std::string& finalPath, std::string* error);
  ~OutputFile();  // removes the temporary file unless it was committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return fd_ >= 0 && writeError_.empty(); }
  // Writes bytes at the current position (the end, unless Seek moved it); false (and
  // every later call false) once a write has failed.
  bool Write(const void* data, size_t bytes);
  // Moves the position to write at; false (nothing changes) beyond the end.
  bool Seek(uint64_t position);
  // Reads back up to `bytes` from `position`: the count read, 0 at the end, -1 on error.
  int64_t ReadAt(void* data, size_t bytes, uint64_t position) const;
  // The file's size so far; may be asked from another thread than the one that writes.
  uint64_t BytesWritten() const { return written_.load(std::memory_order_relaxed); }
  const std::string& WriteError() const { return writeError_; }
  // Flushes the data to disk and renames the file into place.
  bool Commit(std::string* error);

 private:
  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
  std::atomic<uint64_t> written_{0};
  uint64_t position_ = 0;
  std::string writeError_;
  bool committed_ = false;
};

}  // namespace convert
