// Test helpers for the movie writer: a scratch folder, BMP frames with known pixels,
// and the movie as ffprobe and ffmpeg see it (stream facts, decoded frames).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace avi2_test {

// Pixels in ffmpeg's bgr24 order: rows top to bottom, 3 bytes a pixel, no padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
  bool operator==(const Image&) const = default;
};

// A picture that differs in every pixel and from one seed to the next.
Image Pattern(int width, int height, int seed);

enum class RowOrder { BottomUp, TopDown };
// 24- or 32-bit BI_RGB with a 40-byte info header. The 32-bit files are laid out as
// the program saves its frames: alpha 0xFF and two zero bytes at the end.
void WriteBmp(const std::string& path, const Image& image, int bits, RowOrder order);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

using testsupport::ScratchDir;

// Runs a shell command and hands its standard output over in pieces of at most
// chunkBytes (ReadCommand) or all at once (CommandOutput); a failing command fails the test.
void ReadCommand(const std::string& command, size_t chunkBytes,
                 const std::function<void(const std::vector<uint8_t>&)>& take);
std::vector<uint8_t> CommandOutput(const std::string& command);
// The path in single quotes, for a command line.
std::string Quote(const std::string& path);

struct StreamFacts {
  std::string codec;
  int width = 0;
  int height = 0;
  std::string frameRate;  // as ffprobe writes it, e.g. "10/1"
  int declaredFrames = 0;  // as the headers say
  int decodedFrames = 0;   // counted by decoding
};
StreamFacts Probe(const std::string& moviePath);
// Bytes covered by the chain of top-level RIFF chunks, each found through the size of
// the one before; a file whose headers describe it exactly gives its own length.
uint64_t RiffChainBytes(const std::vector<uint8_t>& file);
// Every frame ffmpeg decodes from the movie, in order, one at a time.
void DecodeEach(const std::string& moviePath, int width, int height,
                const std::function<void(const Image&)>& take);
std::vector<Image> Decode(const std::string& moviePath, int width, int height);

}  // namespace avi2_test
