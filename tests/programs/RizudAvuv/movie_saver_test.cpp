// Saving edits through the real movie writer library (dlopen, MemoryToAvifile) and
// reading them back with the movie reader: frames exact, in the edited order, at the
// edited rate; saving over the opened movie; failures that leave the target alone.
#include "movie_saver.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "export_job.h"
#include "scratch_dir.h"
#include "stop_signals.h"
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

  // The temporary files of saves and exports in the folder.
  std::vector<std::string> TemporaryFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      if (entry.path().filename().string().rfind(".RizudAvuv", 0) == 0) names.push_back(entry.path());
    return names;
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

// Another user swaps the temporary file for a link to a file of theirs while the movie
// is written: the save fails, and neither that file nor the target is changed.
TEST_F(MovieSaverTest, ATemporaryFileReplacedDuringTheSaveIsNeverPutInPlace) {
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  const std::string victim = dir_ / "victim.txt";
  std::ofstream(victim) << "keep me";
  std::string error;
  const bool saved = editor::SaveMovie(*source, EditModel(8, FrameRate{10, 1}), movie_, *library_,
                                       [&](int64_t done, int64_t) {
                                         if (done != 1) return;
                                         for (const std::string& file : TemporaryFiles()) {
                                           unlink(file.c_str());
                                           ASSERT_EQ(symlink(victim.c_str(), file.c_str()), 0);
                                         }
                                       }, &error);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("was replaced while the movie was written"), std::string::npos) << error;
  EXPECT_EQ(avi2_test::ReadFile(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  ExpectMovie(movie_, {0, 1, 2, 3, 4, 5, 6, 7}, {10, 1});
}

// A full disk (a file size limit here) is named as the reason a save failed.
TEST_F(MovieSaverTest, AFailedSaveSaysWhyTheWriterRefused) {
  shape_ = MovieShape{.width = 160, .height = 120, .frames = 20};
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{300000, 300000};  // a few of the 57 KB frames
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    Save(*source, EditModel(20, FrameRate{10, 1}), dir_ / "out.avi", &error);
    _exit(write(pipeEnds[1], error.data(), error.size()) >= 0 ? 0 : 1);
  }
  close(pipeEnds[1]);
  char text[512] = {};
  ASSERT_GT(read(pipeEnds[0], text, sizeof text - 1), 0);
  close(pipeEnds[0]);
  waitpid(child, nullptr, 0);
  EXPECT_NE(std::string(text).find("the movie writer refused frame "), std::string::npos) << text;
  EXPECT_NE(std::string(text).find(": File too large"), std::string::npos) << text;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.avi"));
  EXPECT_TRUE(TemporaryFiles().empty());
}

// A stop signal during a save ends the editor as it would, without its temporary file.
TEST_F(MovieSaverTest, AStopSignalDuringASaveRemovesTheTemporaryFile) {
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  for (int stop : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = fork();
    if (child == 0) {
      editor::CatchStopSignals();
      std::string error;
      editor::SaveMovie(*source, EditModel(8, FrameRate{10, 1}), dir_ / "out.avi", *library_,
                        [stop](int64_t done, int64_t) {
                          if (done == 2) raise(stop);
                        }, &error);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == stop) << status;
    EXPECT_TRUE(TemporaryFiles().empty()) << stop;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.avi"));
  }
}

TEST_F(MovieSaverTest, SaveAsProposesANameThatIsNotTaken) {
  EXPECT_EQ(editor::EditedCopyName(movie_), dir_ / "movie-edited.avi");
  std::ofstream(dir_ / "movie-edited.avi") << "taken";
  EXPECT_EQ(editor::EditedCopyName(movie_), dir_ / "movie-edited-2.avi");
  EXPECT_EQ(editor::EditedCopyName(dir_ / "clip"), dir_ / "clip-edited.avi");
}

// Export converts the edit as it stands without saving it over the opened movie: an
// unsaved edit goes through a temporary movie, removed when the job ends; the converter
// is told to write only the format's file beside the movie.
TEST_F(MovieSaverTest, ExportLeavesTheOpenedMovieAsItWas) {
  movie_test::WriteMovie(movie_, shape_);
  auto source = Open(movie_);
  const std::string record = dir_ / "argv";
  setenv("ARGV_RECORDER_OUT", record.c_str(), 1);
  for (bool edited : {false, true}) {
    EditModel edit(8, FrameRate{10, 1});
    if (edited) {
      edit.MarkOut(3);
      edit.KeepRange();
    }
    std::string error;
    auto job = editor::ExportJob::Start(*source, edit, movie_, editor::ExportFormat::Gif, library_, ARGV_RECORDER,
                                        &error);
    ASSERT_NE(job, nullptr) << error;
    int status = 0;
    ASSERT_EQ(waitpid(job->Child(), &status, 0), job->Child());
    std::ifstream in(record, std::ios::binary);
    std::string words{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string expectedStart = std::string("-o") + '\0' + (dir_ / "movie.gif") + '\0' + "-i" + '\0';
    ASSERT_EQ(words.rfind(expectedStart, 0), 0u) << words;
    const std::string input = words.substr(expectedStart.size(), words.find('\0', expectedStart.size()) - expectedStart.size());
    if (edited) {
      EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{input});
      ExpectMovie(input, {0, 1, 2, 3}, {10, 1});
    } else {
      EXPECT_EQ(input, movie_);
    }
    job.reset();
    EXPECT_TRUE(TemporaryFiles().empty());
    ExpectMovie(movie_, {0, 1, 2, 3, 4, 5, 6, 7}, {10, 1});
  }
  unsetenv("ARGV_RECORDER_OUT");
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
