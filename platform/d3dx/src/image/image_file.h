// Image files read into plain 32-bit ARGB pixels, and the pixel work the texture
// loader and the surface saver need (mip filtering, resizing, BMP writing).
// Bytes in, pixels out: nothing here touches a Direct3D device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fresh_memory.h"

namespace d3dximage {

// D3DFORMAT numbers of the pixel layouts a file can store; the values are the
// Direct3D 9 ones, spelled here so that this library stands on its own.
namespace fileformat {
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t R8G8B8 = 20;
constexpr uint32_t A8R8G8B8 = 21;
constexpr uint32_t X8R8G8B8 = 22;
constexpr uint32_t R5G6B5 = 23;
constexpr uint32_t X1R5G5B5 = 24;
constexpr uint32_t A1R5G5B5 = 25;
constexpr uint32_t A4R4G4B4 = 26;
constexpr uint32_t A8 = 28;
constexpr uint32_t X4R4G4B4 = 30;
constexpr uint32_t L8 = 50;
constexpr uint32_t A8L8 = 51;
constexpr uint32_t A4L4 = 52;
constexpr uint32_t L16 = 81;
constexpr uint32_t DXT1 = FourCC('D', 'X', 'T', '1');
constexpr uint32_t DXT2 = FourCC('D', 'X', 'T', '2');
constexpr uint32_t DXT3 = FourCC('D', 'X', 'T', '3');
constexpr uint32_t DXT4 = FourCC('D', 'X', 'T', '4');
constexpr uint32_t DXT5 = FourCC('D', 'X', 'T', '5');
}  // namespace fileformat

// One picture: pixels as 0xAARRGGBB, rows from top to bottom, no padding.
// Decoded pixels, in fresh memory: a new image is not zeroed in a pass of its own
// before the decoder writes it.
using Pixels = raster::FreshVector<uint32_t>;

struct ImageLevel {
  uint32_t width = 0;
  uint32_t height = 0;
  Pixels argb;
};

// Which reader took the file; the values are D3DXIMAGE_FILEFORMAT's.
enum class FileType : uint32_t { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Dds = 4, Ppm = 5, Dib = 6 };

// Room for a picture's rows that the caller has already: the first row and the distance
// between rows, in pixels. A null `rows` declines.
struct LevelStorage {
  uint32_t* rows = nullptr;
  size_t pitch = 0;
};

// The caller's part in decoding level 0 of a JPEG or PNG picture, which those readers
// decode row by row from the top.
class LevelTarget {
 public:
  virtual ~LevelTarget() = default;
  // Asked once the reader knows the picture's size and the layout the file stores (a
  // D3DFORMAT value), before it decodes a pixel.
  virtual LevelStorage Offer(uint32_t width, uint32_t height, uint32_t fileFormat) = 0;
  // The rows above `rows` hold their pixels (as they come, in increasing order; an
  // interlaced PNG's only at the end). The file may still turn out damaged after them.
  virtual void RowsDecoded(uint32_t rows) = 0;
};

// A decoded file: its kind, the layout it stores (a D3DFORMAT value) and its levels.
// Only DDS files bring more than one level (their stored mip maps).
struct ImageFile {
  FileType fileType = FileType::Bmp;
  uint32_t fileFormat = 0;
  std::vector<ImageLevel> levels;
  // Set by the caller: JPEG and PNG readers offer level 0 to it and, when it takes the
  // picture, decode straight into its storage (levels[0] then has its size and no
  // pixels, and inTarget is set) and report the rows as they are done.
  LevelTarget* target = nullptr;
  bool inTarget = false;
};

enum class DecodeResult { Ok, NotThisFormat, InvalidData, OutOfMemory };

// Recognises the file by its content (BMP, PPM, DDS, JPEG, PNG, TGA, then a headerless
// DIB) and decodes it. A width or height above maxDimension is refused before any
// pixel memory is taken. NotThisFormat means no reader recognised the bytes.
DecodeResult DecodeImageFile(std::span<const uint8_t> bytes, ImageFile& out,
                             uint32_t maxDimension);

// Number of levels of a full mip chain down to 1x1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

// Keeps levels[0] and makes levels 1..levelCount-1, each half the size of the one
// before (at least 1), with a triangle filter and mirrored edges. levelCount 0 means
// the full chain. Levels already present beyond the first are replaced.
void BuildMipChain(std::vector<ImageLevel>& levels, uint32_t levelCount);

// The level below: half the size (at least 1), from this one with the same filter.
ImageLevel NextMipLevel(const ImageLevel& level);

// Resamples to width x height (both at least 1) with the same triangle filter.
ImageLevel Resize(const ImageLevel& source, uint32_t width, uint32_t height);

// A 32-bit uncompressed BMP of the pixels (0xAARRGGBB, rows top to bottom, pitch in
// pixels): 54 bytes of headers, rows bottom to top as B,G,R,A, then zero bytes that
// pad the file to a multiple of four. Empty when the sizes do not fit the file's
// 32-bit fields.
std::vector<uint8_t> EncodeBmp32(uint32_t width, uint32_t height, const uint32_t* argbTopDown,
                                 size_t pitchInPixels);

// The same file in pieces, for writing straight from pixels that are already B,G,R,A
// in memory: the 54 header bytes, then the rows bottom to top, then paddingBytes zeros.
// `fits` false when the sizes do not fit in a BMP file.
constexpr size_t kBmp32HeaderBytes = 14 + 40;
struct Bmp32Layout {
  bool fits = false;
  std::array<uint8_t, kBmp32HeaderBytes> headers{};
  uint32_t paddingBytes = 0;
};
Bmp32Layout Bmp32Headers(uint32_t width, uint32_t height);

}  // namespace d3dximage
