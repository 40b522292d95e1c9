// Table-driven tests of the settings parser: defaults, every option in each spelling,
// range edges, CP932 file names and their room, the outputKinds keyword bytes for every
// --then/--format combination, and the exact complaint for each bad command line.
#include "settings_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "VeskSet.h"
#include "win32ext.h"

namespace {

using veskset::ParseResult;
using veskset::ParseSettings;

// The keyword bytes the program's after-recording step searches for, written out here
// independently of the parser's own constants.
const std::string kPlay = "\x8D\xC4\x90\xB6";     // 再生
const std::string kEdit = "\x95\xD2\x8F\x57";     // 編集
const std::string kConvert = "\x95\xCF\x8A\xB7";  // 変換

struct Parsed {
  ParseResult result;
  RecordingSettings settings;
  std::string message;
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed parsed;
  std::memset(&parsed.settings, 0xAA, sizeof parsed.settings);  // as uninitialised storage
  parsed.result = ParseSettings(args, parsed.settings, parsed.message);
  return parsed;
}

template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  ASSERT_LT(text.size(), N);
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size());
}

RecordingSettings Defaults() {
  RecordingSettings settings;
  std::memset(&settings, 0, sizeof settings);
  SetText(settings.movieFile, "globe.avi");
  SetText(settings.textureFile, "globe.png");
  settings.width = 640;
  settings.height = 480;
  settings.frameCount = 64;
  settings.eyeHeight = 0;
  settings.spinForward = 1;
  settings.highTessellation = 1;
  settings.chooseDevice = 0;
  SetText(settings.outputKinds, "non");
  return settings;
}

std::string Hex(const void* data, size_t size) {
  std::string out;
  char digits[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", static_cast<const unsigned char*>(data)[i]);
    out += digits;
  }
  return out;
}

