// BMP file reader for the movie writer: validates the file and info headers against
// the file's real length, then converts the pixel rows to bottom-up 24-bit BGR.
#include "bmp_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "file_io.h"
#include "little_endian.h"

namespace avi2 {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kMaxInfoHeaderBytes = 124;  // BITMAPV5HEADER
constexpr size_t kMaskBytes = 12;            // red, green, blue masks after a 40-byte header
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// Where the pixels are and how to read them, checked against the file length.
struct BmpLayout {
  PixelRows rows;
  uint64_t pixelOffset;
};

bool HasStandardMasks(std::span<const uint8_t> head, size_t maskOffset) {
  return ReadLe(head, maskOffset, 4) == 0x00FF0000u &&
         ReadLe(head, maskOffset + 4, 4) == 0x0000FF00u &&
         ReadLe(head, maskOffset + 8, 4) == 0x000000FFu;
}

// head holds the first bytes of the file (as many as it has, up to the largest header).
std::optional<BmpLayout> ParseLayout(std::span<const uint8_t> head, uint64_t fileSize,
                                     std::string* error) {
  auto fail = [error](const char* reason) {
    *error = reason;
    return std::nullopt;
  };
  if (head.size() < kFileHeaderBytes + 4 || head[0] != 'B' || head[1] != 'M')
    return fail("not a BMP file");
  const size_t infoSize = ReadLe(head, 14, 4);
  if (infoSize < 40 || infoSize > kMaxInfoHeaderBytes) return fail("unsupported BMP header");
  if (head.size() < kFileHeaderBytes + infoSize) return fail("BMP header cut short");

  const auto width = static_cast<int32_t>(ReadLe(head, 18, 4));
  const auto signedHeight = static_cast<int32_t>(ReadLe(head, 22, 4));
  const uint32_t planes = ReadLe(head, 26, 2);
  const uint32_t bitCount = ReadLe(head, 28, 2);
  const uint32_t compression = ReadLe(head, 30, 4);
  const int64_t rows = std::abs(static_cast<int64_t>(signedHeight));
  if (width <= 0 || width > kMaxFrameSide || rows == 0 || rows > kMaxFrameSide)
    return fail("BMP size out of range");
  if (planes != 1 || (bitCount != 24 && bitCount != 32))
    return fail("BMP is not 24 or 32 bits per pixel");

  uint64_t headersEnd = kFileHeaderBytes + infoSize;
  if (compression == kBiBitfields && bitCount == 32) {
    // A 40-byte header keeps its masks after it; larger ones hold them inside.
    if (infoSize == 40) headersEnd += kMaskBytes;
    if (head.size() < headersEnd) return fail("BMP header cut short");
    if (!HasStandardMasks(head, kFileHeaderBytes + 40)) return fail("BMP has unusual masks");
  } else if (compression != kBiRgb) {
    return fail("unsupported BMP compression");
  }

  BmpLayout layout{};
  layout.rows.width = width;
  layout.rows.height = static_cast<int32_t>(rows);
  layout.rows.bottomUp = signedHeight > 0;
  layout.rows.bytesPerPixel = bitCount / 8;
  layout.rows.stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
  layout.pixelOffset = ReadLe(head, 10, 4);
  // Sides of at most 16384 keep stride * rows far from overflowing 64 bits.
  if (layout.pixelOffset < headersEnd) return fail("BMP pixels overlap its header");
  if (layout.pixelOffset > fileSize || fileSize - layout.pixelOffset < layout.rows.stride * rows)
    return fail("BMP file is shorter than its pixels");
  return layout;
}

}  // namespace

BmpReader::~BmpReader() { Close(); }

void BmpReader::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

// O_NONBLOCK keeps a FIFO at the path from blocking the open; fstat then refuses it.
bool BmpReader::Open(const std::string& path, std::string* error) {
  Close();
  Begin(PixelRows{});
  fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd_ < 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    Close();
    *error = "cannot open the BMP file";
    return false;
  }
  const auto fileSize = static_cast<uint64_t>(info.st_size);
  std::array<uint8_t, kFileHeaderBytes + kMaxInfoHeaderBytes> headBytes;
  const std::span<uint8_t> head(headBytes.data(), std::min<uint64_t>(fileSize, headBytes.size()));
  if (!ReadAllAt(fd_, head, 0)) {
    Close();
    *error = "cannot read the BMP file";
    return false;
  }
  std::optional<BmpLayout> layout = ParseLayout(head, fileSize, error);
  if (!layout) {
    Close();
    return false;
  }
  pixelOffset_ = layout->pixelOffset;
  stride_ = layout->rows.stride;
  Begin(layout->rows);
  return true;
}

const uint8_t* BmpReader::Fetch(int32_t first, int32_t count, std::string* error) {
  buffer_.resize(stride_ * static_cast<uint64_t>(count));
  if (fd_ < 0 || !ReadAllAt(fd_, buffer_, pixelOffset_ + stride_ * static_cast<uint64_t>(first))) {
    *error = "cannot read the BMP pixels";
    return nullptr;
  }
  return buffer_.data();
}

}  // namespace avi2
