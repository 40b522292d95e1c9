// The programs started after a complete recording, with stand-ins on PATH that write
// down their arguments: which programs start, in which order, with what arguments.
// Tests wait until every started stand-in has ended (at most 10 s: a bound, not a timing).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "child_processes.h"
#include "movie_output.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const char kPlay[] = "\x8D\xC4\x90\xB6";     // 再生
const char kEdit[] = "\x95\xD2\x8F\x57";     // 編集
const char kConvert[] = "\x95\xCF\x8A\xB7";  // 変換

class AfterRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(directory_ / "bin");
    for (const char* name : {"RizudAvuv.exe", "VoridEdadide.exe", "xdg-open"}) {
      fs::path script = directory_ / "bin" / name;
      std::ofstream(script) << "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"" << (directory_ / name).string()
                            << ".partial\" && mv \"" << (directory_ / name).string() << ".partial\" \""
                            << (directory_ / name).string() << "\"\n";
      chmod(script.c_str(), 0755);
    }
    oldPath_ = std::getenv("PATH");
    setenv("PATH", ((directory_ / "bin").string() + ":" + oldPath_).c_str(), 1);
    std::ofstream("my movie.avi") << "movie";  // the document the player opens
    capture_.finished = true;
    capture_.SetOutputPath("my movie.avi");
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
  }

  // The arguments each stand-in got, for those that ran, once all have ended.
  std::map<std::string, Args> Started() {
    EXPECT_TRUE(testsupport::WaitForChildProcesses());
    std::map<std::string, Args> started;
    for (const char* name : {"RizudAvuv.exe", "VoridEdadide.exe", "xdg-open"}) {
      std::ifstream in(directory_ / name, std::ios::binary);
      if (!in) continue;
      Args args;
      for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
      started[name] = args;
    }
    return started;
  }

  testsupport::ScratchDir scratch_{"vesk-after"};
  fs::path directory_ = scratch_.path();
  testsupport::ScopedCwd cwd_{scratch_.path()};
  std::string oldPath_;
  FrameCapture capture_;
};

TEST_F(AfterRecordingTest, PlayEditAndConvertAllStartWithTheMovieUnquoted) {
  std::string kinds = std::string(kPlay) + kEdit + kConvert;
  StartAfterRecordingPrograms(capture_, kinds.c_str());
  auto started = Started();
  EXPECT_EQ(started["xdg-open"].size(), 1u);
  EXPECT_EQ(started["RizudAvuv.exe"], (Args{"my", "movie.avi"}));
  EXPECT_EQ(started["VoridEdadide.exe"], (Args{"-i", "my", "movie.avi"}));
}

TEST_F(AfterRecordingTest, LastFormatKeywordWins) {
  std::string kinds = std::string(kConvert) + "GIF" + "MPEG";
  StartAfterRecordingPrograms(capture_, kinds.c_str());
  auto started = Started();
  EXPECT_EQ(started["VoridEdadide.exe"], (Args{"-i", "my", "movie.avi", "-MPEG1"}));
  EXPECT_EQ(started.size(), 1u);
}

// The formats people post are tested after GIF, MNG and MPEG: each wins over those
// three in either order, alone it gives its own switch, and among themselves the last
// tested (MP4, WEBM, APNG, WEBP) wins.
TEST_F(AfterRecordingTest, PostedFormatKeywordsWinOverGifMngAndMpeg) {
  const std::vector<std::pair<std::string, std::string>> posted = {
      {"MP4", "-MP4"}, {"WEBM", "-WEBM"}, {"APNG", "-APNG"}, {"WEBP", "-WEBP"}};
  for (const auto& [keyword, formatSwitch] : posted) {
    for (const std::string& kinds :
         {keyword, keyword + "GIF", "GIF" + keyword, keyword + "MNG", "MNG" + keyword, keyword + "MPEG",
          "MPEG" + keyword, std::string(kPlay) + kEdit + "MPEG" + keyword}) {
      SCOPED_TRACE(kinds);
      StartAfterRecordingPrograms(capture_, (std::string(kConvert) + kinds).c_str());
      auto started = Started();
      EXPECT_EQ(started["VoridEdadide.exe"], (Args{"-i", "my", "movie.avi", formatSwitch}));
      fs::remove(directory_ / "VoridEdadide.exe");
      fs::remove(directory_ / "RizudAvuv.exe");
      fs::remove(directory_ / "xdg-open");
    }
  }
  StartAfterRecordingPrograms(capture_, (std::string(kConvert) + "WEBPMP4").c_str());
  EXPECT_EQ(Started()["VoridEdadide.exe"], (Args{"-i", "my", "movie.avi", "-WEBP"}));
}