// Compares whole records, so a change to one field shows up as well as a stray write.
void ExpectRecord(const RecordingSettings& expected, const RecordingSettings& actual) {
  EXPECT_EQ(Hex(&expected, sizeof expected), Hex(&actual, sizeof actual));
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

TEST(VeskSetParser, NoArgumentsGiveTheDefaultsInEveryByte) {
  Parsed parsed = Parse({});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  EXPECT_EQ(parsed.message, "");
  ExpectRecord(Defaults(), parsed.settings);
}

struct OptionCase {
  std::vector<std::string> args;
  std::function<void(RecordingSettings&)> change;  // applied to the defaults
};

TEST(VeskSetParser, EveryOptionInEverySpelling) {
  const std::vector<OptionCase> cases = {
      {{"-o", "out.avi"}, [](auto& s) { SetText(s.movieFile, "out.avi"); }},
      {{"-oout.avi"}, [](auto& s) { SetText(s.movieFile, "out.avi"); }},
      {{"--movie", "out.avi"}, [](auto& s) { SetText(s.movieFile, "out.avi"); }},
      {{"--movie=out.avi"}, [](auto& s) { SetText(s.movieFile, "out.avi"); }},
      {{"--movie=a=b.avi"}, [](auto& s) { SetText(s.movieFile, "a=b.avi"); }},
      {{"--movie", "-n"}, [](auto& s) { SetText(s.movieFile, "-n"); }},
      {{"-o", "dir with space/m.avi"},
       [](auto& s) { SetText(s.movieFile, "dir with space/m.avi"); }},
      {{"-t", "earth.jpg"}, [](auto& s) { SetText(s.textureFile, "earth.jpg"); }},
      {{"-tearth.jpg"}, [](auto& s) { SetText(s.textureFile, "earth.jpg"); }},
      {{"--texture", "earth.jpg"}, [](auto& s) { SetText(s.textureFile, "earth.jpg"); }},
      {{"--texture=earth.jpg"}, [](auto& s) { SetText(s.textureFile, "earth.jpg"); }},
      {{"-s", "320x200"}, [](auto& s) { s.width = 320, s.height = 200; }},
      {{"-s320x200"}, [](auto& s) { s.width = 320, s.height = 200; }},
      {{"--size", "320x200"}, [](auto& s) { s.width = 320, s.height = 200; }},
      {{"--size=1920x1080"}, [](auto& s) { s.width = 1920, s.height = 1080; }},
      {{"-n", "3"}, [](auto& s) { s.frameCount = 3; }},
      {{"-n3"}, [](auto& s) { s.frameCount = 3; }},
      {{"--frames", "3"}, [](auto& s) { s.frameCount = 3; }},
      {{"--frames=007"}, [](auto& s) { s.frameCount = 7; }},
      {{"--eye-height", "-20"}, [](auto& s) { s.eyeHeight = -20; }},
      {{"--eye-height=20"}, [](auto& s) { s.eyeHeight = 20; }},
      {{"--eye-height=-0"}, [](auto& s) { s.eyeHeight = 0; }},
      {{"--spin", "backward"}, [](auto& s) { s.spinForward = 0; }},
      {{"--spin=backward"}, [](auto& s) { s.spinForward = 0; }},
      {{"--spin", "forward"}, [](auto&) {}},
      {{"--spin=backward", "--spin=forward"}, [](auto&) {}},
      {{"--coarse"}, [](auto& s) { s.highTessellation = 0; }},
      {{"--choose-device"}, [](auto& s) { s.chooseDevice = 1; }},
      {{"--then", "play"}, [](auto& s) { SetText(s.outputKinds, kPlay); }},
      {{"--then=edit"}, [](auto& s) { SetText(s.outputKinds, kEdit); }},
      {{"--format", "gif"}, [](auto& s) { SetText(s.outputKinds, kConvert + "GIF"); }},
      {{"--format=mng"}, [](auto& s) { SetText(s.outputKinds, kConvert + "MNG"); }},
      // Repeated options: the last one counts, --then included.
      {{"-n", "5", "--frames=9"}, [](auto& s) { s.frameCount = 9; }},
      {{"-o", "a.avi", "-o", "b.avi"}, [](auto& s) { SetText(s.movieFile, "b.avi"); }},
      {{"--then", "play,edit", "--then", "convert"},
       [](auto& s) { SetText(s.outputKinds, kConvert); }},
      {{"--format=gif", "--format=mpeg"},
       [](auto& s) { SetText(s.outputKinds, kConvert + "MPEG"); }},
      {{"-n", "3", "-o", "out.avi", "-s", "800x600", "--coarse", "--choose-device", "--spin",
        "backward", "--eye-height", "-5", "-t", "x.png", "--then", "edit"},
       [](auto& s) {
         s.frameCount = 3, s.width = 800, s.height = 600, s.highTessellation = 0;
         s.chooseDevice = 1, s.spinForward = 0, s.eyeHeight = -5;
         SetText(s.movieFile, "out.avi");
         SetText(s.textureFile, "x.png");
         SetText(s.outputKinds, kEdit);
       }},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Parsed parsed = Parse(c.args);
    ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
    RecordingSettings expected = Defaults();
    c.change(expected);
    ExpectRecord(expected, parsed.settings);
  }
}

struct RangeCase {
  std::vector<std::string> args;
  bool accepted;
};

TEST(VeskSetParser, RangesAreInclusiveAtTheirEdges) {
  const std::vector<RangeCase> cases = {
      {{"-s", "100x100"}, true},
      {{"-s", "16384x16384"}, true},
      {{"-s", "99x480"}, false},
      {{"-s", "640x99"}, false},
      {{"-s", "16385x480"}, false},
      {{"-s", "640x16385"}, false},
      {{"-n", "1"}, true},
      {{"-n", "99999"}, true},
      {{"-n", "0"}, false},
      {{"-n", "100000"}, false},
      {{"-n", "-1"}, false},
      {{"-n", "99999999999999999999999"}, false},
      {{"--eye-height", "-1000"}, true},
      {{"--eye-height", "1000"}, true},
      {{"--eye-height", "-1001"}, false},
      {{"--eye-height", "1001"}, false},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.result, c.accepted ? ParseResult::Filled : ParseResult::Invalid)
        << parsed.message;
  }
  Parsed edge = Parse({"-s", "16384x100", "-n", "99999", "--eye-height", "-1000"});
  ASSERT_EQ(edge.result, ParseResult::Filled);
  EXPECT_EQ(edge.settings.width, 16384);
  EXPECT_EQ(edge.settings.height, 100);
  EXPECT_EQ(edge.settings.frameCount, 99999);
  EXPECT_EQ(edge.settings.eyeHeight, -1000);
}

struct BadCase {
  std::vector<std::string> args;
  std::string message;
};

