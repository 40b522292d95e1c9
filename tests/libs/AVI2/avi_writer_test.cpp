// The OpenDML side of the movie writer, reached through its internal writer with a small
// RIFF size limit so that a few hundred kilobytes cross several RIFF boundaries: the
// file's chunk structure, its indexes, and playback after a stop inside an AVIX RIFF.
#include <unistd.h>

#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "avi_writer.h"
#include "bmp_reader.h"
#include "movie_check.h"

namespace avi2_test {
namespace {

constexpr int kSide = 32;
constexpr uint32_t kFrameBytes = kSide * kSide * 3;
const avi2::AviLimits kSmallRiffs{64 * 1024, 8};

uint32_t U32(const std::vector<uint8_t>& file, uint64_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | file.at(at + i);
  return v;
}
uint64_t U64(const std::vector<uint8_t>& file, uint64_t at) {
  return U32(file, at) | static_cast<uint64_t>(U32(file, at + 4)) << 32;
}
std::string FourCc(const std::vector<uint8_t>& file, uint64_t at) {
  return {static_cast<char>(file.at(at)), static_cast<char>(file.at(at + 1)),
          static_cast<char>(file.at(at + 2)), static_cast<char>(file.at(at + 3))};
}

// Chunks directly inside [begin, end): id (or list type for LIST/RIFF) -> data offsets.
std::multimap<std::string, uint64_t> Chunks(const std::vector<uint8_t>& file, uint64_t begin,
                                            uint64_t end) {
  std::multimap<std::string, uint64_t> chunks;
  for (uint64_t at = begin; at + 8 <= end; at += 8 + ((U32(file, at + 4) + 1) & ~1u)) {
    const std::string id = FourCc(file, at);
    const bool list = id == "LIST" || id == "RIFF";
    chunks.emplace(list ? FourCc(file, at + 8) : id, list ? at + 12 : at + 8);
  }
  return chunks;
}
uint64_t End(const std::vector<uint8_t>& file, uint64_t listData) {
  return listData - 4 + U32(file, listData - 8);
}

// The frame written i-th, in the stream's layout (bottom-up BGR, rows of 96 bytes).
std::vector<uint8_t> Frame(int i) {
  const Image image = Pattern(kSide, kSide, i);
  std::vector<uint8_t> rows;
  for (int y = kSide - 1; y >= 0; --y)
    rows.insert(rows.end(), image.bgr.begin() + y * kSide * 3,
                image.bgr.begin() + (y + 1) * kSide * 3);
  return rows;
}

std::unique_ptr<avi2::AviWriter> Writer(const std::string& path, int frames) {
  std::string error;
  auto writer = avi2::AviWriter::Create(path, {kSide, kSide, 10, 1, kFrameBytes}, kSmallRiffs,
                                        &error);
  EXPECT_NE(writer, nullptr) << error;
  for (int i = 0; writer && i < frames; ++i)
    EXPECT_TRUE(writer->AppendFrame(Frame(i), &error)) << error;
  return writer;
}

std::vector<Image> Patterns(int count) {
  std::vector<Image> frames;
  for (int i = 0; i < count; ++i) frames.push_back(Pattern(kSide, kSide, i));
  return frames;
}

TEST(AviWriterTest, RiffsPastTheLimitFormAnIndexedOpenDmlFile) {
  ScratchDir dir;
  const std::string path = dir / "odml.avi";
  std::string error;
  ASSERT_TRUE(Writer(path, 60)->Finish(&error)) << error;
  const std::vector<uint8_t> file = ReadFile(path);

  const auto riffs = Chunks(file, 0, file.size());
  ASSERT_EQ(riffs.count("AVI "), 1u);
  const size_t avix = riffs.count("AVIX");
  EXPECT_GE(avix, 2u);
  for (const auto& [type, data] : riffs)
    EXPECT_LE(End(file, data) - (data - 12), kSmallRiffs.riffBytes);
  EXPECT_EQ(End(file, std::prev(riffs.end())->second), file.size());

  const uint64_t first = riffs.find("AVI ")->second;
  const auto top = Chunks(file, first, End(file, first));
  const uint64_t hdrl = top.find("hdrl")->second;
  const auto headers = Chunks(file, hdrl, End(file, hdrl));
  const uint32_t firstRiffFrames = U32(file, headers.find("avih")->second + 16);
  EXPECT_EQ(U32(file, top.find("idx1")->second - 4), 16 * firstRiffFrames);
  const uint64_t odml = headers.find("odml")->second;
  EXPECT_EQ(U32(file, Chunks(file, odml, End(file, odml)).find("dmlh")->second), 60u);
  const uint64_t strl = headers.find("strl")->second;
  const auto stream = Chunks(file, strl, End(file, strl));
  EXPECT_EQ(U32(file, stream.find("strh")->second + 32), 60u);

  // Every super index entry leads to an ix00 whose entries lead to the frames in order.
  const uint64_t indx = stream.find("indx")->second;
  ASSERT_EQ(U32(file, indx + 4), avix + 1);
  int frame = 0;
  for (uint32_t e = 0; e < avix + 1; ++e) {
    const uint64_t ix = U64(file, indx + 24 + 16 * e);
    ASSERT_EQ(FourCc(file, ix), "ix00");
    const uint32_t count = U32(file, indx + 24 + 16 * e + 12);
    ASSERT_EQ(U32(file, ix + 12), count);
    if (e == 0) {
      EXPECT_EQ(count, firstRiffFrames);
    }
    for (uint32_t i = 0; i < count; ++i, ++frame) {
      const uint64_t data = U64(file, ix + 20) + U32(file, ix + 32 + 8 * i);
      ASSERT_EQ(FourCc(file, data - 8), "00db");
      ASSERT_EQ(U32(file, ix + 36 + 8 * i), kFrameBytes);
      ASSERT_EQ(std::memcmp(&file[data], Frame(frame).data(), kFrameBytes), 0) << frame;
    }
  }
  EXPECT_EQ(frame, 60);
  EXPECT_TRUE(Decode(path, kSide, kSide) == Patterns(60));
}

TEST(AviWriterTest, StopInsideAnAvixRiffKeepsEveryFrame) {
  ScratchDir dir;
  const std::string path = dir / "stopped.avi";
  if (fork() == 0) _exit(Writer(path, 45) && !testing::Test::HasFailure() ? 0 : 1);
  int status = 0;
  wait(&status);
  ASSERT_EQ(status, 0);
  const StreamFacts facts = Probe(path);
  EXPECT_EQ(facts.declaredFrames, 45);
  EXPECT_EQ(facts.decodedFrames, 45);
  const std::vector<uint8_t> file = ReadFile(path);
  EXPECT_EQ(RiffChainBytes(file), file.size());
  EXPECT_TRUE(Decode(path, kSide, kSide) == Patterns(45));
}

TEST(AviWriterTest, FullSuperIndexRefusesFramesAndKeepsTheMovie) {
  ScratchDir dir;
  const std::string path = dir / "full.avi";
  std::string error;
  auto writer = avi2::AviWriter::Create(path, {kSide, kSide, 10, 1, kFrameBytes},
                                        {64 * 1024, 2}, &error);
  int written = 0;
  while (writer->AppendFrame(Frame(written), &error)) ++written;
  EXPECT_EQ(error, "the movie has reached its size limit");
  EXPECT_GT(written, 20);
  ASSERT_TRUE(writer->Finish(&error)) << error;
  EXPECT_TRUE(Decode(path, kSide, kSide) == Patterns(written));
}

// A frame handed over in pieces of 1000 bytes that can fail after some pieces or come
// out a different length, as a BMP that shrinks while it is read would.
class Pieces final : public avi2::FramePieces {
 public:
  Pieces(std::vector<uint8_t> bytes, int failAfter) : bytes_(std::move(bytes)), failAfter_(failAfter) {}
  bool Next(std::span<const uint8_t>* piece, std::string* error) override {
    if (given_ == failAfter_) {
      *error = "cannot read the BMP pixels";
      return false;
    }
    const size_t at = std::min(bytes_.size(), size_t(given_) * 1000);
    *piece = std::span<const uint8_t>(bytes_).subspan(at, std::min<size_t>(1000, bytes_.size() - at));
    ++given_;
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
  int failAfter_;
  int given_ = 0;
};

// A frame that fails part way, or has too few or too many bytes, is cut off again: the
// movie keeps the frames before it and takes the next one as if nothing had happened.
TEST(AviWriterTest, FrameThatFailsPartWayLeavesNoTrace) {
  ScratchDir dir;
  const std::string path = dir / "pieces.avi";
  auto writer = Writer(path, 1);
  ASSERT_NE(writer, nullptr);
  std::string error;
  Pieces failing(Frame(1), 2), shorter(std::vector<uint8_t>(kFrameBytes - 1), -1),
      longer(std::vector<uint8_t>(kFrameBytes + 1), -1);
  EXPECT_FALSE(writer->AppendFrame(failing, &error));
  EXPECT_EQ(error, "cannot read the BMP pixels");
  EXPECT_FALSE(writer->AppendFrame(shorter, &error));
  EXPECT_EQ(error, "the frame is smaller than the movie's frames");
  EXPECT_FALSE(writer->AppendFrame(longer, &error));
  EXPECT_EQ(error, "the frame is larger than the movie's frames");
  EXPECT_EQ(writer->FramesWritten(), 1u);
  {
    const std::vector<uint8_t> file = ReadFile(path);
    EXPECT_EQ(file.size(), writer->FileBytes()) << "the partial chunks are cut off";
    EXPECT_EQ(RiffChainBytes(file), file.size());
  }
  Pieces whole(Frame(1), -1);
  ASSERT_TRUE(writer->AppendFrame(whole, &error)) << error;
  ASSERT_TRUE(writer->Finish(&error)) << error;
  EXPECT_TRUE(Decode(path, kSide, kSide) == Patterns(2));
}

}  // namespace
}  // namespace avi2_test
