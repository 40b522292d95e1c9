// Whole-buffer positional reads and writes for the movie writer and the BMP reader.
#include "file_io.h"

#include <errno.h>
#include <unistd.h>

#include "win32ext.h"

namespace avi2 {

bool WriteAllAt(int fd, std::span<const std::span<const uint8_t>> pieces, uint64_t offset) {
  return win32ext::WritePieces(fd, pieces, offset);
}

bool WriteAllAt(int fd, std::span<const uint8_t> data, uint64_t offset) {
  return WriteAllAt(fd, std::span(&data, 1), offset);
}

bool ReadAllAt(int fd, std::span<uint8_t> data, uint64_t offset) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = pread(fd, data.data() + done, data.size() - done,
                      static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace avi2
