// Reading small user-editable files (settings, registry) whole, with the size checked
// before any allocation: such files are untrusted, and a huge one is refused at once.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "win32ext.h"

namespace win32ext {

SmallFileResult ReadSmallFile(const std::string& path, size_t maxBytes, std::string& contents) {
  contents.clear();
  // O_NONBLOCK: a FIFO put in the file's place must not hang the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? SmallFileResult::Missing : SmallFileResult::Failed;
  struct stat info;
  SmallFileResult result = SmallFileResult::Read;
  if (fstat(fd, &info) != 0) {
    result = SmallFileResult::Failed;
  } else if (!S_ISREG(info.st_mode)) {
    result = SmallFileResult::NotRegular;
  } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    result = SmallFileResult::TooLarge;
  } else {
    // Read one byte more than fstat gave, to notice a file that grew since.
    std::string buffer(static_cast<size_t>(info.st_size) + 1, '\0');
    size_t used = 0;
    while (used < buffer.size()) {
      ssize_t got = read(fd, buffer.data() + used, buffer.size() - used);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) result = SmallFileResult::Failed;
      if (got <= 0) break;
      used += static_cast<size_t>(got);
    }
    // A file that grew while it was read is not taken half.
    if (used > static_cast<size_t>(info.st_size)) result = SmallFileResult::Failed;
    if (result == SmallFileResult::Read) {
      buffer.resize(used);
      contents = std::move(buffer);
    }
  }
  close(fd);
  return result;
}

}  // namespace win32ext
