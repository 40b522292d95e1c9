// A frame in the layout of the movie's stream (24-bit BGR rows, bottom row first, each
// padded to 4 bytes), handed to the writer a few rows at a time as they are converted
// from 24- or 32-bit source rows in either order: the rows go from their source to the
// movie file through a small buffer that stays in the cache, with no whole-frame copy.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace avi2 {

// Each side at most this many pixels, which keeps a frame below 1 GiB.
inline constexpr int32_t kMaxFrameSide = 16384;

// Bytes in one row of a 24-bit DIB of this width (rows are padded to 4 bytes).
uint64_t Dib24Stride(int32_t width);

// The bytes of one frame, in order, in pieces.
class FramePieces {
 public:
  virtual ~FramePieces() = default;
  // Sets *piece to the next bytes, or to nothing once all were given. False when they
  // cannot be had (*error says why).
  virtual bool Next(std::span<const uint8_t>* piece, std::string* error) = 0;
};

// Bytes already whole in memory, as one piece.
class WholeFrame final : public FramePieces {
 public:
  explicit WholeFrame(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Next(std::span<const uint8_t>* piece, std::string*) override {
    *piece = given_ ? std::span<const uint8_t>() : bytes_;
    given_ = true;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  bool given_ = false;
};

// Where source pixels are: B, G, R first in each pixel, rows stride bytes apart.
struct PixelRows {
  int32_t width;
  int32_t height;  // rows, always positive
  bool bottomUp;
  uint32_t bytesPerPixel;  // 3 or 4
  uint64_t stride;
};

// A frame converted from its source rows, a few rows per piece. The buffer is kept, so
// the frames of a movie are converted without allocating.
class FrameRows : public FramePieces {
 public:
  int32_t Width() const { return rows_.width; }
  int32_t Height() const { return rows_.height; }
  uint64_t FrameBytes() const { return Dib24Stride(rows_.width) * static_cast<uint64_t>(rows_.height); }
  bool Next(std::span<const uint8_t>* piece, std::string* error) override;

 protected:
  // Starts a frame from these source rows; the caller has checked their sizes.
  void Begin(const PixelRows& rows);
  // Source rows [first, first + count), numbered as stored, one after another stride
  // bytes apart; null when they cannot be had (*error says why).
  virtual const uint8_t* Fetch(int32_t first, int32_t count, std::string* error) = 0;
  // Called once the last rows were fetched, to let the source go.
  virtual void AllFetched() {}

 private:
  PixelRows rows_{};
  int32_t done_ = 0;  // stream rows given so far
  std::vector<uint8_t> out_;
};

}  // namespace avi2
