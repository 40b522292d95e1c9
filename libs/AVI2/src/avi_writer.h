// Writes an uncompressed 24-bit movie as AVI with the OpenDML extensions, one frame at
// a time. After every call the file on disk is a valid movie of all frames written so
// far: frame data goes to disk first, the sizes and counts that describe it after, and
// a failed write is cut off again. The indexes (idx1, ix00, indx) are written when a
// RIFF is closed; an unfinished movie plays through a reader's sequential scan.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "avi_headers.h"
#include "frame_rows.h"

namespace avi2 {

struct AviLimits {
  uint64_t riffBytes = 1ull << 30;     // a RIFF is closed before it grows past this
  uint32_t superIndexEntries = 256;    // RIFFs one movie can hold
};

class AviWriter {
 public:
  // Creates (or empties) the file at path and writes the headers. format.frameBytes
  // must be the 24-bit DIB size of width x height.
  static std::unique_ptr<AviWriter> Create(const std::string& path, const StreamFormat& format,
                                           const AviLimits& limits, std::string* error);
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // The frame's pieces come to format.frameBytes bytes; they are written as they come.
  bool AppendFrame(FramePieces& frame, std::string* error);
  bool AppendFrame(std::span<const uint8_t> frame, std::string* error);
  // Writes the indexes of the open RIFF. Nothing may be appended afterwards.
  bool Finish(std::string* error);

  uint32_t FramesWritten() const { return totalFrames_; }
  uint64_t FileBytes() const { return fileEnd_; }

 private:
  AviWriter(int fd, const StreamFormat& format, const AviLimits& limits);
  bool Fits() const;
  bool AppendChunk(std::span<const uint8_t> head, std::span<const uint8_t> body,
                   std::string* error);
  bool AppendChunk(std::span<const uint8_t> head, FramePieces& body, uint64_t bodyBytes,
                   std::string* error);
  bool Patch(uint64_t offset, uint32_t value, std::string* error);
  bool Rename(uint64_t offset, const char (&fourCc)[5], std::string* error);
  bool PatchCounts(std::string* error);
  bool CloseRiff(std::string* error);
  std::vector<uint8_t> BuildStandardIndex() const;
  std::vector<uint8_t> BuildLegacyIndex() const;
  bool StartNextRiff(std::string* error);

  int fd_;
  StreamFormat format_;
  AviLimits limits_;
  HeaderLayout layout_;
  uint64_t fileEnd_ = 0;
  uint64_t riffStart_ = 0;  // 'RIFF' of the open RIFF
  uint64_t moviList_ = 0;   // 'LIST' of its movi list
  uint32_t riffCount_ = 1;
  uint32_t closedRiffs_ = 0;  // RIFFs whose indexes are written
  std::vector<uint64_t> chunks_;  // positions of the open RIFF's frame chunks
  uint32_t totalFrames_ = 0;
  bool finished_ = false;
};

}  // namespace avi2
