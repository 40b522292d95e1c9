// The movie writer as the program and the editor reach it: libAVI2.so opened with
// dlopen, frames handed over as BMP files or from memory in modes 0, 1 and 2, the movie
// checked with ffprobe and decoded with ffmpeg, including a writer killed mid-way, one
// that runs out of space and FIFOs in place of files.
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "AVI2.h"
#include "movie_check.h"

namespace avi2_test {
namespace {

class WriterLibraryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    library_ = dlopen(AVI2_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    bmpfile_ = reinterpret_cast<BmpfileToAvifileFunction>(dlsym(library_, "BmpfileToAvifile"));
    memory_ = reinterpret_cast<MemoryToAvifileFunction>(dlsym(library_, "MemoryToAvifile"));
    ASSERT_NE(bmpfile_, nullptr);
    ASSERT_NE(memory_, nullptr);
  }

  // Calls the writer as the program does: the record keeps its values between calls,
  // only the image file changes after the first frame.
  int32_t Hand(int32_t mode, const std::string& imagePath) {
    if (mode == kMovieStart) {
      params_ = MovieWriterParams{};
      params_.movieFile = movie_.c_str();
      params_.rate = 1000000;
      params_.scale = 100000;
    }
    params_.imageFile = imagePath.c_str();
    return bmpfile_(mode, params_);
  }

  // Saves the image as the next BMP (by default as the program saves its frames), hands
  // it over and deletes it.
  int32_t HandFrame(int32_t mode, const Image& image, int bits = 32,
                    RowOrder order = RowOrder::BottomUp) {
    const std::string path = dir_ / ("BMP" + std::to_string(++written_) + ".bmp");
    WriteBmp(path, image, bits, order);
    const int32_t result = Hand(mode, path);
    std::filesystem::remove(path);
    return result;
  }

  // Hands the image over in memory, its rows padded by extraStride bytes.
  int32_t HandPixels(int32_t mode, const Image& image, uint32_t extraStride = 0) {
    const uint32_t stride = static_cast<uint32_t>(image.width) * 3 + extraStride;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * image.height, 0xEE);
    for (int y = 0; y < image.height; ++y)
      std::copy_n(image.bgr.begin() + y * image.width * 3, image.width * 3,
                  pixels.begin() + static_cast<size_t>(y) * stride);
    if (mode == kMovieStart) {
      params_ = MovieWriterParams{};
      params_.movieFile = movie_.c_str();
      params_.rate = 1000000;
      params_.scale = 100000;
    }
    params_.imageFile = reinterpret_cast<const char*>(pixels.data());
    params_.frameWidth = static_cast<uint32_t>(image.width);
    params_.frameHeight = static_cast<uint32_t>(image.height);
    params_.frameStride = stride;
    return memory_(mode, params_);
  }

  void ExpectMovie(const std::vector<Image>& frames) {
    const StreamFacts facts = Probe(movie_);
    EXPECT_EQ(facts.codec, "rawvideo");
    EXPECT_EQ(facts.width, frames[0].width);
    EXPECT_EQ(facts.height, frames[0].height);
    EXPECT_EQ(facts.frameRate, "10/1");
    EXPECT_EQ(facts.declaredFrames, static_cast<int>(frames.size()));
    EXPECT_EQ(facts.decodedFrames, static_cast<int>(frames.size()));
    const std::vector<uint8_t> file = ReadFile(movie_);
    EXPECT_EQ(RiffChainBytes(file), file.size());
    EXPECT_TRUE(Decode(movie_, frames[0].width, frames[0].height) == frames);
  }

  static inline void* library_ = nullptr;
  static inline BmpfileToAvifileFunction bmpfile_ = nullptr;
  static inline MemoryToAvifileFunction memory_ = nullptr;
  ScratchDir dir_;
  std::string movie_ = dir_ / "movie.avi";
  MovieWriterParams params_{};
  int written_ = 0;
};

