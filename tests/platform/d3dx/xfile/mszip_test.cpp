// MSZIP bodies: multi-block round trips that need the previous block as dictionary,
// and containers whose sizes, signatures or blocks lie.
#include <gtest/gtest.h>

#include "x_test_writer.h"
#include "xfile/mszip.h"
#include "xfile/x_tokenizer.h"

namespace {

using d3dxfile::InflateMszip;
using d3dxfile::InvalidDataError;

std::vector<uint8_t> SampleFile() {
  std::string text = "xof 0303txt 0032\n";
  for (int i = 0; i < 200; ++i) text += "Frame F" + std::to_string(i % 7) + " { }\n";
  return xtest::ToBytes(text);
}

std::vector<uint8_t> Container(const std::vector<uint8_t>& compressed) {
  return std::vector<uint8_t>(compressed.begin() + 16, compressed.end());
}

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(Mszip, BlocksInflateWithTheHistoryBeforeThem) {
  const auto file = SampleFile();
  const std::vector<uint8_t> body(file.begin() + 16, file.end());
  for (size_t blockSize : {size_t{40}, size_t{1000}, size_t{32768}}) {
    auto compressed = xtest::CompressMszip(file, blockSize);
    EXPECT_EQ(std::string(compressed.begin() + 8, compressed.begin() + 12), "tzip");
    EXPECT_EQ(InflateMszip(Container(compressed)), body) << blockSize;
  }
}

TEST(Mszip, SizesThatDoNotAddUpAreInvalid) {
  auto container = Container(xtest::CompressMszip(SampleFile(), 500));
  for (int delta : {-1, +1}) {
    auto lying = container;
    PutWord(lying, 0, static_cast<uint32_t>(SampleFile().size() + delta));
    EXPECT_THROW(InflateMszip(lying), InvalidDataError) << delta;
  }
  auto blockLie = container;
  PutWord(blockLie, 4, 499);  // first block says it holds one byte less
  EXPECT_THROW(InflateMszip(blockLie), InvalidDataError);
  auto overlong = container;
  PutWord(overlong, 6, 0xFFFF);  // compressed size beyond the file
  EXPECT_THROW(InflateMszip(overlong), InvalidDataError);
  auto signature = container;
  signature[8] = 'X';
  EXPECT_THROW(InflateMszip(signature), InvalidDataError);
  auto total = container;
  PutWord(total, 0, 15);  // smaller than the header itself
  PutWord(total, 2, 0);
  EXPECT_THROW(InflateMszip(total), InvalidDataError);
}

TEST(Mszip, EveryTruncationIsInvalid) {
  auto container = Container(xtest::CompressMszip(SampleFile(), 300));
  for (size_t size = 0; size < container.size(); ++size) {
    std::vector<uint8_t> prefix(container.begin(), container.begin() + size);
    EXPECT_THROW(InflateMszip(prefix), InvalidDataError) << size;
  }
}

TEST(Mszip, ImplausibleOrHugeDeclaredSizesAreRefusedBeforeAllocating) {
  // 4 GB from a handful of bytes cannot be deflate output.
  std::vector<uint8_t> tiny = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0, 'C', 'K'};
  EXPECT_THROW(InflateMszip(tiny), InvalidDataError);
  // Plausible for the container's size but above the cap: refused as out of memory.
  std::vector<uint8_t> large(600 * 1024, 0);
  PutWord(large, 0, 0x0000);
  PutWord(large, 2, 0x2580);  // 600 MiB
  EXPECT_THROW(InflateMszip(large), std::bad_alloc);
}

}  // namespace
