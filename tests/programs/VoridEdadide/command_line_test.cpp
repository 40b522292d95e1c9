// The converter's words as the recorder sends them (a path with spaces arrives as
// several words) and as a person types them.
#include "command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scratch_dir.h"

namespace {

using convert::CommandLine;
using convert::Format;
using Words = std::vector<std::string>;

struct Case {
  Words words;
  std::string input;
  Format format;
  std::string output = "";
  int quality = convert::kDefaultQuality;
};

TEST(CommandLineTest, WordsBecomeARequest) {
  for (const Case& c : {
           Case{{"-i", "globe.avi"}, "globe.avi", Format::Gif},
           Case{{"-i", "globe.avi", "-GIF"}, "globe.avi", Format::Gif},
           Case{{"-i", "globe.avi", "-MNG"}, "globe.avi", Format::Mng},
           Case{{"-i", "globe.avi", "-MPEG1"}, "globe.avi", Format::Mpeg1},
           Case{{"-i", "my", "movie.avi", "-GIF"}, "my movie.avi", Format::Gif},
           Case{{"-i", "/home/a", "b/c", "d.avi", "-MPEG1"}, "/home/a b/c d.avi", Format::Mpeg1},
           Case{{"-i", "a", "-", "b.avi"}, "a - b.avi", Format::Gif},
           Case{{"-i", "C:\\movies\\globe.avi", "-MNG"}, "C:/movies/globe.avi", Format::Mng},
           Case{{"-MNG", "-i", "x.avi"}, "x.avi", Format::Mng},
           Case{{"x.avi", "-o", "out.mpg"}, "x.avi", Format::Mpeg1, "out.mpg"},
           Case{{"x.avi", "-o", "out.MNG"}, "x.avi", Format::Mng, "out.MNG"},
           Case{{"x.avi", "-GIF", "-o", "out.mpg"}, "x.avi", Format::Gif, "out.mpg"},
           Case{{"-i", "x.avi", "--quality", "40"}, "x.avi", Format::Gif, "", 40},
           Case{{"-i", "x.avi", "--quality=100", "-MPEG1"}, "x.avi", Format::Mpeg1, "", 100},
           Case{{"-i", "x.avi", "-MP4"}, "x.avi", Format::Mp4},
           Case{{"-i", "x.avi", "-webm"}, "x.avi", Format::Webm},
           Case{{"-i", "x.avi", "-APNG"}, "x.avi", Format::Apng},
           Case{{"-i", "x.avi", "-WEBP"}, "x.avi", Format::Webp},
           Case{{"-i", "x.avi", "-MPEG1", "-WEBP"}, "x.avi", Format::Webp},
           Case{{"x.avi", "-o", "out.mp4"}, "x.avi", Format::Mp4, "out.mp4"},
           Case{{"x.avi", "-o", "out.WebM"}, "x.avi", Format::Webm, "out.WebM"},
           Case{{"x.avi", "-o", "out.png"}, "x.avi", Format::Apng, "out.png"},
           Case{{"x.avi", "-o", "out.webp"}, "x.avi", Format::Webp, "out.webp"},
       }) {
    std::string error;
    const auto line = convert::ParseCommandLine(c.words, &error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->action, CommandLine::kConvert);
    EXPECT_EQ(line->request.input, c.input);
    EXPECT_EQ(line->request.format, c.format) << c.input;
    EXPECT_EQ(line->request.output, c.output);
    EXPECT_EQ(line->request.quality, c.quality);
  }
}

// The recorder's "-i PATH [FORMAT]": when the words name an existing movie, every one of
// them is the path, so a name that looks like options never redirects the output.
TEST(CommandLineTest, WordsNamingAnExistingMovieAreItsPathWhateverTheyLookLike) {
  testsupport::ScratchDir folder("converter-words");
  for (const char* name : {"a -o keep.txt.avi", "-take.avi", "b --quality 5.avi"})
    std::ofstream(folder / name) << "movie";
  const std::string at = folder.path() + "/";
  for (const Case& c : {
           Case{{"-i", at + "a", "-o", "keep.txt.avi", "-GIF"}, at + "a -o keep.txt.avi", Format::Gif},
           Case{{"-i", at + "-take.avi", "-GIF"}, at + "-take.avi", Format::Gif},
           Case{{"-i", at + "-take.avi"}, at + "-take.avi", Format::Gif},
           Case{{"-i", at + "b", "--quality", "5.avi", "-MNG"}, at + "b --quality 5.avi", Format::Mng},
       }) {
    std::string error;
    const auto line = convert::ParseCommandLine(c.words, &error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->request.input, c.input);
    EXPECT_EQ(line->request.format, c.format) << c.input;
    EXPECT_EQ(line->request.output, "") << c.input;
    EXPECT_EQ(line->request.quality, convert::kDefaultQuality) << c.input;
  }
}

TEST(CommandLineTest, HelpAndVersionNeedNoMovie) {
  std::string error;
  EXPECT_EQ(convert::ParseCommandLine({"-i", "x.avi", "--help"}, &error)->action, CommandLine::kHelp);
  EXPECT_EQ(convert::ParseCommandLine({"-h"}, &error)->action, CommandLine::kHelp);
  EXPECT_EQ(convert::ParseCommandLine({"--version", "-x"}, &error)->action, CommandLine::kVersion);
}

TEST(CommandLineTest, BadWordsAreRefusedWithTheReason) {
  struct Bad {
    Words words;
    std::string error;
  };
  for (const Bad& b : {
           Bad{{}, "no movie given (-i MOVIE)"},
           Bad{{"-i"}, "no movie given (-i MOVIE)"},
           Bad{{"-GIF"}, "no movie given (-i MOVIE)"},
           Bad{{"-x", "a.avi"}, "unknown option \"-x\""},
           Bad{{"-i", "a.avi", "-o"}, "-o needs a file name"},
           Bad{{"-i", "a.avi", "--quality"}, "--quality needs a number from 1 to 100"},
           Bad{{"-i", "a.avi", "--quality", "0"}, "--quality needs a number from 1 to 100, not \"0\""},
           Bad{{"-i", "a.avi", "--quality=101"}, "--quality needs a number from 1 to 100, not \"101\""},
           Bad{{"-i", "a.avi", "--quality", "9x"}, "--quality needs a number from 1 to 100, not \"9x\""},
       }) {
    std::string error;
    EXPECT_FALSE(convert::ParseCommandLine(b.words, &error));
    EXPECT_EQ(error, b.error);
  }
}

}  // namespace