TEST(VeskSetParser, BadCommandLinesNameTheOptionAndWhatIsAllowed) {
  const std::vector<BadCase> cases = {
      {{"--bogus"}, "vesk: unknown option '--bogus' (see --help for the options)"},
      {{"--bogus=3"}, "vesk: unknown option '--bogus' (see --help for the options)"},
      {{"-x"}, "vesk: unknown option '-x' (see --help for the options)"},
      {{"-xyz"}, "vesk: unknown option '-xyz' (see --help for the options)"},
      {{"--Frames", "3"}, "vesk: unknown option '--Frames' (see --help for the options)"},
      {{"out.avi"},
       "vesk: unexpected argument 'out.avi'; settings are given as options (see --help)"},
      {{"-"}, "vesk: unexpected argument '-'; settings are given as options (see --help)"},
      {{"--"}, "vesk: unexpected argument '--'; settings are given as options (see --help)"},
      {{"-n"}, "vesk: -n needs a value: a whole number from 1 to 99999"},
      {{"--frames"}, "vesk: --frames needs a value: a whole number from 1 to 99999"},
      {{"--movie"},
       "vesk: --movie needs a value: a file name of at most 259 bytes in code page 932"},
      {{"--size"}, "vesk: --size needs a value: WIDTHxHEIGHT with each from 100 to 16384"},
      {{"--eye-height"}, "vesk: --eye-height needs a value: a whole number from -1000 to 1000"},
      {{"--spin"}, "vesk: --spin needs a value: forward or backward"},
      {{"--then"}, "vesk: --then needs a value: play, edit and convert, comma separated"},
      {{"--format"}, "vesk: --format needs a value: gif, mng, mpeg, mp4, webm, apng or webp"},
      {{"--coarse=1"}, "vesk: --coarse takes no value"},
      {{"--choose-device=yes"}, "vesk: --choose-device takes no value"},
      {{"--help=me"}, "vesk: --help takes no value"},
      {{"-hx"}, "vesk: -h takes no value"},
      {{"-n", "0"}, "vesk: -n must be a whole number from 1 to 99999, not '0'"},
      {{"--frames=100000"}, "vesk: --frames must be a whole number from 1 to 99999, not '100000'"},
      {{"--frames", "3.5"}, "vesk: --frames must be a whole number from 1 to 99999, not '3.5'"},
      {{"--frames", "+3"}, "vesk: --frames must be a whole number from 1 to 99999, not '+3'"},
      {{"--frames", " 3"}, "vesk: --frames must be a whole number from 1 to 99999, not ' 3'"},
      {{"--frames", "3 "}, "vesk: --frames must be a whole number from 1 to 99999, not '3 '"},
      {{"--frames", ""}, "vesk: --frames must be a whole number from 1 to 99999, not ''"},
      {{"--frames="}, "vesk: --frames must be a whole number from 1 to 99999, not ''"},
      {{"--eye-height", "1001"},
       "vesk: --eye-height must be a whole number from -1000 to 1000, not '1001'"},
      {{"-s", "640"}, "vesk: -s must be WIDTHxHEIGHT with each from 100 to 16384, not '640'"},
      {{"--size", "640x"},
       "vesk: --size must be WIDTHxHEIGHT with each from 100 to 16384, not '640x'"},
      {{"--size", "x480"},
       "vesk: --size must be WIDTHxHEIGHT with each from 100 to 16384, not 'x480'"},
      {{"--size", "640X480"},
       "vesk: --size must be WIDTHxHEIGHT with each from 100 to 16384, not '640X480'"},
      {{"--size", "640x480x2"},
       "vesk: --size must be WIDTHxHEIGHT with each from 100 to 16384, not '640x480x2'"},
      {{"--size=99x480"},
       "vesk: --size must be WIDTHxHEIGHT with each from 100 to 16384, not '99x480'"},
      {{"--spin", "left"}, "vesk: --spin must be forward or backward, not 'left'"},
      {{"--spin", "Forward"}, "vesk: --spin must be forward or backward, not 'Forward'"},
      {{"--then", "burn"},
       "vesk: --then must be play, edit and convert, comma separated, not 'burn'"},
      {{"--then", "play,"},
       "vesk: --then must be play, edit and convert, comma separated, not 'play,'"},
      {{"--then", ",play"},
       "vesk: --then must be play, edit and convert, comma separated, not ',play'"},
      {{"--then", "play,,edit"},
       "vesk: --then must be play, edit and convert, comma separated, not 'play,,edit'"},
      {{"--then", "play edit"},
       "vesk: --then must be play, edit and convert, comma separated, not 'play edit'"},
      {{"--then="}, "vesk: --then must be play, edit and convert, comma separated, not ''"},
      {{"--format", "avi"}, "vesk: --format must be gif, mng, mpeg, mp4, webm, apng or webp, not 'avi'"},
      {{"--format", "GIF"}, "vesk: --format must be gif, mng, mpeg, mp4, webm, apng or webp, not 'GIF'"},
      {{"-o", ""}, "vesk: -o must name a file, not an empty text"},
      {{"--movie="}, "vesk: --movie must name a file, not an empty text"},
      {{"--texture", ""}, "vesk: --texture must name a file, not an empty text"},
      // The first bad argument is the one reported.
      {{"-n", "0", "--size", "1x1"}, "vesk: -n must be a whole number from 1 to 99999, not '0'"},
      // A bad option before --help still ends the run as an error.
      {{"--frames", "0", "--help"},
       "vesk: --frames must be a whole number from 1 to 99999, not '0'"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.result, ParseResult::Invalid);
    EXPECT_EQ(parsed.message, c.message);
  }
}

