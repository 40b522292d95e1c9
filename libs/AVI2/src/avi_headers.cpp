// Builds the header bytes of an uncompressed 24-bit, one-stream AVI file with room for
// the OpenDML super index and total frame count.
#include "avi_headers.h"

#include <algorithm>
#include <limits>

#include "little_endian.h"

namespace avi2 {
namespace {

constexpr uint32_t kOdmlChunkBytes = 268;  // LIST odml + dmlh (248 bytes)
constexpr uint32_t kDmlhBytes = 248;

uint32_t Clamp32(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

void AddAvih(ByteBuilder& out, const StreamFormat& f) {
  const uint64_t microSecPerFrame = (1000000ull * f.scale + f.rate / 2) / f.rate;
  out.FourCc("avih").U32(56)
      .U32(Clamp32(microSecPerFrame))
      .U32(Clamp32(static_cast<uint64_t>(f.frameBytes) * f.rate / f.scale))
      .U32(0)                                     // padding granularity
      .U32(kAvifIsInterleaved | kAvifTrustCkType)  // HASINDEX once idx1 exists
      .U32(0)                                     // total frames (first RIFF)
      .U32(0)                                     // initial frames
      .U32(1)                                     // streams
      .U32(f.frameBytes + 8)
      .U32(static_cast<uint32_t>(f.width))
      .U32(static_cast<uint32_t>(f.height))
      .Zeros(16);
}

void AddStrh(ByteBuilder& out, const StreamFormat& f) {
  out.FourCc("strh").U32(56)
      .FourCc("vids")
      .U32(0)            // handler: none for BI_RGB
      .U32(0)            // flags
      .U16(0).U16(0)     // priority, language
      .U32(0)            // initial frames
      .U32(f.scale)
      .U32(f.rate)
      .U32(0)            // start
      .U32(0)            // length, patched per frame
      .U32(f.frameBytes)  // suggested buffer size
      .U32(0xFFFFFFFFu)  // quality: default
      .U32(0)            // sample size: one chunk is one frame
      .U16(0).U16(0)
      .U16(static_cast<uint16_t>(f.width))
      .U16(static_cast<uint16_t>(f.height));
}

void AddStrf(ByteBuilder& out, const StreamFormat& f) {
  out.FourCc("strf").U32(40)
      .U32(40)
      .U32(static_cast<uint32_t>(f.width))
      .U32(static_cast<uint32_t>(f.height))  // positive: bottom-up rows
      .U16(1)
      .U16(24)
      .U32(0)  // BI_RGB
      .U32(f.frameBytes)
      .Zeros(16);
}

void AddSuperIndexReserve(ByteBuilder& out, uint32_t entries) {
  out.FourCc("JUNK").U32(24 + 16 * entries)
      .U16(4)  // longs per entry
      .U8(0)   // sub type
      .U8(0)   // AVI_INDEX_OF_INDEXES
      .U32(0)  // entries in use
      .FourCc("00db")
      .Zeros(12 + 16 * static_cast<size_t>(entries));
}

void AddOdmlReserve(ByteBuilder& out) {
  out.FourCc("JUNK").U32(kOdmlChunkBytes - 8).FourCc("odml").FourCc("dmlh").U32(kDmlhBytes)
      .Zeros(kDmlhBytes);
}

}  // namespace

HeaderLayout::HeaderLayout(uint32_t entries)
    : superIndexEntries(entries),
      odml(kSuperIndexEntries + 16ull * entries),
      dmlhTotalFrames(odml + 20),
      moviList(odml + kOdmlChunkBytes) {}

std::vector<uint8_t> BuildHeaders(const StreamFormat& format, const HeaderLayout& layout) {
  const auto strlBytes = static_cast<uint32_t>(layout.odml - 88 - 8);
  const auto hdrlBytes = static_cast<uint32_t>(layout.moviList - 12 - 8);
  ByteBuilder out;
  out.FourCc("RIFF").U32(static_cast<uint32_t>(layout.moviList + 12 - 8)).FourCc("AVI ");
  out.FourCc("LIST").U32(hdrlBytes).FourCc("hdrl");
  AddAvih(out, format);
  out.FourCc("LIST").U32(strlBytes).FourCc("strl");
  AddStrh(out, format);
  AddStrf(out, format);
  AddSuperIndexReserve(out, layout.superIndexEntries);
  AddOdmlReserve(out);
  out.FourCc("LIST").U32(4).FourCc("movi");
  return out.Bytes();
}

}  // namespace avi2
