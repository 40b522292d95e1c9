// The remembered settings file: the round trip through a real file, and damaged,
// hostile and huge files, which must cost only the lines they spoil.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "file_text.h"
#include "scratch_dir.h"
#include "settings_file.h"
#include "settings_parser.h"

namespace {

using veskset::Choices;
using veskset::SettingsProblems;

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

Choices Unusual() {
  Choices choices;
  choices.movie = "\x92\x6E\x8B\x85/\x89\x66\x89\xE6 1.avi";  // 地球/映画 1.avi
  choices.texture = "pictures/mars.jpg";
  choices.width = 1280;
  choices.height = 720;
  choices.frames = 99999;
  choices.eyeHeight = -1000;
  choices.spinForward = false;
  choices.fineMesh = false;
  choices.chooseDevice = true;
  choices.play = true;
  choices.convert = true;
  choices.format = veskset::kKeywordMng;
  choices.loopTurns = 100;
  choices.tiltDegrees = -23.44;
  choices.pace = veskset::Pace::Live;
  choices.antialias = 8;
  return choices;
}

TEST(VeskSetSettingsFile, RoundTripThroughATemporaryFileRenamedIntoPlace) {
  testsupport::ScratchDir dir("veskset-file");
  std::string path = dir / "config/vesk/settings.ini";  // the folders do not exist yet
  std::string error;
  ASSERT_TRUE(veskset::WriteSettingsFile(path, Unusual(), error)) << error;

  // Only the file itself is left in its folder: the temporary one was renamed.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir / "config/vesk")) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"settings.ini"});
  // The file is UTF-8 for the user to read.
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("movie=地球/映画 1.avi\n"), std::string::npos) << text;

  Choices read;
  SettingsProblems problems = veskset::ReadSettingsFile(path, read);
  EXPECT_EQ(problems.skipped, 0) << problems.first;
  EXPECT_EQ(read, Unusual());

  EXPECT_NE(text.find("antialias=8\n"), std::string::npos) << text;
  // Writing again replaces the file whole.
  ASSERT_TRUE(veskset::WriteSettingsFile(path, Choices{}, error)) << error;
  Choices again = Unusual();
  veskset::ReadSettingsFile(path, again);
  EXPECT_EQ(again, Choices{});
}

TEST(VeskSetSettingsFile, MissingFileLeavesTheStartingValuesWithoutAWarning) {
  testsupport::ScratchDir dir("veskset-file");
  Choices choices = Unusual();
  SettingsProblems problems = veskset::ReadSettingsFile(dir / "none.ini", choices);
  EXPECT_EQ(problems.skipped, 0);
  EXPECT_EQ(choices, Unusual());
  EXPECT_EQ(veskset::SettingsWarning("vesk", dir / "none.ini", problems), "");
}

TEST(VeskSetSettingsFile, TruncatedFileKeepsTheLinesBeforeTheCut) {
  std::string text = veskset::SettingsText(Unusual());
  std::string cut = text.substr(0, text.find("eye-height=") + 3);  // ends in "eye"
  Choices choices;
  SettingsProblems problems;
  veskset::ApplySettingsText(cut, choices, problems);
  EXPECT_EQ(problems.skipped, 1);
  EXPECT_EQ(problems.first.rfind("line ", 0), 0u);
  EXPECT_NE(problems.first.find("not a key=value line"), std::string::npos) << problems.first;
  EXPECT_EQ(choices.movie, Unusual().movie);
  EXPECT_EQ(choices.frames, 99999);
  EXPECT_EQ(choices.eyeHeight, 0);     // from the cut line on: the defaults
  EXPECT_TRUE(choices.spinForward);
}

TEST(VeskSetSettingsFile, EachBadLineIsSkippedOnItsOwn) {
  const std::string bad[] = {
      "colour=blue",          "frames=0",          "frames=99999999999999999999",
      "size=99x480",          "size=640*480",      "eye-height=1e3",
      "spin=sideways",        "coarse=maybe",      "then=play,dance",
      "format=avi",           "movie=",            "texture=" + std::string(300, 'a'),
      "movie=a\tb.avi",      "just some words",   "movie=\xFF\xFEglobe.avi",
      "texture=\xC0\xAFx.png", "movie=\xED\xA0\x80.avi", "movie=a\xE6\x97.avi",
  };
  Choices defaults;
  for (const std::string& line : bad) {
    Choices choices;
    SettingsProblems problems;
    // A good line before and after: they still count.
    veskset::ApplySettingsText("[settings]\nframes=9\n" + line + "\r\nsize=800x600\n", choices, problems);
    EXPECT_EQ(problems.skipped, 1) << line;
    EXPECT_EQ(problems.first.rfind("line 3: ", 0), 0u) << problems.first;
    EXPECT_EQ(choices.frames, 9) << line;
    EXPECT_EQ(choices.width, 800) << line;
    choices.frames = defaults.frames;
    choices.width = defaults.width;
    choices.height = defaults.height;
    EXPECT_EQ(choices, defaults) << line;
  }
}

TEST(VeskSetSettingsFile, ValuesAreTrimmedAndInvalidUtf8IsSkipped) {
  Choices choices;
  SettingsProblems problems;
  veskset::ApplySettingsText("movie = x.avi \nframes = 100\nsize =\t800x600\t\ntexture= \xE5\x9C\xB0.png\n"
                             "movie=\x92\x6E.avi\n",
                             choices, problems);
  EXPECT_EQ(choices.movie, "x.avi");
  EXPECT_EQ(choices.frames, 100);
  EXPECT_EQ(choices.width, 800);
  EXPECT_EQ(choices.texture, "\x92\x6E.png");  // 地 read as UTF-8, kept in code page 932
  EXPECT_EQ(problems.skipped, 1);
  EXPECT_EQ(problems.first, "line 5: not UTF-8 text") << "CP932 bytes written by another program";
}