TEST(VeskSetParser, RejectedCommandLineStillWritesEveryByte) {
  Parsed parsed = Parse({"--bogus"});
  ASSERT_EQ(parsed.result, ParseResult::Invalid);
  RecordingSettings zero;
  std::memset(&zero, 0, sizeof zero);
  ExpectRecord(zero, parsed.settings);
}

TEST(VeskSetParser, EchoedValuesStayOnOneShortLine) {
  Parsed parsed = Parse({"--spin", "for\nward\x7f"});
  ASSERT_EQ(parsed.result, ParseResult::Invalid);
  EXPECT_EQ(parsed.message, "vesk: --spin must be forward or backward, not 'for\\x0award\\x7f'");

  // A long value is cut at a character boundary: 63 ASCII bytes, then a three-byte
  // character that would straddle the 64-byte limit.
  std::string value = std::string(63, 'a') + "地" + std::string(1000, 'b');
  parsed = Parse({"--format", value});
  ASSERT_EQ(parsed.result, ParseResult::Invalid);
  EXPECT_EQ(parsed.message,
            "vesk: --format must be gif, mng, mpeg, mp4, webm, apng or webp, not '" + std::string(63, 'a') + "...'");
}

TEST(VeskSetParser, HelpAndVersionStopWithTheirTexts) {
  std::string message;
  RecordingSettings settings;
  ASSERT_EQ(ParseSettings({"--help"}, settings, message, "vesk"), ParseResult::Stop);
  EXPECT_EQ(message.rfind("Usage: vesk [options]\n", 0), 0u) << message;
  for (const char* option :
       {"--movie", "--texture", "--size", "--frames", "--eye-height", "--spin", "--coarse",
        "--choose-device", "--then", "--format", "--dialog", "--no-dialog", "--help", "--version",
        "settings.ini", "Without a display"}) {
    EXPECT_NE(message.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(message.back(), '\n');
  // The ranges, defaults and lengths, as the checks apply them.
  for (const char* line :
       {"\n  -o, --movie FILE      movie file to write (default globe.avi)\n",
        "\n                        folders (default globe.png)\n",
        "\n  -s, --size WxH        window client size, each side 100 to 16384 (default 640x480)\n",
        "\n  -n, --frames N        frames to record, 1 to 99999 (default 64)\n",
        "\n      --eye-height N    camera height, -1000 to 1000, in steps of 0.0349 globe radii\n"
        "                        above the equator plane (default 0)\n",
        "\nFile names may take at most 259 bytes once in code page 932; vesk itself records\n"
        "into movie paths of at most 134 bytes.\n"}) {
    EXPECT_NE(message.find(line), std::string::npos) << line;
  }

  Parsed help = Parse({"-h"});
  EXPECT_EQ(help.result, ParseResult::Stop);
  EXPECT_EQ(help.message, message);

  // --help ends parsing: what follows it is not looked at.
  Parsed helpFirst = Parse({"--help", "--bogus"});
  EXPECT_EQ(helpFirst.result, ParseResult::Stop);
  EXPECT_EQ(helpFirst.message, message);

  ASSERT_EQ(ParseSettings({"--version"}, settings, message, "prog"), ParseResult::Stop);
  EXPECT_EQ(message, "prog (VeskSet settings library) 1.0.0\n");
}

TEST(VeskSetParser, FileNamesAreStoredInCodePage932) {
  Parsed parsed = Parse({"-o", "地球/表.avi", "--texture=ｶﾞ～①.png"});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  // 地 92 6E, 球 8B 85, 表 95 5C (its trail byte is the ASCII backslash).
  EXPECT_EQ(Field(parsed.settings.movieFile, 260), "\x92\x6E\x8B\x85/\x95\x5C.avi");
  // Half-width ｶ B6 and ﾞ DE take one byte each; ～ 81 60; ① 87 40 (an NEC extension).
  EXPECT_EQ(Field(parsed.settings.textureFile, 260), "\xB6\xDE\x81\x60\x87\x40.png");
  // The tail after the text is zero.
  for (size_t i = 11; i < 260; ++i) ASSERT_EQ(parsed.settings.movieFile[i], 0) << i;
}

// Names CP932 cannot hold are carried through its escapes and come back unchanged.
TEST(VeskSetParser, TextOutsideCodePage932IsCarriedThroughEscapes) {
  for (const char* name : {"globe\xF0\x9F\x98\x80.avi", "\xE2\x82\xAC.avi", "bad\xFF.avi", "cut\xE5\x9C"}) {
    SCOPED_TRACE(::testing::PrintToString(name));
    Parsed parsed = Parse({"-o", name});
    ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
    EXPECT_EQ(win32ext::Cp932ToUtf8(Field(parsed.settings.movieFile, 260)), std::string(name));
  }
}

TEST(VeskSetParser, FileNamesFillTheirFieldExactlyButNoFurther) {
  for (const char* option : {"--movie", "--texture"}) {
    SCOPED_TRACE(option);
    std::string fits(259, 'a');
    Parsed parsed = Parse({option, fits});
    ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
    const char* field =
        std::string(option) == "--movie" ? parsed.settings.movieFile : parsed.settings.textureFile;
    EXPECT_EQ(Field(field, 260), fits);
    EXPECT_EQ(field[259], '\0');

    parsed = Parse({option, fits + "a"});
    EXPECT_EQ(parsed.result, ParseResult::Invalid);
    EXPECT_EQ(parsed.message,
              "vesk: " + std::string(option) +
                  " must be a file name of at most 259 bytes in code page 932; this one takes 260");
  }

  // The room is counted in CP932 bytes, not in the UTF-8 that arrives: 129 kanji are 387
  // bytes of UTF-8 but 258 of CP932.
  std::string kanji;
  for (int i = 0; i < 129; ++i) kanji += "地";
  Parsed parsed = Parse({"-o", kanji + "a"});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  EXPECT_EQ(strnlen(parsed.settings.movieFile, 260), 259u);
  EXPECT_EQ(static_cast<unsigned char>(parsed.settings.movieFile[257]), 0x6E);

  parsed = Parse({"-o", kanji + "地"});
  EXPECT_EQ(parsed.result, ParseResult::Invalid);
  EXPECT_EQ(
      parsed.message,
      "vesk: -o must be a file name of at most 259 bytes in code page 932; this one takes 260");
}

TEST(VeskSetParser, KeywordConstantsAreTheCodePage932Words) {
  EXPECT_EQ(win32ext::Utf8ToCp932("再生"), std::string(veskset::kKeywordPlay));
  EXPECT_EQ(win32ext::Utf8ToCp932("編集"), std::string(veskset::kKeywordEdit));
  EXPECT_EQ(win32ext::Utf8ToCp932("変換"), std::string(veskset::kKeywordConvert));
  EXPECT_EQ(std::string(veskset::kKeywordPlay), kPlay);
  EXPECT_EQ(std::string(veskset::kKeywordEdit), kEdit);
  EXPECT_EQ(std::string(veskset::kKeywordConvert), kConvert);
}

// Every subset of --then with every --format (or none): the exact bytes, and, since the
// program matches keywords anywhere in the text, that no other keyword appears by
// accident across the joins.
TEST(VeskSetParser, OutputKindsForEveryThenAndFormatCombination) {
  struct Format {
    const char* option;  // null: no --format
    std::string keyword;
  };
  const std::vector<Format> formats = {
      {nullptr, ""},   {"gif", "GIF"},   {"mng", "MNG"},   {"mpeg", "MPEG"},
      {"mp4", "MP4"}, {"webm", "WEBM"}, {"apng", "APNG"}, {"webp", "WEBP"}};
  const std::vector<std::string> allKeywords = {"non", kPlay, kEdit, kConvert, "GIF", "MNG",
                                                "MPEG", "MP4", "WEBM", "APNG", "WEBP"};

  for (int mask = 0; mask < 8; ++mask) {
    for (const Format& format : formats) {
      std::vector<std::string> actions;
      if (mask & 1) actions.push_back("play");
      if (mask & 2) actions.push_back("edit");
      if (mask & 4) actions.push_back("convert");
      std::vector<std::string> args;
      if (!actions.empty()) {
        std::string list;
        for (const std::string& action : actions) list += (list.empty() ? "" : ",") + action;
        args = {"--then", list};
      }
      if (format.option != nullptr) {
        args.push_back("--format");
        args.push_back(format.option);
      }
      SCOPED_TRACE(::testing::PrintToString(args));

      bool convert = (mask & 4) != 0 || format.option != nullptr;
      std::string expected;
      if (mask & 1) expected += kPlay;
      if (mask & 2) expected += kEdit;
      if (convert) expected += kConvert;
      expected += format.keyword;
      if (expected.empty()) expected = "non";

      Parsed parsed = Parse(args);
      ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
      std::string kinds = Field(parsed.settings.outputKinds, 18);
      ASSERT_LT(kinds.size(), 18u);
      EXPECT_EQ(Hex(kinds.data(), kinds.size()), Hex(expected.data(), expected.size()));
      for (size_t i = kinds.size(); i < 18; ++i) EXPECT_EQ(parsed.settings.outputKinds[i], 0) << i;

      for (const std::string& keyword : allKeywords) {
        bool wanted = keyword == "non"      ? expected == "non"
                      : keyword == kPlay    ? (mask & 1) != 0
                      : keyword == kEdit    ? (mask & 2) != 0
                      : keyword == kConvert ? convert
                                            : keyword == format.keyword;
        EXPECT_EQ(kinds.find(keyword) != std::string::npos, wanted)
            << Hex(keyword.data(), keyword.size());
      }
    }
  }
}

TEST(VeskSetParser, ThenAcceptsAnyOrderAndRepeats) {
  Parsed parsed = Parse({"--then", "convert,play,convert", "--format", "mpeg"});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  EXPECT_EQ(Field(parsed.settings.outputKinds, 18), kPlay + kConvert + "MPEG");
}

TEST(VeskSetParser, CommandLineSplitsAtZeroBytesWithoutTheProgramName) {
  using veskset::SplitCommandLine;
  using Args = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine(std::string_view("vesk\0-n\0003\0", 10)), (Args{"-n", "3"}));
  EXPECT_EQ(SplitCommandLine(std::string_view("vesk\0", 5)), Args{});
  EXPECT_EQ(SplitCommandLine(""), Args{});
  // Empty arguments survive; a missing final zero still ends the last argument.
  EXPECT_EQ(SplitCommandLine(std::string_view("vesk\0\0x\0", 8)), (Args{"", "x"}));
  EXPECT_EQ(SplitCommandLine(std::string_view("vesk\0-o\0a b", 11)), (Args{"-o", "a b"}));
}

TEST(VeskSetParser, ProgramNameIsTheLastComponentOfArgvZero) {
  using veskset::ProgramNameFromCommandLine;
  EXPECT_EQ(ProgramNameFromCommandLine(std::string_view("/opt/vesk/bin/vesk\0-n\0", 22)), "vesk");
  EXPECT_EQ(ProgramNameFromCommandLine(std::string_view("./probe\0", 8)), "probe");
  EXPECT_EQ(ProgramNameFromCommandLine(""), "vesk");
  EXPECT_EQ(ProgramNameFromCommandLine(std::string_view("dir/\0", 5)), "vesk");
  EXPECT_EQ(ProgramNameFromCommandLine("a\nb"), "a?b");
}

}  // namespace