// An odd width pads the stream's rows; the BMPs come in all four layouts.
TEST_F(WriterLibraryTest, MovieHoldsEveryFrameAtTenFramesPerSecond) {
  std::vector<Image> frames;
  for (int i = 0; i < 12; ++i) {
    frames.push_back(Pattern(33, 17, i));
    EXPECT_EQ(HandFrame(i == 0 ? kMovieStart : i == 11 ? kMovieFinish : kMovieAppend,
                        frames.back(), i % 2 ? 24 : 32,
                        i % 4 < 2 ? RowOrder::BottomUp : RowOrder::TopDown), 1);
  }
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, MovieFileNameIsCp932WithBackslashes) {
  ASSERT_EQ(mkdir((dir_ / "AVI").c_str(), 0777), 0);
  // "AVI\動画.avi" in CP932: 93 AE 89 E6.
  const std::string utf8Path = dir_ / "AVI/\xE5\x8B\x95\xE7\x94\xBB.avi";
  movie_ = dir_ / "AVI\\\x93\xAE\x89\xE6.avi";
  ASSERT_EQ(HandFrame(kMovieStart, Pattern(8, 8, 0)), 1);
  ASSERT_EQ(HandFrame(kMovieFinish, Pattern(8, 8, 1)), 1);
  EXPECT_TRUE(std::filesystem::exists(utf8Path));
}

TEST_F(WriterLibraryTest, StartingAnotherMovieFinishesTheOpenOne) {
  const std::vector<Image> frames{Pattern(16, 16, 0), Pattern(16, 16, 1)};
  ASSERT_EQ(HandFrame(kMovieStart, frames[0]), 1);
  ASSERT_EQ(HandFrame(kMovieAppend, frames[1]), 1);
  const std::string first = movie_;
  movie_ = dir_ / "second.avi";
  ASSERT_EQ(HandFrame(kMovieStart, frames[0]), 1);
  const std::vector<uint8_t> file = ReadFile(first);
  const std::string index = "idx1";
  EXPECT_NE(std::search(file.begin(), file.end(), index.begin(), index.end()), file.end());
  movie_ = first;
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, RefusedCallsLeaveNoMovie) {
  const std::string bmp = dir_ / "frame.bmp";
  EXPECT_EQ(Hand(kMovieStart, bmp), 0);  // no such BMP
  WriteBmp(bmp, Pattern(8, 8, 0), 32, RowOrder::BottomUp);
  EXPECT_EQ(Hand(kMovieAppend, bmp), 0);  // nothing started
  EXPECT_EQ(Hand(kMovieFinish, bmp), 0);
  EXPECT_EQ(Hand(7, bmp), 0);
  params_.rate = 0;
  EXPECT_EQ(bmpfile_(kMovieStart, params_), 0);
  EXPECT_FALSE(std::filesystem::exists(movie_));
  movie_ = dir_ / "missing/movie.avi";
  EXPECT_EQ(Hand(kMovieStart, bmp), 0);
}

