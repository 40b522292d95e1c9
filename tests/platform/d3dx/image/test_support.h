// Helpers of the image tests: running ImageMagick's convert, the
// synthetic source picture, and building small files byte by byte.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "image_file.h"
#include "scratch_dir.h"

namespace d3dximage::test {

constexpr uint32_t kSourceWidth = 13, kSourceHeight = 7;
constexpr uint32_t kMaxDimension = 16384;

using testsupport::ScratchDir;

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Runs convert with the arguments (each shell-quoted); returns its standard output
// and fails the test when it exits with an error.
std::vector<uint8_t> RunConvert(const std::vector<std::string>& args);

// The 13x7 source: colour gradients, some pixels partly transparent. 0xAARRGGBB.
ImageLevel SourcePicture();
// Writes the source as raw R,G,B,A bytes convert reads with "-size 13x7 -depth 8 rgba:".
void WriteSourceRgba(const std::filesystem::path& path);

// The first picture of a file as convert itself reads it, turned upright when the
// file states another origin (convert reports TGA rows in stored order otherwise).
ImageLevel ConvertReads(const std::filesystem::path& path, uint32_t width, uint32_t height);

DecodeResult Decode(const std::vector<uint8_t>& bytes, ImageFile& out,
                    uint32_t maxDimension = kMaxDimension);

// Largest difference of any channel of any pixel (255 * 4 when sizes differ).
unsigned MaxChannelDifference(const ImageLevel& a, const ImageLevel& b);

// Appends little-endian fields.
struct ByteBuilder {
  std::vector<uint8_t> bytes;
  ByteBuilder& U8(uint32_t v) { bytes.push_back(uint8_t(v)); return *this; }
  ByteBuilder& U16(uint32_t v) { return U8(v).U8(v >> 8); }
  ByteBuilder& U32(uint32_t v) { return U16(v).U16(v >> 16); }
  ByteBuilder& Text(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); return *this; }
  ByteBuilder& Append(const std::vector<uint8_t>& b) { bytes.insert(bytes.end(), b.begin(), b.end()); return *this; }
};

}  // namespace d3dximage::test
