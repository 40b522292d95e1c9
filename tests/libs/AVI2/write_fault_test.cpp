// The movie writer when a write fails after the frame's chunk is already on disk: the
// frame reported as not added must not turn up in the movie later. The failure is
// injected at the system call, by this test program's own pwritev in front of libc's.
#include <dlfcn.h>
#include <errno.h>
#include <sys/uio.h>

#include <gtest/gtest.h>

#include "avi_writer.h"
#include "movie_check.h"

namespace avi2_test {
namespace {

// pwritev calls still to succeed before one fails with EIO; negative: none fails.
int pwritesBeforeFailure = -1;

using Pwritev = ssize_t (*)(int, const iovec*, int, off_t);

}  // namespace
}  // namespace avi2_test

extern "C" ssize_t pwritev(int fd, const iovec* vectors, int count, off_t offset) {
  if (avi2_test::pwritesBeforeFailure == 0) {
    avi2_test::pwritesBeforeFailure = -1;
    errno = EIO;
    return -1;
  }
  if (avi2_test::pwritesBeforeFailure > 0) --avi2_test::pwritesBeforeFailure;
  static const auto next = reinterpret_cast<avi2_test::Pwritev>(dlsym(RTLD_NEXT, "pwritev"));
  return next(fd, vectors, count, offset);
}

namespace avi2_test {
namespace {

// Bottom-up 24-bit rows, as the stream holds them.
std::vector<uint8_t> StreamRows(const Image& image) {
  std::vector<uint8_t> rows;
  const size_t stride = static_cast<size_t>(image.width) * 3;
  for (int y = image.height - 1; y >= 0; --y)
    rows.insert(rows.end(), image.bgr.begin() + y * stride, image.bgr.begin() + (y + 1) * stride);
  return rows;
}

TEST(WriteFaultTest, FrameWhoseCountsCouldNotBeWrittenIsNotInTheMovie) {
  ScratchDir dir;
  const std::string path = dir / "fault.avi";
  const std::vector<Image> looks{Pattern(16, 8, 0), Pattern(16, 8, 1), Pattern(16, 8, 2)};
  std::string error;
  auto writer = avi2::AviWriter::Create(path, {16, 8, 10, 1, 16 * 8 * 3}, {}, &error);
  ASSERT_NE(writer, nullptr) << error;
  ASSERT_TRUE(writer->AppendFrame(StreamRows(looks[0]), &error)) << error;
  pwritesBeforeFailure = 1;  // the chunk (header and pixels) lands, the first count does not
  EXPECT_FALSE(writer->AppendFrame(StreamRows(looks[1]), &error));
  EXPECT_EQ(pwritesBeforeFailure, -1) << "the injected failure was never reached";
  EXPECT_EQ(writer->FramesWritten(), 1u);
  ASSERT_TRUE(writer->AppendFrame(StreamRows(looks[2]), &error)) << error;
  ASSERT_TRUE(writer->Finish(&error)) << error;
  writer.reset();

  const StreamFacts facts = Probe(path);
  EXPECT_EQ(facts.declaredFrames, 2);
  EXPECT_EQ(facts.decodedFrames, 2);
  const std::vector<uint8_t> file = ReadFile(path);
  EXPECT_EQ(RiffChainBytes(file), file.size());
  EXPECT_TRUE(Decode(path, 16, 8) == (std::vector<Image>{looks[0], looks[2]}));
}

}  // namespace
}  // namespace avi2_test
