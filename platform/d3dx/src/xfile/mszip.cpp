// MSZIP decoding with zlib's raw inflate. The declared size is checked for plausibility
// (deflate expands at most 1032:1) and against a hard cap before any allocation; every
// block must inflate to exactly its stated size and the sizes must add up.
#include "xfile/mszip.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "xfile/x_header.h"
#include "xfile/x_tokenizer.h"

namespace d3dxfile {
namespace {

constexpr size_t kMaxBlockOutput = 32768;
// The history kept across blocks: deflate's whole window, which for full blocks is the
// previous block's output.
constexpr size_t kHistorySize = 32768;
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr size_t kBlockHeaderSize = 4;  // WORD uncompressed size, WORD compressed size

uint32_t LittleEndian(std::span<const uint8_t> bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value |= uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

class RawInflater {
 public:
  RawInflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~RawInflater() { inflateEnd(&stream_); }
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  // Inflates one complete deflate stream that must produce exactly out.size() bytes.
  void Inflate(std::span<const uint8_t> in, std::span<const uint8_t> dictionary,
               std::span<uint8_t> out) {
    // One spare byte so that a block longer than stated is noticed.
    uint8_t scratch[kMaxBlockOutput + 1];
    if (inflateReset(&stream_) != Z_OK) FailInvalidData();
    if (!dictionary.empty() &&
        inflateSetDictionary(&stream_, dictionary.data(), static_cast<uInt>(dictionary.size())) !=
            Z_OK) {
      FailInvalidData();
    }
    stream_.next_in = const_cast<Bytef*>(in.data());
    stream_.avail_in = static_cast<uInt>(in.size());
    stream_.next_out = scratch;
    stream_.avail_out = sizeof(scratch);
    int result = inflate(&stream_, Z_FINISH);
    size_t produced = sizeof(scratch) - stream_.avail_out;
    if (result != Z_STREAM_END || produced != out.size()) FailInvalidData();
    std::copy(scratch, scratch + produced, out.begin());
  }

 private:
  z_stream stream_{};
};

// Size of the body that the container declares, after the plausibility checks.
size_t DeclaredBodySize(std::span<const uint8_t> container) {
  if (container.size() < 4) FailInvalidData();
  uint32_t total = LittleEndian(container, 0, 4);
  if (total < kXHeaderSize) FailInvalidData();
  uint64_t body = total - kXHeaderSize;
  if (body > (container.size() - 4) * kMaxDeflateRatio) FailInvalidData();
  if (body > kMaxInflatedBody) throw std::bad_alloc();
  return static_cast<size_t>(body);
}

}  // namespace

std::vector<uint8_t> InflateMszip(std::span<const uint8_t> container) {
  const size_t declared = DeclaredBodySize(container);
  std::vector<uint8_t> body;
  body.reserve(declared);
  RawInflater inflater;
  size_t at = 4;
  while (at < container.size()) {
    if (container.size() - at < kBlockHeaderSize + 2) FailInvalidData();
    size_t outSize = LittleEndian(container, at, 2);
    size_t inSize = LittleEndian(container, at + 2, 2);  // counts the "CK" signature
    at += kBlockHeaderSize;
    if (inSize < 2 || inSize > container.size() - at || container[at] != 'C' ||
        container[at + 1] != 'K' || outSize > kMaxBlockOutput || outSize > declared - body.size()) {
      FailInvalidData();
    }
    size_t start = body.size();
    size_t history = std::min(start, kHistorySize);
    body.resize(start + outSize);
    inflater.Inflate(container.subspan(at + 2, inSize - 2),
                     std::span<const uint8_t>(body).subspan(start - history, history),
                     std::span<uint8_t>(body).subspan(start));
    at += inSize;
  }
  if (body.size() != declared) FailInvalidData();
  return body;
}

}  // namespace d3dxfile