TEST(VeskSetSettingsFile, ManyBadLinesGiveOneWarningLine) {
  testsupport::ScratchDir dir("veskset-file");
  std::string path = dir / "settings.ini";
  WriteText(path, "; comment\n# another\nframes=7\nframes=0\nbogus\nspin=up\n\n");
  Choices choices;
  SettingsProblems problems = veskset::ReadSettingsFile(path, choices);
  EXPECT_EQ(choices.frames, 7);
  EXPECT_EQ(veskset::SettingsWarning("vesk", path, problems),
            "vesk: " + path +
                ": ignored 3 lines (line 4: frames must be a whole number from 1 to 99999, not '0')");
}

TEST(VeskSetSettingsFile, HugeFileIsIgnoredWholeBeforeItIsRead) {
  testsupport::ScratchDir dir("veskset-file");
  std::string path = dir / "settings.ini";
  // 100 MB, sparse: it costs no disk, but a reader that read it first would pay.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "frames=5\n", 9), 9);
  ASSERT_EQ(ftruncate(fd, 100 * 1000 * 1000), 0);
  close(fd);
  Choices choices;
  SettingsProblems problems = veskset::ReadSettingsFile(path, choices);
  EXPECT_EQ(choices, Choices{});
  EXPECT_EQ(veskset::SettingsWarning("vesk", path, problems),
            "vesk: " + path + ": ignored, larger than 64 KiB, which no settings file is");

  // Right at the limit it is still a settings file.
  std::string text = "frames=5\n";
  text.resize(veskset::kMaxSettingsFileBytes, '\n');
  WriteText(path, text);
  problems = veskset::ReadSettingsFile(path, choices);
  EXPECT_EQ(problems.skipped, 0);
  EXPECT_EQ(choices.frames, 5);
}

TEST(VeskSetSettingsFile, FolderOrPipeInPlaceOfTheFileIsRefusedWithoutWaiting) {
  testsupport::ScratchDir dir("veskset-file");
  fs::create_directory(dir / "folder.ini");
  ASSERT_EQ(mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
  for (const char* name : {"folder.ini", "pipe.ini"}) {
    Choices choices;
    SettingsProblems problems = veskset::ReadSettingsFile(dir / name, choices);
    EXPECT_EQ(problems.skipped, 1) << name;
    EXPECT_EQ(problems.first, "not a regular file") << name;
  }
}

TEST(VeskSetSettingsFile, UnwritableFolderIsReportedAndLeavesNothing) {
  testsupport::ScratchDir dir("veskset-file");
  WriteText(dir / "plain", "a file where the folder should be");
  std::string error;
  EXPECT_FALSE(veskset::WriteSettingsFile(dir / "plain/vesk/settings.ini", Choices{}, error));
  EXPECT_EQ(error.rfind("cannot make the folder " + dir / "plain/vesk", 0), 0u) << error;
}

}  // namespace

// A camera path belongs to one recording: it is not written, and not taken from the file.
TEST(VeskSetSettingsFile, CameraPathsAreNeverRemembered) {
  Choices choices = Unusual();
  choices.savePath = "steered.path";
  choices.path = "steered.path";
  std::string text = veskset::SettingsText(choices);
  EXPECT_EQ(text.find("path"), std::string::npos) << text;
  EXPECT_NE(text.find("turns=100\ntilt=-23.44\npace=live\n"), std::string::npos) << text;
  Choices read;
  SettingsProblems problems;
  veskset::ApplySettingsText("path=a.path\nsave-path=b.path\npace=\n", read, problems);
  EXPECT_EQ(problems.skipped, 2);
  EXPECT_EQ(problems.first, "line 1: unknown setting 'path'");
  EXPECT_EQ(read, Choices{});
}

// The look is remembered when chosen, and a file without it (as every file written
// before it existed) reads as the plain globe; its keys are written only when chosen.
TEST(VeskSetSettingsFile, TheLookIsRememberedOnlyWhenChosen) {
  testsupport::ScratchDir dir("veskset-file");
  std::string path = dir / "settings.ini", error;
  ASSERT_TRUE(veskset::WriteSettingsFile(path, Choices{}, error)) << error;
  std::string plain = testsupport::FileText(path);
  for (const char* key : {"sun=", "night=", "clouds=", "atmosphere="})
    EXPECT_EQ(plain.find(key), std::string::npos) << key;
  Choices look;
  look.sun = true;
  look.sunDegrees = 135;
  look.night = "\x96\xE9.png";  // 夜.png
  look.clouds = "clouds.png";
  look.atmosphere = true;
  ASSERT_TRUE(veskset::WriteSettingsFile(path, look, error)) << error;
  EXPECT_NE(testsupport::FileText(path).find("\nsun=135\nnight=夜.png\nclouds=clouds.png\natmosphere=yes\n"),
            std::string::npos);
  Choices read;
  SettingsProblems problems = veskset::ReadSettingsFile(path, read);
  EXPECT_EQ(problems.skipped, 0) << problems.first;
  EXPECT_EQ(read, look);
  // Empty values turn the parts off, as an edited file may say.
  WriteText(path, "[settings]\nsun=\nnight=\nclouds=\natmosphere=no\n");
  problems = veskset::ReadSettingsFile(path, read);
  EXPECT_EQ(problems.skipped, 0) << problems.first;
  EXPECT_FALSE(read.sun || read.atmosphere);
  EXPECT_TRUE(read.night.empty() && read.clouds.empty());
}