// The editor and the converter get the movie's name split at its spaces and join the
// words with one space: a name that would not come back the same is refused when they
// are asked for, and allowed otherwise.
TEST(VeskSetParser, MovieNamesTheAfterRecordingProgramsCannotRebuildAreRefused) {
  for (const char* name : {"a  b.avi", " a.avi", "a.avi ", "a\tb.avi", "a\"b.avi", "x -GIF"}) {
    for (const char* then : {"edit", "convert"}) {
      Parsed parsed = Parse({"-o", name, "--then", then});
      EXPECT_EQ(parsed.result, ParseResult::Invalid) << name;
      EXPECT_NE(parsed.message.find("cannot be handed to the editor or the converter"), std::string::npos)
          << parsed.message;
    }
    EXPECT_EQ(Parse({"-o", name, "--format", "gif"}).result, ParseResult::Invalid) << name;
    EXPECT_EQ(Parse({"-o", name, "--then", "play"}).result, ParseResult::Filled) << name;
    EXPECT_EQ(Parse({"-o", name}).result, ParseResult::Filled) << name;
  }
  for (const char* name : {"a b.avi", "-take.avi", "my - globe.avi", "x-GIF.avi", "a -o keep.txt"})
    EXPECT_EQ(Parse({"-o", name, "--then", "edit,convert", "--format", "mpeg"}).result, ParseResult::Filled) << name;
}

