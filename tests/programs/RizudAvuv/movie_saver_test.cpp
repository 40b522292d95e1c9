// Saving edits through the real movie writer library (dlopen, MemoryToAvifile) and
// reading them back with the movie reader: frames exact, in the edited order, at the
// edited rate; saving over the opened movie; failures that leave the target alone.
#include "movie_saver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "test_movie.h"

namespace {

using editor::EditModel;
using editor::FrameCache;
using editor::FrameRate;
using movie_test::MovieShape;
using movie_test::Picture;
using testsupport::ScratchDir;

class MovieSaverTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    library_ = editor::WriterLibrary::LoadFile(AVI2_LIBRARY_PATH, &error).release();
    ASSERT_NE(library_, nullptr) << error;
  }

  std::unique_ptr<FrameCache> Open(const std::string& path, size_t capacity = 4) {
    std::string error;
    auto reader = movie::MovieReader::Open(path, &error);
    EXPECT_NE(reader, nullptr) << error;
    return reader ? std::make_unique<FrameCache>(std::move(reader), capacity) : nullptr;
  }

  bool Save(FrameCache& source, const EditModel& edit, const std::string& target,
            std::string* error) {
    return editor::SaveMovie(source, edit, target, *library_, nullptr, error);
  }

  // The movie at path holds exactly these source frames of shape, at this rate.
  void ExpectMovie(const std::string& path, const std::vector<int64_t>& frames, FrameRate rate) {
    auto saved = Open(path);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->Info().frameCount, static_cast<int64_t>(frames.size()));
    EXPECT_EQ(static_cast<int64_t>(saved->Info().rateNum) * rate.den,
              static_cast<int64_t>(rate.num) * saved->Info().rateDen);
    for (size_t i = 0; i < frames.size(); ++i) {
      std::string error;
      const movie::Frame* frame = saved->Get(static_cast<int64_t>(i), &error);
      ASSERT_NE(frame, nullptr) << error;
      EXPECT_TRUE(frame->rgb == Picture(shape_.width, shape_.height,
                                        static_cast<int>(frames[i])).rgb) << "position " << i;
    }
  }

  static FrameRate RateOfSource(const FrameCache& source) {
    return {source.Info().rateNum, source.Info().rateDen};
  }

  size_t FilesIn(const std::string& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                             std::filesystem::directory_iterator()));
  }

  static inline editor::WriterLibrary* library_ = nullptr;
  ScratchDir dir_;
  MovieShape shape_{.width = 21, .height = 14, .frames = 8};
  std::string movie_ = dir_ / "movie.avi";
};

TEST_F(MovieSaverTest, SavedMovieHoldsTheEditedFramesAtTheEditedRate) {
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  EditModel edit(8, FrameRate{10, 1});
  edit.MarkIn(1);
  edit.MarkOut(4);
  edit.PingPongRange();  // 0 1 2 3 4 3 2 5 6 7
  edit.MarkIn(7);
  edit.CutRange();       // 0 1 2 3 4 3 2
  edit.SetRate({25, 2});
  std::string error;
  std::vector<int64_t> progress;
  ASSERT_TRUE(editor::SaveMovie(*source, edit, dir_ / "out.avi", *library_,
                                [&](int64_t done, int64_t total) {
                                  EXPECT_EQ(total, 7);
                                  progress.push_back(done);
                                }, &error)) << error;
  EXPECT_EQ(progress, (std::vector<int64_t>{1, 2, 3, 4, 5, 6, 7}));
  ExpectMovie(dir_ / "out.avi", {0, 1, 2, 3, 4, 3, 2}, {25, 2});
}

TEST_F(MovieSaverTest, SavingOverTheOpenedMovieKeepsItsSourceReadable) {
  movie_test::WriteMovie(movie_, shape_);
  ASSERT_EQ(chmod(movie_.c_str(), 0640), 0);
  auto source = Open(movie_);
  EditModel edit(8, FrameRate{10, 1});
  edit.ReverseRange();
  std::string error;
  ASSERT_TRUE(Save(*source, edit, movie_, &error)) << error;
  ExpectMovie(movie_, {7, 6, 5, 4, 3, 2, 1, 0}, {10, 1});
  struct stat info;
  ASSERT_EQ(stat(movie_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(FilesIn(dir_.path()), 1u);  // no temporary file left

  // The opened source is still the movie as it was: undoing and saving again restores it.
  edit.Undo();
  ASSERT_TRUE(Save(*source, edit, movie_, &error)) << error;
  ExpectMovie(movie_, {0, 1, 2, 3, 4, 5, 6, 7}, {10, 1});
}

TEST_F(MovieSaverTest, SavingThroughALinkReplacesTheFileItLeadsTo) {
  movie_test::WriteMovie(movie_, shape_);
  const std::string link = dir_ / "link.avi";
  ASSERT_EQ(symlink(movie_.c_str(), link.c_str()), 0);
  auto source = Open(link);
  EditModel edit(8, FrameRate{10, 1});
  edit.MarkOut(5);
  edit.CutRange();
  std::string error;
  ASSERT_TRUE(Save(*source, edit, link, &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  ExpectMovie(movie_, {6, 7}, {10, 1});
}

TEST_F(MovieSaverTest, FrameThatCannotBeReadLeavesTheTargetAsItWas) {
  shape_ = MovieShape{.width = 160, .height = 120, .frames = 20};  // past the reader's buffer
  movie_test::WriteMovie(movie_, shape_);
  const std::string target = dir_ / "target.avi";
  avi2_test::WriteFile(target, {'k', 'e', 'e', 'p'});
  auto source = Open(movie_);
  // The source loses its second half after it was opened.
  ASSERT_EQ(truncate(movie_.c_str(), static_cast<off_t>(std::filesystem::file_size(movie_) / 2)),
            0);
  std::string error;
  EXPECT_FALSE(Save(*source, EditModel(20, FrameRate{10, 1}), target, &error));
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  EXPECT_EQ(avi2_test::ReadFile(target), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(FilesIn(dir_.path()), 2u);
}

// A recording whose writer was killed has no index; every frame it holds is edited.
TEST_F(MovieSaverTest, UnfinishedRecordingIsEditedAsFarAsItGoes) {
  shape_.finish = false;
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  ASSERT_EQ(source->Info().frameCount, 8);
  EditModel edit(source->Info().frameCount, RateOfSource(*source));
  edit.MarkIn(5);
  edit.KeepRange();
  edit.PingPongRange();
  std::string error;
  ASSERT_TRUE(Save(*source, edit, movie_, &error)) << error;
  ExpectMovie(movie_, {5, 6, 7, 6}, {10, 1});
}

TEST_F(MovieSaverTest, MissingFolderIsReported) {
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  std::string error;
  EXPECT_FALSE(Save(*source, EditModel(8, FrameRate{10, 1}), dir_ / "absent/out.avi", &error));
  EXPECT_NE(error.find("absent"), std::string::npos) << error;
}

TEST_F(MovieSaverTest, CacheKeepsOnlyTheRecentFrames) {
  movie_test::WriteMovie(movie_, shape_);
  auto cache = Open(movie_, 3);
  std::string error;
  for (int64_t index : {0, 5, 2, 7, 5, 1, 6, 0}) {
    const movie::Frame* frame = cache->Get(index, &error);
    ASSERT_NE(frame, nullptr) << error;
    EXPECT_TRUE(frame->rgb == Picture(shape_.width, shape_.height, static_cast<int>(index)).rgb)
        << index;
    EXPECT_LE(cache->Size(), 3u);
  }
  EXPECT_EQ(cache->Get(8, &error), nullptr);  // past the end
}

}  // namespace
