// The settings window's checks and texts, without the window: every field's range and
// the reason shown beside it, the movie path the program can hold, the picture search,
// and options presetting the fields over the remembered settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dialog_fields.h"
#include "file_text.h"
#include "scratch_dir.h"
#include "settings_parser.h"

namespace {

using veskset::Choices;
using veskset::DialogTexts;

// A picture the program reads: a binary PPM of width x height, red growing to the right.
void WritePicture(const std::string& name, int width = 2, int height = 1) {
  std::ofstream out(name, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out << char(x * 255 / std::max(width - 1, 1)) << char(0) << char(0);
}

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
  WritePicture("earth.png");
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "earth.png";
  texts.width = "99";
  texts.height = "-";
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

  // A name the editor would get back changed is marked when the editor is asked for.
  texts.movie = "my  globe";
  EXPECT_EQ(veskset::CheckDialog(texts, choices).movie, "");
  texts.edit = true;
  EXPECT_NE(veskset::CheckDialog(texts, choices).movie.find("cannot be handed to the editor"), std::string::npos);
}

// Every format in the window's list maps to its keyword and back.
TEST(VeskSetDialogFields, FormatListRoundTripsEveryFormat) {
  const std::vector<std::string_view> keywords = {"GIF", "MNG", "MPEG", "MP4", "WEBM", "APNG", "WEBP"};
  ASSERT_EQ(std::size(veskset::kFormatChoices), keywords.size());
  for (size_t i = 0; i < keywords.size(); ++i) {
    Choices choices;
    choices.format = keywords[i];
    DialogTexts texts = veskset::TextsFromChoices(choices);
    EXPECT_EQ(texts.format, static_cast<int>(i));
    EXPECT_TRUE(texts.convert);
    Choices back;
    veskset::CheckDialog(texts, back);
    EXPECT_EQ(back.format, keywords[i]);
  }
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
  WritePicture("地球.jpg");
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

TEST(VeskSetDialogFields, TheWrongSizeFieldIsNamedWithItsWholeReason) {
  struct Case {
    const char *width, *height;
    bool badWidth, badHeight;
    const char* problem;
  };
  const Case cases[] = {
      {"640", "480", false, false, ""},
      {"99", "480", true, false, "width: a whole number from 100 to 16384"},
      {"640", "16385", false, true, "height: a whole number from 100 to 16384"},
      {"", "x", true, true, "width and height each a whole number from 100 to 16384"},
  };
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  WritePicture("earth.png");
  for (const Case& c : cases) {
    DialogTexts texts = veskset::TextsFromChoices(Choices{});
    texts.picture = "earth.png";
    texts.width = c.width;
    texts.height = c.height;
    Choices choices;
    veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
    EXPECT_EQ(problems.badWidth, c.badWidth) << c.width << "x" << c.height;
    EXPECT_EQ(problems.badHeight, c.badHeight) << c.width << "x" << c.height;
    EXPECT_EQ(problems.size, c.problem);
  }
}

TEST(VeskSetDialogFields, ASizeLargerThanTheScreenIsRecordedWholeAndSaysSo) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  WritePicture("earth.png");
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "earth.png";
  texts.width = "1920";
  texts.height = "1080";
  Choices choices;
  veskset::DialogProblems problems = veskset::CheckDialog(texts, choices, {1600, 1000});
  EXPECT_FALSE(problems.Any()) << "not refused: it is recorded whole";
  EXPECT_EQ(problems.sizeInfo, "larger than the screen: recorded whole, shown in part");
  EXPECT_EQ(choices.width, 1920);
  EXPECT_EQ(veskset::CheckDialog(texts, choices, {1920, 1080}).sizeInfo, "");
  EXPECT_EQ(veskset::CheckDialog(texts, choices).sizeInfo, "") << "an unknown screen says nothing";
}

TEST(VeskSetDialogFields, ThePictureMustDecodeAndIsShownSmall) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  std::ofstream("notes.png") << "not a picture at all\n";
  EXPECT_EQ(veskset::CheckPicture("notes.png").problem, "not a picture (JPEG, PNG, BMP, TGA, DDS or PPM)");
  // The bundled globe is a PNG: cut in half, it can no longer be decoded.
  std::string whole = testsupport::FileText(VESK_MEDIA_DIR "/globe.png");
  ASSERT_GT(whole.size(), 1000u);
  std::ofstream("cut.png", std::ios::binary) << whole.substr(0, whole.size() / 2);
  EXPECT_EQ(veskset::CheckPicture("cut.png").problem, "damaged or cut short: it cannot be decoded");
  // A truncated JPEG: its header is whole, its scan stops early.
  ASSERT_EQ(std::system("convert -size 64x64 plasma:fractal -quality 90 whole.jpg"), 0);
  std::string jpeg = testsupport::FileText("whole.jpg");
  ASSERT_GT(jpeg.size(), 200u);
  std::ofstream("cut.jpg", std::ios::binary) << jpeg.substr(0, jpeg.size() * 2 / 3);
  EXPECT_EQ(veskset::CheckPicture("cut.jpg").problem, "damaged or cut short: it cannot be decoded");
  EXPECT_EQ(veskset::CheckPicture("whole.jpg").problem, "");

