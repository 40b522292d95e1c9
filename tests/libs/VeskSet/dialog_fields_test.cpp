// The settings window's checks and texts, without the window: every field's range and
// the reason shown beside it, the movie path the program can hold, the picture search,
// and options presetting the fields over the remembered settings.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dialog_fields.h"
#include "scratch_dir.h"
#include "settings_parser.h"

namespace {

using veskset::Choices;
using veskset::DialogTexts;

TEST(VeskSetDialogFields, EachNumberFieldTakesItsRangeAndNamesIt) {
  struct Case {
    const char* text;
    int low, high;
    bool good;
  };
  const Case cases[] = {
      {"1", 1, 99999, true},        {"99999", 1, 99999, true},      {"0", 1, 99999, false},
      {"100000", 1, 99999, false},  {"", 1, 99999, false},          {"12a", 1, 99999, false},
      {" 5", 1, 99999, false},      {"+5", 1, 99999, false},        {"-1000", -1000, 1000, true},
      {"1000", -1000, 1000, true},  {"-1001", -1000, 1000, false},  {"99999999999999999999", 1, 9, false},
      {"100", 100, 16384, true},    {"16385", 100, 16384, false},
  };
  for (const Case& c : cases) {
    veskset::NumberField field = veskset::CheckNumber(c.text, c.low, c.high);
    if (c.good) {
      EXPECT_EQ(field.problem, "") << c.text;
      EXPECT_EQ(std::to_string(field.value), c.text);
    } else {
      EXPECT_EQ(field.problem, "a whole number from " + std::to_string(c.low) + " to " + std::to_string(c.high))
          << c.text;
    }
  }
}

TEST(VeskSetDialogFields, CheckDialogNamesEveryBadFieldAndKeepsTheGoodOnes) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  std::ofstream("earth.png") << "picture";
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "earth.png";
  texts.width = "99";
  texts.frames = "100000";
  texts.eyeHeight = "-1001";
  texts.movie = "no-such-folder/out";
  Choices choices;
  veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
  EXPECT_TRUE(problems.Any());
  EXPECT_EQ(problems.size, "width and height each a whole number from 100 to 16384");
  EXPECT_EQ(problems.frames, "a whole number from 1 to 99999");
  EXPECT_EQ(problems.eyeHeight, "a whole number from -1000 to 1000");
  EXPECT_EQ(problems.movie, "the folder no-such-folder does not exist");
  EXPECT_EQ(problems.picture, "");
  EXPECT_EQ(choices.texture, "earth.png");
  EXPECT_EQ(choices.frames, 64);  // bad fields leave what was there

  texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "earth.png";
  texts.movie = "out";
  texts.height = "1080";
  texts.width = "1920";
  texts.convert = true;
  texts.format = 2;
  problems = veskset::CheckDialog(texts, choices);
  EXPECT_FALSE(problems.Any());
  EXPECT_EQ(choices.movie, "out.avi");
  EXPECT_EQ(choices.format, veskset::kKeywordMpeg);
  EXPECT_EQ(veskset::PresetIndex(choices.width, choices.height), 4);
  // Without "convert" the format is not asked for.
  texts.convert = false;
  veskset::CheckDialog(texts, choices);
  EXPECT_EQ(choices.format, "");
}

TEST(VeskSetDialogFields, MoviePathMustFitTheProgramInCodePage932) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  EXPECT_EQ(veskset::WithAviExtension("globe"), "globe.avi");
  EXPECT_EQ(veskset::WithAviExtension("globe.AVI"), "globe.AVI");
  EXPECT_EQ(veskset::WithAviExtension("globe.avi.txt"), "globe.avi.txt.avi");

  // 地 takes two bytes in code page 932 and three in UTF-8: 65 of them and ".avi" make
  // 134 bytes, the most the program holds.
  std::string kanji;
  for (int i = 0; i < 65; ++i) kanji += "地";
  veskset::TextField fits = veskset::CheckMovie(kanji + ".avi");
  EXPECT_EQ(fits.problem, "");
  EXPECT_EQ(fits.cp932.size(), 134u);
  EXPECT_EQ(fits.cp932.substr(0, 2), "\x92\x6E");
  EXPECT_EQ(veskset::CheckMovie(kanji + "a.avi").problem,
            "too long: at most 134 bytes in code page 932, this takes 135");
  // An emoji travels as four escapes of two bytes each.
  EXPECT_EQ(veskset::CheckMovie("\xF0\x9F\x98\x80.avi").cp932.size(), 12u);
  EXPECT_EQ(veskset::CheckMovie("").problem, "name a file");
  std::filesystem::create_directory("movies.avi");
  EXPECT_EQ(veskset::CheckMovie("movies.avi").problem, "is a folder, not a file");
}

