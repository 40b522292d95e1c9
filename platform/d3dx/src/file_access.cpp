// Whole-file reads and atomic writes.
#include "file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "d3dx9tex.h"
#include "win32ext.h"

namespace d3dximpl {
namespace {

bool ReadAll(int fd, uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(fd, data + done, size - done);
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

}  // namespace

HRESULT ReadWholeFile(const char* path, FileBytes& bytes, uint64_t limit) {
  if (!path) return D3DERR_INVALIDCALL;
  std::optional<std::string> systemPath = win32ext::ToSystemPath(path);
  if (!systemPath) return D3DX_FILE_NOT_FOUND;
  int fd = open(systemPath->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return D3DX_FILE_NOT_FOUND;
  struct stat info {};
  HRESULT result = D3D_OK;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = D3DX_FILE_NOT_FOUND;
  } else if (uint64_t(info.st_size) > limit) {
    result = D3DXERR_INVALIDDATA;
  } else {
    bytes.resize(size_t(info.st_size));
    if (!ReadAll(fd, bytes.data(), bytes.size())) result = D3DXERR_INVALIDDATA;
  }
  close(fd);
  return result;
}

HRESULT WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes) {
  const std::span<const uint8_t> whole(bytes);
  return WriteWholeFile(path, std::span(&whole, 1));
}

HRESULT WriteWholeFile(const char* path, std::span<const std::span<const uint8_t>> pieces) {
  std::optional<std::string> systemPath = win32ext::ToSystemPath(path);
  if (!systemPath || systemPath->empty()) return D3DERR_INVALIDCALL;
  thread_local std::string temporary;  // kept: frame after frame, no allocation
  temporary.assign(*systemPath).append(".partial-XXXXXX");
  int fd = mkstemp(temporary.data());
  if (fd < 0) return E_FAIL;
  bool written = win32ext::WritePieces(fd, pieces);
  mode_t mask = umask(0);  // mkstemp makes the file private; give it the usual mode
  umask(mask);
  written = (fchmod(fd, 0666 & ~mask) == 0) && written;
  written = (close(fd) == 0) && written;
  if (!written || std::rename(temporary.c_str(), systemPath->c_str()) != 0) {
    unlink(temporary.c_str());
    return E_FAIL;
  }
  return D3D_OK;
}

}  // namespace d3dximpl