  WritePicture("wide.ppm", 200, 50);
  veskset::Preview preview;
  EXPECT_EQ(veskset::CheckPicture("wide.ppm", &preview, 48).problem, "");
  ASSERT_EQ(preview.width, 48);
  ASSERT_EQ(preview.height, 12);
  ASSERT_EQ(preview.rgb.size(), 48u * 12 * 3);
  EXPECT_EQ(preview.rgb[0], 0);                     // the left edge is black
  EXPECT_GT(preview.rgb[47 * 3], 240);              // the right edge red
  EXPECT_EQ(preview.rgb[47 * 3 + 1], 0);

  // Through the whole window's check: a text file refuses "Record".
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "notes.png";
  Choices choices;
  veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
  EXPECT_TRUE(problems.Any());
  EXPECT_TRUE(problems.picturePreview.rgb.empty());
  texts.picture = "wide.ppm";
  problems = veskset::CheckDialog(texts, choices);
  EXPECT_FALSE(problems.Any());
  EXPECT_EQ(problems.picturePreview.width, veskset::kPreviewSide);
}

TEST(VeskSetDialogFields, TheMovieFolderMustTakeTheMovie) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  // A folder that exists but takes no new file, whoever runs the test (the reason is
  // "Permission denied" for a user, "Operation not permitted" for root).
  std::string locked = veskset::CheckMovie("/proc/self/globe.avi").problem;
  EXPECT_EQ(locked.rfind("cannot write in /proc/self: ", 0), 0u) << locked;
  EXPECT_GT(locked.size(), std::string("cannot write in /proc/self: ").size());
  EXPECT_EQ(veskset::CheckMovie("globe.avi").problem, "");
  // Far more than any disk holds.
  std::string tooBig = veskset::CheckMovie("globe.avi", uint64_t{1} << 62).problem;
  EXPECT_EQ(tooBig.rfind("only ", 0), 0u) << tooBig;
  EXPECT_NE(tooBig.find(" free in " + std::filesystem::current_path().string() + ", the movie takes about 4611686 TB"),
            std::string::npos)
      << tooBig;
}

TEST(VeskSetDialogFields, TheRealMovieNameIsShownAndATypedConversionIsOffered) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  WritePicture("earth.png");
  struct Case {
    const char* typed;
    const char* recorded;
    int format;
    const char* info;
  };
  const Case cases[] = {
      {"globe.avi", "globe.avi", -1, ""},
      {"globe", "globe.avi", -1, "recorded as globe.avi"},
      {"my globe.gif", "my globe.avi", 0, "recorded as my globe.avi"},
      {"Loop.MNG", "Loop.avi", 1, "recorded as Loop.avi"},
      {"clip.mpg", "clip.avi", 2, "recorded as clip.avi"},
      {"clip.mpeg", "clip.avi", 2, "recorded as clip.avi"},
      {".gif", ".gif.avi", -1, "recorded as .gif.avi"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(veskset::WithAviExtension(c.typed), c.recorded);
    EXPECT_EQ(veskset::FormatOfName(c.typed), c.format) << c.typed;
    DialogTexts texts = veskset::TextsFromChoices(Choices{});
    texts.picture = "earth.png";
    texts.movie = c.typed;
    Choices choices;
    veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
    EXPECT_EQ(problems.movieInfo, c.info) << c.typed;
    EXPECT_EQ(problems.movieFormat, c.format) << c.typed;
    EXPECT_EQ(choices.movie, c.recorded);
  }
  // A movie that is there already is replaced, and the note says so.
  std::ofstream("old.avi") << "movie";
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  texts.picture = "earth.png";
  texts.movie = "old";
  Choices choices;
  EXPECT_EQ(veskset::CheckDialog(texts, choices).movieInfo, "recorded as old.avi, replaces the movie there");
}

}  // namespace