TEST(SettingsExtras, AntialiasTakesZeroTwoFourOrEightSamples) {
  for (int samples : {0, 2, 4, 8}) {
    veskset::Choices choices;
    veskset::CommandLineIntent intent;
    std::string message;
    ASSERT_EQ(veskset::ParseOptions({"--antialias=" + std::to_string(samples)}, choices, intent, message),
              ParseResult::Filled)
        << message;
    EXPECT_TRUE(intent.recordingOptions);
    RecordingExtras extras{};
    extras.size = sizeof extras;
    veskset::FillExtras(choices, extras);
    EXPECT_EQ(extras.antialias, uint32_t(samples));
    std::string reason;
    veskset::Choices fromFile;
    EXPECT_TRUE(veskset::ApplySetting("antialias", std::to_string(samples), fromFile, reason)) << reason;
    EXPECT_EQ(fromFile.antialias, samples);
  }
  for (std::string bad : {"1", "3", "16", "-2", "four", "", "4x"}) {
    Parsed parsed = Parse({"--antialias", bad});
    EXPECT_EQ(parsed.result, ParseResult::Invalid) << bad;
    EXPECT_EQ(parsed.message, "vesk: --antialias must be 0, 2, 4 or 8, not '" + bad + "'");
    veskset::Choices choices;
    std::string reason;
    EXPECT_FALSE(veskset::ApplySetting("antialias", bad, choices, reason));
    EXPECT_EQ(choices.antialias, 0);
  }
}