// Without 変換 no format starts the converter; 変換 in UTF-8 is no keyword either.
TEST_F(AfterRecordingTest, PostedFormatsNeedTheConvertKeywordInCodePage932) {
  for (const char* keyword : {"MP4", "WEBM", "APNG", "WEBP"}) {
    StartAfterRecordingPrograms(capture_, keyword);
    StartAfterRecordingPrograms(capture_, (std::string(kPlay) + keyword).c_str());
    StartAfterRecordingPrograms(capture_, (std::string("\xE5\xA4\x89\xE6\x8F\x9B") + keyword).c_str());  // 変換, UTF-8
  }
  auto started = Started();
  EXPECT_EQ(started.count("VoridEdadide.exe"), 0u);
}

TEST_F(AfterRecordingTest, MngAloneAndNoFormat) {
  StartAfterRecordingPrograms(capture_, (std::string(kConvert) + "MNG").c_str());
  EXPECT_EQ(Started()["VoridEdadide.exe"], (Args{"-i", "my", "movie.avi", "-MNG"}));
}

TEST_F(AfterRecordingTest, NothingStartsForNonAnUnfinishedRecordingOrAFormatWithoutConvert) {
  StartAfterRecordingPrograms(capture_, (std::string("non") + kPlay).c_str());
  StartAfterRecordingPrograms(capture_, "GIF");
  capture_.finished = false;
  StartAfterRecordingPrograms(capture_, kPlay);
  EXPECT_TRUE(Started().empty());
}

// Keywords are CP932 bytes: the same words in UTF-8 or EUC-JP are not keywords.
TEST_F(AfterRecordingTest, KeywordsWrittenInAnotherCodePageDoNotMatch) {
  StartAfterRecordingPrograms(capture_, "\xE5\x86\x8D\xE7\x94\x9F\xE7\xB7\xA8\xE9\x9B\x86");  // 再生編集, UTF-8
  StartAfterRecordingPrograms(capture_, "\xBA\xC6\xC0\xB8\xCA\xD4\xBD\xB8");  // 再生編集, EUC-JP
  EXPECT_TRUE(Started().empty());
}

// Without an opener the movie is not played, and one line says why (no box).
TEST_F(AfterRecordingTest, WithoutXdgOpenPlayingSaysWhyOnStandardError) {
  fs::remove(directory_ / "bin" / "xdg-open");
  setenv("PATH", (directory_ / "bin").c_str(), 1);
  testing::internal::CaptureStderr();
  StartAfterRecordingPrograms(capture_, kPlay);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vesk: cannot open 'my movie.avi': nothing opens it (xdg-open is not installed)\n");
  EXPECT_TRUE(Started().empty());
}

TEST_F(AfterRecordingTest, ShellSyntaxInThePathArrivesAsPlainText) {
  capture_.SetOutputPath("a;b$(touch_x)`id`.avi");
  StartAfterRecordingPrograms(capture_, kEdit);
  EXPECT_EQ(Started()["RizudAvuv.exe"], (Args{"a;b$(touch_x)`id`.avi"}));
}

}  // namespace