TEST_F(WriterLibraryTest, UnreadableOrResizedFramesAreSkipped) {
  std::vector<Image> frames{Pattern(40, 30, 0), Pattern(40, 30, 1), Pattern(40, 30, 2)};
  ASSERT_EQ(HandFrame(kMovieStart, frames[0]), 1);
  EXPECT_EQ(Hand(kMovieAppend, dir_ / "absent.bmp"), 0);
  WriteFile(dir_ / "garbage.bmp", {'B', 'M', 1, 2, 3});
  EXPECT_EQ(Hand(kMovieAppend, dir_ / "garbage.bmp"), 0);
  EXPECT_EQ(HandFrame(kMovieAppend, Pattern(41, 30, 9)), 0);
  EXPECT_EQ(HandFrame(kMovieAppend, frames[1]), 1);
  EXPECT_EQ(HandFrame(kMovieFinish, frames[2]), 1);
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, KilledWriterLeavesEveryFrameHandedOver) {
  std::vector<Image> frames;
  for (int i = 0; i < 7; ++i) frames.push_back(Pattern(48, 32, i));
  const pid_t child = fork();
  if (child == 0) {
    for (size_t i = 0; i < frames.size(); ++i)
      if (HandFrame(i == 0 ? kMovieStart : kMovieAppend, frames[i]) != 1) _exit(1);
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, FullDiskKeepsTheFramesWrittenBefore) {
  // A file size limit stands in for a full disk: writes past it fail with EFBIG.
  std::vector<Image> frames;
  for (int i = 0; i < 10; ++i) frames.push_back(Pattern(64, 64, i));
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{60000, 60000};  // room for four 12 KiB frames and the headers
    setrlimit(RLIMIT_FSIZE, &limit);
    uint8_t written = 0;
    for (size_t i = 0; i < frames.size(); ++i)
      written += HandFrame(i == 0 ? kMovieStart : i + 1 == frames.size() ? kMovieFinish
                                                                          : kMovieAppend,
                           frames[i]) == 1;
    _exit(write(pipeEnds[1], &written, 1) == 1 ? 0 : 1);
  }
  close(pipeEnds[1]);
  uint8_t written = 0;
  ASSERT_EQ(read(pipeEnds[0], &written, 1), 1);
  close(pipeEnds[0]);
  waitpid(child, nullptr, 0);
  ASSERT_GE(written, 2);
  ASSERT_LT(written, frames.size());
  frames.resize(written);
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, FramesFromMemoryMakeTheSameMovie) {
  std::vector<Image> frames;
  for (int i = 0; i < 6; ++i) {
    frames.push_back(Pattern(35, 9, i));
    EXPECT_EQ(HandPixels(i == 0 ? kMovieStart : i == 5 ? kMovieFinish : kMovieAppend,
                         frames.back(), i % 3 == 1 ? 7 : 0), 1);
  }
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, BadFramesFromMemoryAreRefusedOrSkipped) {
  EXPECT_EQ(HandPixels(kMovieStart, Image{0, 4, {}}), 0);
  EXPECT_EQ(HandPixels(kMovieStart, Image{16385, 1, std::vector<uint8_t>(16385 * 3)}), 0);
  params_.imageFile = nullptr;
  params_.frameWidth = params_.frameHeight = params_.frameStride = 4;
  EXPECT_EQ(memory_(kMovieStart, params_), 0);
  EXPECT_FALSE(std::filesystem::exists(movie_));

  const std::vector<Image> frames{Pattern(12, 10, 0), Pattern(12, 10, 1)};
  ASSERT_EQ(HandPixels(kMovieStart, frames[0]), 1);
  EXPECT_EQ(HandPixels(kMovieAppend, Pattern(12, 11, 5)), 0);  // another size
  std::vector<uint8_t> pixels(12 * 10 * 3);
  params_.imageFile = reinterpret_cast<const char*>(pixels.data());
  params_.frameStride = 12 * 3 - 1;  // shorter than a row
  EXPECT_EQ(memory_(kMovieAppend, params_), 0);
  EXPECT_EQ(HandPixels(kMovieFinish, frames[1]), 1);
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, MemoryMovieOfOneFrameIsFinishedWithoutAnotherFrame) {
  const Image frame = Pattern(10, 6, 3);
  ASSERT_EQ(HandPixels(kMovieStart, frame), 1);
  params_.imageFile = nullptr;
  EXPECT_EQ(memory_(kMovieFinish, params_), 1);
  EXPECT_EQ(memory_(kMovieFinish, params_), 0);  // nothing is open any more
  ExpectMovie({frame});
  const std::vector<uint8_t> file = ReadFile(movie_);
  const std::string index = "idx1";
  EXPECT_NE(std::search(file.begin(), file.end(), index.begin(), index.end()), file.end());
}

// The two entry points keep separate movies: one does not finish the other's.
TEST_F(WriterLibraryTest, MemoryAndBmpMoviesRunSideBySide) {
  const std::vector<Image> frames{Pattern(8, 8, 0), Pattern(8, 8, 1), Pattern(8, 8, 2)};
  const std::string bmpMovie = movie_;
  ASSERT_EQ(HandFrame(kMovieStart, frames[0]), 1);
  movie_ = dir_ / "memory.avi";
  const MovieWriterParams bmpParams = params_;
  ASSERT_EQ(HandPixels(kMovieStart, frames[2]), 1);
  ASSERT_EQ(HandPixels(kMovieFinish, frames[1]), 1);
  ExpectMovie({frames[2], frames[1]});
  params_ = bmpParams;
  movie_ = bmpMovie;
  ASSERT_EQ(HandFrame(kMovieFinish, frames[1]), 1);
  ExpectMovie({frames[0], frames[1]});
}

