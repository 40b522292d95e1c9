// The AVI/OpenDML movie writer: appends frame chunks, keeps the RIFF and movi sizes and
// the frame counters true after every frame, and closes a RIFF with its ix00 (and, in
// the first RIFF, idx1) before it would pass the size limit, continuing in RIFF 'AVIX'.
#include "avi_writer.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include "file_io.h"
#include "little_endian.h"

namespace avi2 {
namespace {

constexpr uint64_t kChunkHeaderBytes = 8;

uint64_t StandardIndexBytes(uint64_t frames) { return 32 + 8 * frames; }
uint64_t LegacyIndexBytes(uint64_t frames) { return 8 + 16 * frames; }

bool Fail(std::string* error, const std::string& what) {
  *error = what + ": " + strerror(errno);
  return false;
}

}  // namespace

AviWriter::AviWriter(int fd, const StreamFormat& format, const AviLimits& limits)
    : fd_(fd), format_(format), limits_(limits), layout_(limits.superIndexEntries) {
  moviList_ = layout_.moviList;
}

AviWriter::~AviWriter() { close(fd_); }

std::unique_ptr<AviWriter> AviWriter::Create(const std::string& path, const StreamFormat& format,
                                             const AviLimits& limits, std::string* error) {
  // O_NONBLOCK: a FIFO or device at the path must not block the open; it is refused.
  // O_NOFOLLOW: a link planted at the path would have the movie overwrite, or create,
  // a file elsewhere. The file is emptied only once it is known to be a regular file.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0 && errno == ENXIO) {
    *error = "the movie path is not a regular file";
    return nullptr;
  }
  if (fd < 0 && errno == ELOOP) {
    *error = "the movie path is a symbolic link, which is not followed";
    return nullptr;
  }
  if (fd < 0) {
    Fail(error, "cannot create the movie file");
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    *error = "the movie path is not a regular file";
    return nullptr;
  }
  std::unique_ptr<AviWriter> writer(new AviWriter(fd, format, limits));
  if (ftruncate(fd, 0) != 0) {
    Fail(error, "cannot empty the movie file");
    return nullptr;
  }
  if (!writer->AppendChunk(BuildHeaders(format, writer->layout_), {}, error)) {
    // Nothing of the movie could be written: no empty file is left under its name.
    unlink(path.c_str());
    return nullptr;
  }
  return writer;
}

bool AviWriter::AppendFrame(FramePieces& frame, std::string* error) {
  if (finished_) {
    *error = "the movie is already finished";
    return false;
  }
  const bool riffClosed = closedRiffs_ == riffCount_;
  if ((riffClosed || (!chunks_.empty() && !Fits())) && !StartNextRiff(error)) return false;
  const std::array<uint8_t, 8> header = ChunkHeader("00db", format_.frameBytes);
  const uint64_t position = fileEnd_;
  if (!AppendChunk(header, frame, format_.frameBytes, error)) return false;
  chunks_.push_back(position);
  ++totalFrames_;
  if (PatchCounts(error)) return true;
  // The headers could not be brought up to date: the frame is taken out again (from the
  // indexes to come and from the file), so that a frame reported as not added is not in
  // the movie. The counts of the frames before it are written back.
  chunks_.pop_back();
  --totalFrames_;
  // Uncut, the chunk lies past the end the headers describe, and the next write covers it.
  if (ftruncate(fd_, static_cast<off_t>(position)) != 0)
    *error += " (the frame's bytes remain past the movie's end)";
  fileEnd_ = position;
  std::string ignored;
  PatchCounts(&ignored);
  return false;
}

bool AviWriter::Finish(std::string* error) {
  if (finished_) {
    *error = "the movie is already finished";
    return false;
  }
  finished_ = true;
  if (closedRiffs_ == riffCount_) return true;
  if (chunks_.empty() && riffCount_ > 1) {
    // A failed append left an empty AVIX behind; the RIFF before it is complete.
    if (ftruncate(fd_, static_cast<off_t>(riffStart_)) != 0)
      return Fail(error, "cannot remove the empty RIFF");
    fileEnd_ = riffStart_;
    return true;
  }
  return CloseRiff(error);
}