TEST(VeskSetDialogFields, PictureIsLookedForWhereTheProgramLooks) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  std::ofstream("地球.jpg") << "picture";
  veskset::TextField here = veskset::CheckPicture("地球.jpg");
  EXPECT_EQ(here.problem, "");
  EXPECT_EQ(here.cp932, "\x92\x6E\x8B\x85.jpg");
  EXPECT_EQ(here.info, "");  // where the name says
  // The bundled picture is found in the media folder the registry names, and the
  // window says where.
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", "/nonexistent", 1);  // the build tree shown without "~"
  veskset::TextField bundled = veskset::CheckPicture("globe.png");
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(bundled.problem, "");
  EXPECT_EQ(bundled.info, "found in " VESK_MEDIA_DIR);
  EXPECT_EQ(veskset::CheckPicture("mars.png").problem, "not found here or in the media folder");
  EXPECT_EQ(veskset::CheckPicture(std::string(260, 'a')).problem,
            "too long: at most 259 bytes in code page 932, this takes 260");
}

TEST(VeskSetDialogFields, TextsBesideTheFields) {
  EXPECT_EQ(veskset::MovieSizeText(640, 480, 64), "about 59.0 MB");
  EXPECT_EQ(veskset::MovieSizeText(100, 100, 1), "about 30.0 KB");
  EXPECT_EQ(veskset::MovieSizeText(100, 3, 1), "about 900 bytes");
  EXPECT_EQ(veskset::MovieSizeText(16384, 16384, 99999), "about 80.5 TB");
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", "/home/someone/", 1);
  EXPECT_EQ(veskset::MovieFolderText("/home/someone/Videos/globe.avi"), "in ~/Videos");
  EXPECT_EQ(veskset::MovieFolderText("/home/someone/globe.avi"), "in ~");
  EXPECT_EQ(veskset::MovieFolderText("/home/someoneelse/globe.avi"), "in /home/someoneelse");
  {
    testsupport::ScratchDir dir("veskset-dialog");
    testsupport::ScopedCwd cwd(dir.path());
    EXPECT_EQ(veskset::MovieFolderText("globe.avi"), "in " + std::filesystem::current_path().string());
  }
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(veskset::LengthText(64), "6.4 seconds at 10 frames per second");
  EXPECT_EQ(veskset::LengthText(1), "0.1 seconds at 10 frames per second");
  EXPECT_EQ(veskset::AngleText(0), "seen level with the equator");
  EXPECT_EQ(veskset::AngleText(1000), "seen from 85.1\u00B0 above the equator");
  EXPECT_EQ(veskset::AngleText(-100), "seen from 49.3\u00B0 below the equator");
}

TEST(VeskSetDialogFields, SmoothEdgesListShowsAndTakesEachSampleCount) {
  for (int i = 0; i < int(std::size(veskset::kAntialiasChoices)); ++i) {
    Choices choices;
    choices.antialias = veskset::kAntialiasChoices[i];
    veskset::DialogTexts texts = veskset::TextsFromChoices(choices);
    EXPECT_EQ(texts.antialias, i);
    Choices taken;
    veskset::CheckDialog(texts, taken);
    EXPECT_EQ(taken.antialias, choices.antialias);
  }
  EXPECT_EQ(veskset::kAntialiasNames[2], "4 samples");
  veskset::DialogTexts none = veskset::TextsFromChoices(Choices{});
  none.antialias = -1;  // no item chosen
  Choices taken;
  taken.antialias = 8;
  veskset::CheckDialog(none, taken);
  EXPECT_EQ(taken.antialias, 0);
}

TEST(VeskSetDialogFields, OptionsPresetFieldsOverTheRememberedSettings) {
  Choices remembered;
  remembered.frames = 12;
  remembered.spinForward = false;
  remembered.play = true;
  veskset::CommandLineIntent intent;
  std::string message;
  Choices choices = remembered;
  ASSERT_EQ(veskset::ParseOptions({"--dialog", "-s", "800x600"}, choices, intent, message),
            veskset::ParseResult::Filled);
  EXPECT_EQ(intent.dialog, veskset::DialogRequest::Always);
  EXPECT_TRUE(intent.recordingOptions);
  EXPECT_EQ(choices.width, 800);
  EXPECT_EQ(choices.frames, 12);  // not given: remembered
  EXPECT_FALSE(choices.spinForward);
  EXPECT_TRUE(choices.play);

  struct Case {
    std::vector<std::string> args;
    veskset::DialogRequest dialog;
    bool recordingOptions;
  };
  const Case cases[] = {
      {{}, veskset::DialogRequest::Automatic, false},
      {{"-n", "3"}, veskset::DialogRequest::Automatic, true},
      {{"--coarse"}, veskset::DialogRequest::Automatic, true},
      {{"--no-dialog"}, veskset::DialogRequest::Never, false},
      {{"--dialog", "--no-dialog"}, veskset::DialogRequest::Never, false},
      {{"--no-dialog", "--dialog"}, veskset::DialogRequest::Always, false},
  };
  for (const Case& c : cases) {
    veskset::CommandLineIntent seen;
    Choices ignored;
    ASSERT_EQ(veskset::ParseOptions(c.args, ignored, seen, message), veskset::ParseResult::Filled);
    EXPECT_EQ(seen.dialog, c.dialog) << testing::PrintToString(c.args);
    EXPECT_EQ(seen.recordingOptions, c.recordingOptions) << testing::PrintToString(c.args);
  }
  EXPECT_EQ(veskset::ParseOptions({"--dialog=yes"}, choices, intent, message), veskset::ParseResult::Invalid);
  EXPECT_EQ(message, "vesk: --dialog takes no value");
}

}  // namespace