TEST_F(WriterLibraryTest, KilledMemoryWriterLeavesEveryFrameHandedOver) {
  std::vector<Image> frames;
  for (int i = 0; i < 5; ++i) frames.push_back(Pattern(20, 14, i));
  const pid_t child = fork();
  if (child == 0) {
    for (size_t i = 0; i < frames.size(); ++i)
      if (HandPixels(i == 0 ? kMovieStart : kMovieAppend, frames[i]) != 1) _exit(1);
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ExpectMovie(frames);
}

// Runs body in a child that an alarm ends after a few seconds, so that a call that
// blocks fails the test instead of hanging it; the child's exit status is the result.
int InChildWithAlarm(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(5);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(WriterLibraryTest, FifosAsMovieOrFrameAreRefusedAtOnce) {
  ASSERT_EQ(mkfifo(movie_.c_str(), 0666), 0);
  const std::string fifoFrame = dir_ / "fifo.bmp";
  ASSERT_EQ(mkfifo(fifoFrame.c_str(), 0666), 0);
  EXPECT_EQ(InChildWithAlarm([&] { return HandFrame(kMovieStart, Pattern(8, 8, 0)); }), 0);
  struct stat info;
  ASSERT_EQ(stat(movie_.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  movie_ = dir_ / "movie2.avi";
  const std::vector<Image> frames{Pattern(8, 8, 1), Pattern(8, 8, 2)};
  EXPECT_EQ(InChildWithAlarm([&] {
              return HandFrame(kMovieStart, frames[0]) == 1 &&
                     Hand(kMovieAppend, fifoFrame) == 0 &&
                     HandFrame(kMovieFinish, frames[1]) == 1;
            }), 1);
  ExpectMovie(frames);
}

// A link planted where the movie goes is never followed: neither the file it leads to
// nor a file where a dangling one points is written, and errno says why.
TEST_F(WriterLibraryTest, LinksAtTheMoviePathAreRefused) {
  const std::string victim = dir_ / "victim.txt", absent = dir_ / "absent.avi";
  WriteFile(victim, {'k', 'e', 'e', 'p'});
  for (const std::string& target : {victim, absent}) {
    std::filesystem::remove(movie_);
    ASSERT_EQ(symlink(target.c_str(), movie_.c_str()), 0);
    errno = 0;
    EXPECT_EQ(HandFrame(kMovieStart, Pattern(8, 8, 0)), 0);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_TRUE(std::filesystem::is_symlink(movie_));
  }
  EXPECT_EQ(ReadFile(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_FALSE(std::filesystem::exists(absent));
}

// A frame that cannot be added leaves the reason in errno; the movie is then finished
// without another frame and plays to the frame before.
TEST_F(WriterLibraryTest, FailedAppendSaysWhyAndTheMovieFinishesWithoutAFrame) {
  std::vector<Image> frames;
  for (int i = 0; i < 10; ++i) frames.push_back(Pattern(64, 64, i));
  const int added = InChildWithAlarm([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{60000, 60000};  // room for a few 12 KiB frames, not for ten
    setrlimit(RLIMIT_FSIZE, &limit);
    int count = 0;
    errno = 0;
    while (count < 10 && HandFrame(count == 0 ? kMovieStart : kMovieAppend, frames[count]) == 1) ++count;
    if (errno != EFBIG) return 100;
    params_.imageFile = nullptr;
    return bmpfile_(kMovieFinish, params_) == 1 ? count : 101;
  });
  ASSERT_GE(added, 2);
  ASSERT_LT(added, 10);
  frames.resize(size_t(added));
  ExpectMovie(frames);
}

TEST_F(WriterLibraryTest, FailedFirstWriteLeavesNoFile) {
  // A file size limit below the headers' size makes the very first write fail.
  EXPECT_EQ(InChildWithAlarm([&] {
              signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{1000, 1000};
              setrlimit(RLIMIT_FSIZE, &limit);
              return HandFrame(kMovieStart, Pattern(8, 8, 0));
            }), 0);
  EXPECT_FALSE(std::filesystem::exists(movie_));
}

// The path every long recording takes: past the real 1 GiB RIFF limit into a second
// RIFF. About 1.1 GB on disk for the length of the test.
TEST_F(WriterLibraryTest, MovieLargerThanOneGigabyteDecodesCompletely) {
  constexpr int kFrames = 180;  // 24-bit 1920x1080 frames: 1.12 GB, two RIFFs
  std::vector<Image> looks;
  for (int i = 0; i < 4; ++i) looks.push_back(Pattern(1920, 1080, i));
  for (int i = 0; i < kFrames; ++i)
    ASSERT_EQ(HandFrame(i == 0 ? kMovieStart : i + 1 == kFrames ? kMovieFinish : kMovieAppend,
                        looks[i % 4]), 1);
  EXPECT_GT(std::filesystem::file_size(movie_), 1ull << 30);
  const StreamFacts facts = Probe(movie_);
  EXPECT_EQ(facts.declaredFrames, kFrames);
  EXPECT_EQ(facts.decodedFrames, kFrames);
  int decoded = 0;
  DecodeEach(movie_, 1920, 1080, [&](const Image& frame) {
    EXPECT_TRUE(frame == looks[decoded % 4]) << decoded;
    ++decoded;
  });
  EXPECT_EQ(decoded, kFrames);
}

}  // namespace
}  // namespace avi2_test