bool AviWriter::AppendFrame(std::span<const uint8_t> frame, std::string* error) {
  WholeFrame whole(frame);
  return AppendFrame(whole, error);
}

// Whether one more frame, with the indexes that close the RIFF, stays within the limit.
bool AviWriter::Fits() const {
  const uint64_t frames = chunks_.size() + 1;
  uint64_t bytes = fileEnd_ - riffStart_ + kChunkHeaderBytes + format_.frameBytes +
                   StandardIndexBytes(frames);
  if (riffCount_ == 1) bytes += LegacyIndexBytes(frames);
  return bytes <= limits_.riffBytes;
}

bool AviWriter::AppendChunk(std::span<const uint8_t> head, std::span<const uint8_t> body,
                            std::string* error) {
  WholeFrame whole(body);
  return AppendChunk(head, whole, body.size(), error);
}

// Writes a chunk at the end of the file: its head with the body's first piece in one
// write, then each further piece as it comes. A failure cuts the file back to where the
// chunk began, so the file keeps the length its headers describe.
bool AviWriter::AppendChunk(std::span<const uint8_t> head, FramePieces& body, uint64_t bodyBytes,
                            std::string* error) {
  uint64_t at = fileEnd_, written = 0;
  bool writeFailed = false;
  bool complete = false;
  for (std::span<const uint8_t> piece; !complete;) {
    if (!body.Next(&piece, error)) break;
    if (written + piece.size() > bodyBytes) {
      *error = "the frame is larger than the movie's frames";
      break;
    }
    const std::span<const uint8_t> parts[] = {head, piece};
    if (!WriteAllAt(fd_, parts, at)) {
      writeFailed = true;
      break;
    }
    at += head.size() + piece.size();
    written += piece.size();
    head = {};
    complete = piece.empty();
  }
  if (complete && written == bodyBytes) {
    fileEnd_ = at;
    return true;
  }
  if (complete) *error = "the frame is smaller than the movie's frames";
  const int writeError = errno;
  const bool cut = ftruncate(fd_, static_cast<off_t>(fileEnd_)) == 0;
  if (writeFailed) {
    errno = writeError;
    return Fail(error, cut ? "cannot write the movie" : "cannot write the movie (a partial chunk remains)");
  }
  if (!cut) *error += " (a partial chunk remains)";
  return false;
}

bool AviWriter::Patch(uint64_t offset, uint32_t value, std::string* error) {
  return WriteAllAt(fd_, Le32(value), offset) || Fail(error, "cannot update the movie headers");
}

bool AviWriter::Rename(uint64_t offset, const char (&fourCc)[5], std::string* error) {
  ByteBuilder bytes;
  bytes.FourCc(fourCc);
  return WriteAllAt(fd_, bytes.Bytes(), offset) || Fail(error, "cannot update the movie headers");
}

// After a frame: the open RIFF and its movi list end at the end of the file, and the
// counters hold the new frame count (avih only counts the first RIFF's frames).
bool AviWriter::PatchCounts(std::string* error) {
  if (!Patch(riffStart_ + 4, static_cast<uint32_t>(fileEnd_ - riffStart_ - 8), error) ||
      !Patch(moviList_ + 4, static_cast<uint32_t>(fileEnd_ - moviList_ - 8), error))
    return false;
  if (riffCount_ == 1 && !Patch(HeaderLayout::kAvihTotalFrames, totalFrames_, error)) return false;
  return Patch(HeaderLayout::kStrhLength, totalFrames_, error) &&
         Patch(layout_.dmlhTotalFrames, totalFrames_, error);
}