namespace {

// The loop's turns matter only with the loop chosen; the tilt takes decimals; steering is
// the live pace, and leaving it unticked keeps a fast pace the options asked for.
TEST(VeskSetDialogFields, LoopTiltAndSteeringFieldsCheckTheirRangesAndFillTheChoices) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  WritePicture("globe.png");
  Choices start;
  start.loopTurns = 3;
  start.tiltDegrees = 23.44;
  start.pace = veskset::Pace::Live;
  DialogTexts texts = veskset::TextsFromChoices(start);
  EXPECT_TRUE(texts.loop);
  EXPECT_EQ(texts.turns, "3");
  EXPECT_EQ(texts.tilt, "23.44");
  EXPECT_TRUE(texts.steer);
  EXPECT_EQ(veskset::TextsFromChoices(Choices{}).turns, "1") << "the loop offers one turn when ticked";

  texts.turns = "101";
  texts.tilt = "-90.5";
  Choices choices = start;
  veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
  EXPECT_EQ(problems.turns, "a whole number from 1 to 100");
  EXPECT_EQ(problems.tilt, "degrees from -90 to 90");
  EXPECT_TRUE(problems.Any());
  EXPECT_EQ(choices.loopTurns, 3) << "bad fields leave what was there";

  texts.loop = false;  // the turns field no longer counts
  texts.tilt = "-90";
  texts.steer = false;
  problems = veskset::CheckDialog(texts, choices);
  EXPECT_FALSE(problems.Any()) << problems.turns;
  EXPECT_EQ(choices.loopTurns, 0);
  EXPECT_EQ(choices.tiltDegrees, -90.0);
  EXPECT_EQ(choices.pace, veskset::Pace::Unchosen);
  choices.pace = veskset::Pace::Fast;
  veskset::CheckDialog(texts, choices);
  EXPECT_EQ(choices.pace, veskset::Pace::Fast);
}

}  // namespace
// The "Look" group: a part turned on starts from its default, is checked and taken; a
// part turned off is left out whatever its fields hold.
TEST(VeskSetDialogFields, TheLookTakesThePartsThatAreOn) {
  testsupport::ScratchDir dir("veskset-dialog");
  testsupport::ScopedCwd cwd(dir.path());
  WritePicture("dark.png");
  DialogTexts texts = veskset::TextsFromChoices(Choices{});
  EXPECT_FALSE(texts.sun || texts.clouds || texts.atmosphere);
  EXPECT_EQ(texts.sunDegrees, "60");
  EXPECT_EQ(texts.night, "night.jpg");
  EXPECT_EQ(texts.cloudsFile, "clouds.png");
  texts.night = "missing.png";  // off: not looked at
  Choices choices;
  veskset::DialogProblems problems = veskset::CheckDialog(texts, choices);
  EXPECT_FALSE(problems.Any()) << problems.night;
  EXPECT_FALSE(choices.sun || choices.atmosphere);
  EXPECT_TRUE(choices.clouds.empty());

  texts.sun = true;
  texts.sunDegrees = "361";
  texts.clouds = true;  // the bundled clouds.png
  texts.atmosphere = true;
  problems = veskset::CheckDialog(texts, choices);
  EXPECT_EQ(problems.sunDegrees, "a whole number from 0 to 360");
  EXPECT_EQ(problems.night, "not found here or in the media folder");
  EXPECT_EQ(problems.clouds, "");
  EXPECT_TRUE(problems.Any());
  texts.sunDegrees = "90";
  texts.night = "dark.png";
  problems = veskset::CheckDialog(texts, choices);
  EXPECT_FALSE(problems.Any());
  EXPECT_TRUE(choices.sun && choices.atmosphere);
  EXPECT_EQ(choices.sunDegrees, 90);
  EXPECT_EQ(choices.night, "dark.png");
  EXPECT_EQ(choices.clouds, "clouds.png");
  EXPECT_EQ(veskset::TextsFromChoices(choices).night, "dark.png");
  EXPECT_EQ(veskset::SunText(90), "the right half in daylight");
  EXPECT_EQ(veskset::SunText(0), "the side in view in daylight");
  EXPECT_EQ(veskset::SunText(180), "the side in view at night");
  EXPECT_EQ(veskset::SunText(300), "the left side in daylight");
}