// The caller's record may be older (shorter) or newer (longer) than the library's: only
// the bytes both know are written, and size says how many.
TEST(SettingsExtras, FillsNoMoreThanBothRecordsHold) {
  alignas(RecordingExtras) unsigned char buffer[sizeof(RecordingExtras) + 16];
  auto* extras = reinterpret_cast<RecordingExtras*>(buffer);
  for (uint32_t callerSize : {uint32_t(sizeof extras->size), uint32_t(sizeof buffer)}) {
    std::memset(buffer, 0xAA, sizeof buffer);
    extras->size = callerSize;
    veskset::FillExtras(veskset::Choices{}, *extras);
    uint32_t filled = std::min<uint32_t>(callerSize, sizeof(RecordingExtras));
    EXPECT_EQ(extras->size, filled);
    for (size_t i = sizeof extras->size; i < filled; ++i) EXPECT_EQ(buffer[i], 0) << "byte " << i;
    for (size_t i = filled; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xAA) << "byte " << i;
  }
}

namespace {

struct ParsedExtras {
  ParseResult result;
  RecordingExtras extras;
  std::string message;
};

ParsedExtras ParseExtras(const std::vector<std::string>& args) {
  ParsedExtras parsed{};
  veskset::Choices choices;
  veskset::CommandLineIntent intent;
  parsed.result = veskset::ParseOptions(args, choices, intent, parsed.message);
  std::memset(&parsed.extras, 0xAA, sizeof parsed.extras);
  parsed.extras.size = sizeof parsed.extras;
  veskset::FillExtras(choices, parsed.extras);
  return parsed;
}

}  // namespace

