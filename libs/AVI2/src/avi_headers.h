// The header part of the movie file (RIFF 'AVI ', hdrl with avih, strl, the OpenDML
// super index and odml reserve, and the opening of the first movi list) and the file
// offsets of the fields the writer keeps patching as frames are appended.
#pragma once

#include <cstdint>
#include <vector>

namespace avi2 {

struct StreamFormat {
  int32_t width;
  int32_t height;
  uint32_t rate;   // frames per second = rate / scale
  uint32_t scale;
  uint32_t frameBytes;
};

// Offsets in the first RIFF. The super index and the odml list are written as JUNK
// chunks holding their final contents; renaming the chunk makes them live.
struct HeaderLayout {
  explicit HeaderLayout(uint32_t superIndexEntries);
  static constexpr uint64_t kAvihFlags = 44;
  static constexpr uint64_t kAvihTotalFrames = 48;
  static constexpr uint64_t kStrhLength = 140;
  static constexpr uint64_t kSuperIndex = 212;         // chunk id: 'JUNK' or 'indx'
  static constexpr uint64_t kSuperIndexInUse = 224;    // nEntriesInUse
  static constexpr uint64_t kSuperIndexEntries = 244;  // 16 bytes each
  uint32_t superIndexEntries;
  uint64_t odml;            // chunk id: 'JUNK' or 'LIST'
  uint64_t dmlhTotalFrames;
  uint64_t moviList;        // 'LIST' size 'movi' of the first RIFF
};

inline constexpr uint32_t kAvifHasIndex = 0x10;
inline constexpr uint32_t kAvifIsInterleaved = 0x100;
inline constexpr uint32_t kAvifTrustCkType = 0x800;
inline constexpr uint32_t kAviifKeyframe = 0x10;

// Everything from the start of the file to the movi FOURCC, sizes describing a file
// that ends right after it (no frames yet).
std::vector<uint8_t> BuildHeaders(const StreamFormat& format, const HeaderLayout& layout);

}  // namespace avi2