// Appends ix00 (and idx1 in the first RIFF), then makes the sizes cover them, then
// announces them in the super index and avih. A failed append is cut off whole, so
// closing can be tried again.
bool AviWriter::CloseRiff(std::string* error) {
  const uint64_t start = fileEnd_;
  const std::vector<uint8_t> standardIndex = BuildStandardIndex();
  if (!AppendChunk(standardIndex, {}, error)) return false;
  const uint64_t moviEnd = fileEnd_;
  const bool first = riffCount_ == 1;
  if (first && !AppendChunk(BuildLegacyIndex(), {}, error)) {
    if (ftruncate(fd_, static_cast<off_t>(start)) == 0) fileEnd_ = start;
    return false;
  }
  if (!Patch(moviList_ + 4, static_cast<uint32_t>(moviEnd - moviList_ - 8), error) ||
      !Patch(riffStart_ + 4, static_cast<uint32_t>(fileEnd_ - riffStart_ - 8), error))
    return false;

  const uint32_t slot = riffCount_ - 1;
  ByteBuilder entry;
  entry.U64(start).U32(static_cast<uint32_t>(standardIndex.size()))
      .U32(static_cast<uint32_t>(chunks_.size()));
  if (!WriteAllAt(fd_, entry.Bytes(), HeaderLayout::kSuperIndexEntries + 16ull * slot))
    return Fail(error, "cannot update the movie headers");
  if (!Patch(HeaderLayout::kSuperIndexInUse, slot + 1, error)) return false;
  if (first && (!Rename(HeaderLayout::kSuperIndex, "indx", error) ||
                !Patch(HeaderLayout::kAvihFlags,
                       kAvifIsInterleaved | kAvifTrustCkType | kAvifHasIndex, error)))
    return false;
  closedRiffs_ = riffCount_;
  return true;
}

// ix00 of the open RIFF: data positions relative to its movi FOURCC, all key frames.
std::vector<uint8_t> AviWriter::BuildStandardIndex() const {
  const uint64_t base = moviList_ + 8;
  const uint64_t frames = chunks_.size();
  ByteBuilder index;
  index.FourCc("ix00").U32(static_cast<uint32_t>(StandardIndexBytes(frames) - 8))
      .U16(2).U8(0).U8(1)  // longs per entry, sub type, AVI_INDEX_OF_CHUNKS
      .U32(static_cast<uint32_t>(frames)).FourCc("00db").U64(base).U32(0);
  for (uint64_t chunk : chunks_)
    index.U32(static_cast<uint32_t>(chunk + kChunkHeaderBytes - base)).U32(format_.frameBytes);
  return index.Bytes();
}

// idx1 of the first RIFF: chunk header positions relative to the movi FOURCC.
std::vector<uint8_t> AviWriter::BuildLegacyIndex() const {
  const uint64_t base = moviList_ + 8;
  ByteBuilder index;
  index.FourCc("idx1").U32(static_cast<uint32_t>(LegacyIndexBytes(chunks_.size()) - 8));
  for (uint64_t chunk : chunks_)
    index.FourCc("00db").U32(kAviifKeyframe).U32(static_cast<uint32_t>(chunk - base))
        .U32(format_.frameBytes);
  return index.Bytes();
}

bool AviWriter::StartNextRiff(std::string* error) {
  if (riffCount_ >= limits_.superIndexEntries) {
    *error = "the movie has reached its size limit";
    return false;
  }
  if (closedRiffs_ < riffCount_ && !CloseRiff(error)) return false;
  // From the second RIFF on the file is an OpenDML file: the odml list goes live.
  if (!Rename(layout_.odml, "LIST", error)) return false;
  ByteBuilder header;
  header.FourCc("RIFF").U32(16).FourCc("AVIX").FourCc("LIST").U32(4).FourCc("movi");
  const uint64_t position = fileEnd_;
  if (!AppendChunk(header.Bytes(), {}, error)) return false;
  riffStart_ = position;
  moviList_ = position + 12;
  chunks_.clear();
  ++riffCount_;
  return true;
}

}  // namespace avi2
