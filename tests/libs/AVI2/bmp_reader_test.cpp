// The movie writer's BMP reader: files ImageMagick writes read as ffmpeg reads them, and
// damaged or hostile files are refused with a reason instead of being read.
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include "bmp_reader.h"
#include "movie_check.h"

namespace avi2_test {
namespace {

// Every piece of the opened file's frame, one after another.
std::vector<uint8_t> StreamBytes(avi2::FrameRows& rows) {
  std::vector<uint8_t> bytes;
  std::span<const uint8_t> piece;
  std::string error;
  while (rows.Next(&piece, &error) && !piece.empty()) bytes.insert(bytes.end(), piece.begin(), piece.end());
  EXPECT_EQ(error, "");
  return bytes;
}

// The stream's bottom-up, row-padded frame as top-down packed pixels.
Image TopDown(const std::vector<uint8_t>& bytes, int width, int height) {
  const size_t stride = avi2::Dib24Stride(width);
  Image image{width, height, {}};
  for (int y = height - 1; y >= 0; --y) {
    const auto row = bytes.begin() + static_cast<ptrdiff_t>(stride * y);
    image.bgr.insert(image.bgr.end(), row, row + width * 3);
  }
  return image;
}

TEST(BmpReaderTest, ReadsImageMagickFilesAsFfmpegDoes) {
  ScratchDir dir;
  for (const char* format : {"-type TrueColor BMP3:", "-type TrueColorAlpha BMP:"}) {
    const std::string path = dir / "magick.bmp";
    ASSERT_EQ(std::system(("convert -size 13x7 -seed 3 plasma:fractal " + std::string(format) +
                           "'" + path + "'").c_str()), 0);
    std::string error;
    avi2::BmpReader reader;
    ASSERT_TRUE(reader.Open(path, &error)) << format << error;
    EXPECT_TRUE(TopDown(StreamBytes(reader), 13, 7) == Decode(path, 13, 7).at(0)) << format;
  }
}

// One reader for files of every kind, larger and smaller in turn, as a movie's frames
// reuse it: each gives exactly its file's pixels and zero row padding, whatever its
// buffers held before. The large ones span several pieces.
TEST(BmpReaderTest, ReusedReaderAndFrameGiveEachFileExactly) {
  struct Case {
    int width, height, bits;
    RowOrder order;
  };
  const Case cases[] = {{333, 421, 32, RowOrder::BottomUp}, {5, 3, 24, RowOrder::TopDown},
                        {701, 300, 24, RowOrder::BottomUp}, {2, 1, 32, RowOrder::TopDown},
                        {333, 421, 32, RowOrder::TopDown}, {1, 2000, 32, RowOrder::BottomUp}};
  ScratchDir dir;
  avi2::BmpReader reader;
  int seed = 0;
  for (const Case& c : cases) {
    const Image image = Pattern(c.width, c.height, ++seed);
    const std::string path = dir / "frame.bmp";
    WriteBmp(path, image, c.bits, c.order);
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << c.width << "x" << c.height << ": " << error;
    ASSERT_EQ(reader.Width(), c.width);
    ASSERT_EQ(reader.Height(), c.height);
    const std::vector<uint8_t> bytes = StreamBytes(reader);
    const size_t stride = avi2::Dib24Stride(c.width), rowBytes = size_t(c.width) * 3;
    ASSERT_EQ(bytes.size(), stride * size_t(c.height));
    ASSERT_EQ(reader.FrameBytes(), bytes.size());
    EXPECT_TRUE(TopDown(bytes, c.width, c.height) == image) << c.width << "x" << c.height;
    for (int y = 0; y < c.height; ++y)
      for (size_t x = rowBytes; x < stride; ++x)
        ASSERT_EQ(bytes[stride * size_t(y) + x], 0) << c.width << "x" << c.height << " padding";
  }
}

void Set32(std::vector<uint8_t>& file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(BmpReaderTest, RefusesDamagedAndHostileFiles) {
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  struct Case {
    const char* name;
    Damage damage;
    const char* reason;
  };
  const char* kShort = "BMP file is shorter than its pixels";
  const std::vector<Case> cases = {
      {"empty", [](auto& f) { f.clear(); }, "not a BMP file"},
      {"no BM", [](auto& f) { f[0] = 'X'; }, "not a BMP file"},
      {"core header", [](auto& f) { Set32(f, 14, 12); }, "unsupported BMP header"},
      {"header cut", [](auto& f) { f.resize(40); }, "BMP header cut short"},
      {"zero width", [](auto& f) { Set32(f, 18, 0); }, "BMP size out of range"},
      {"negative width", [](auto& f) { Set32(f, 18, -4u); }, "BMP size out of range"},
      {"zero height", [](auto& f) { Set32(f, 22, 0); }, "BMP size out of range"},
      {"lowest height", [](auto& f) { Set32(f, 22, 0x80000000u); }, "BMP size out of range"},
      {"too wide", [](auto& f) { Set32(f, 18, 16385); }, "BMP size out of range"},
      {"largest size, few bytes", [](auto& f) { Set32(f, 18, 16384); Set32(f, 22, 16384); },
       kShort},
      {"two planes", [](auto& f) { f[26] = 2; }, "BMP is not 24 or 32 bits per pixel"},
      {"8 bits", [](auto& f) { f[28] = 8; }, "BMP is not 24 or 32 bits per pixel"},
      {"RLE", [](auto& f) { Set32(f, 30, 1); }, "unsupported BMP compression"},
      {"odd masks", [](auto& f) { Set32(f, 30, 3); }, "BMP has unusual masks"},
      {"pixels in header", [](auto& f) { Set32(f, 10, 20); }, "BMP pixels overlap its header"},
      {"pixels past end", [](auto& f) { Set32(f, 10, 1000); }, kShort},
      {"pixel offset wraps", [](auto& f) { Set32(f, 10, 0xFFFFFFF0u); }, kShort},
      {"last row cut", [](auto& f) { f.resize(54 + 4 * 3 * 4 - 1); }, kShort},
  };
  ScratchDir dir;
  const std::string good = dir / "good.bmp", bad = dir / "bad.bmp";
  WriteBmp(good, Pattern(4, 3, 0), 32, RowOrder::BottomUp);
  std::string error;
  avi2::BmpReader reader;
  ASSERT_TRUE(reader.Open(good, &error)) << error;
  for (const Case& c : cases) {
    std::vector<uint8_t> file = ReadFile(good);
    c.damage(file);
    WriteFile(bad, file);
    EXPECT_FALSE(reader.Open(bad, &error)) << c.name;
    EXPECT_EQ(error, c.reason) << c.name;
  }
  EXPECT_FALSE(reader.Open(dir / "absent.bmp", &error));
  EXPECT_EQ(error, "cannot open the BMP file");
  EXPECT_FALSE(reader.Open(dir / "", &error));  // a folder
  EXPECT_EQ(error, "cannot open the BMP file");
}

}  // namespace
}  // namespace avi2_test
