// Gathered writes of several buffers (file headers and pixel rows, chunk headers and
// frames), so that each file is written from the data where it lies, without a copy.
#include <errno.h>
#include <sys/uio.h>

#include <algorithm>

#include "win32ext.h"

namespace win32ext {
namespace {

ssize_t WriteVectors(int fd, const iovec* vectors, int count, std::optional<uint64_t> offset) {
  return offset ? pwritev(fd, vectors, count, static_cast<off_t>(*offset)) : writev(fd, vectors, count);
}

}  // namespace

bool WritePieces(int fd, std::span<const std::span<const uint8_t>> pieces, std::optional<uint64_t> offset) {
  constexpr size_t kMaxPieces = 1024;  // IOV_MAX on Linux
  iovec vectors[kMaxPieces];
  size_t next = 0, done = 0;  // the first piece not fully written, and its bytes written
  while (next < pieces.size()) {
    if (done == pieces[next].size()) {
      ++next;
      done = 0;
      continue;
    }
    int count = 0;
    for (size_t i = next; i < pieces.size() && count < int(kMaxPieces); ++i) {
      size_t skip = i == next ? done : 0;
      vectors[count++] = {const_cast<uint8_t*>(pieces[i].data()) + skip, pieces[i].size() - skip};
    }
    ssize_t put = WriteVectors(fd, vectors, count, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    if (offset) *offset += uint64_t(put);
    for (size_t left = size_t(put); left > 0;) {
      size_t take = std::min(left, pieces[next].size() - done);
      done += take;
      left -= take;
      if (done == pieces[next].size()) {
        ++next;
        done = 0;
      }
    }
  }
  return true;
}

}  // namespace win32ext