TEST(SettingsExtras, LoopTiltPaceAndCameraPathsInEverySpellingAndAtTheirEdges) {
  ParsedExtras parsed = ParseExtras({"--turns", "100", "--tilt=-90", "--pace", "live", "--save-path",
                                     "\xE5\x9C\xB0.path", "--path=in.path"});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  EXPECT_EQ(parsed.extras.loopTurns, 100u);
  EXPECT_EQ(parsed.extras.tiltDegrees, -90.0f);
  EXPECT_EQ(parsed.extras.pace, 2u);
  EXPECT_STREQ(parsed.extras.savePathFile, "\x92\x6E.path");  // 地 in code page 932
  EXPECT_STREQ(parsed.extras.pathFile, "in.path");
  for (size_t i = strlen(parsed.extras.pathFile); i < sizeof parsed.extras.pathFile; ++i)
    ASSERT_EQ(parsed.extras.pathFile[i], 0) << "byte " << i;
  parsed = ParseExtras({"--turns", "0", "--tilt", "23.44", "--pace", "fast"});
  ASSERT_EQ(parsed.result, ParseResult::Filled) << parsed.message;
  EXPECT_EQ(parsed.extras.loopTurns, 0u);
  EXPECT_EQ(parsed.extras.tiltDegrees, 23.44f);
  EXPECT_EQ(parsed.extras.pace, 1u);
  EXPECT_EQ(parsed.extras.savePathFile[0], 0);
}

TEST(SettingsExtras, BadValuesNameTheOptionAndWhatIsAllowed) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  for (const Case& bad : {
           Case{{"--turns", "101"}, "vesk: --turns must be a whole number from 0 to 100, not '101'"},
           Case{{"--turns", "-1"}, "vesk: --turns must be a whole number from 0 to 100, not '-1'"},
           Case{{"--turns", "1.5"}, "vesk: --turns must be a whole number from 0 to 100, not '1.5'"},
           Case{{"--tilt", "90.01"}, "vesk: --tilt must be degrees from -90 to 90, not '90.01'"},
           Case{{"--tilt", "nan"}, "vesk: --tilt must be degrees from -90 to 90, not 'nan'"},
           Case{{"--tilt", "1e1"}, "vesk: --tilt must be degrees from -90 to 90, not '1e1'"},
           Case{{"--tilt", ""}, "vesk: --tilt must be degrees from -90 to 90, not ''"},
           Case{{"--pace", "slow"}, "vesk: --pace must be fast or live, not 'slow'"},
           Case{{"--path", ""}, "vesk: --path must name a file, not an empty text"},
           Case{{"--save-path"}, "vesk: --save-path needs a value: a file name of at most 259 bytes in code page 932"},
       }) {
    ParsedExtras parsed = ParseExtras(bad.args);
    EXPECT_EQ(parsed.result, ParseResult::Invalid) << bad.message;
    EXPECT_EQ(parsed.message, bad.message);
  }
}

TEST(VeskSetParser, TheEarthsLookOptionsNameWhatIsAllowed) {
  const std::vector<BadCase> cases = {
      {{"--sun"}, "vesk: --sun needs a value: a whole number of degrees from 0 to 360"},
      {{"--sun", "361"}, "vesk: --sun must be a whole number of degrees from 0 to 360, not '361'"},
      {{"--sun=-1"}, "vesk: --sun must be a whole number of degrees from 0 to 360, not '-1'"},
      {{"--sun", "45.5"}, "vesk: --sun must be a whole number of degrees from 0 to 360, not '45.5'"},
      {{"--night", ""}, "vesk: --night must name a file, not an empty text"},
      {{"--clouds="}, "vesk: --clouds must name a file, not an empty text"},
      {{"--clouds"}, "vesk: --clouds needs a value: a file name of at most 259 bytes in code page 932"},
      {{"--atmosphere=yes"}, "vesk: --atmosphere takes no value"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.result, ParseResult::Invalid);
    EXPECT_EQ(parsed.message, c.message);
  }
  veskset::Choices choices;
  veskset::CommandLineIntent intent;
  std::string message;
  ASSERT_EQ(veskset::ParseOptions({"--sun", "360", "--night", "n.jpg", "--clouds", std::string(259, 'c'),
                                   "--atmosphere"},
                                  choices, intent, message),
            ParseResult::Filled)
      << message;
  EXPECT_TRUE(choices.sun && choices.atmosphere && intent.recordingOptions);
  EXPECT_EQ(choices.sunDegrees, 360);
  EXPECT_EQ(choices.night, "n.jpg");
  RecordingExtras extras{};
  extras.size = sizeof extras;
  veskset::FillExtras(choices, extras);
  EXPECT_EQ(std::string(extras.cloudsFile, 259), std::string(259, 'c'));
  EXPECT_EQ(extras.cloudsFile[259], '\0');
}
