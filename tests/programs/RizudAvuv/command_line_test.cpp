// The editor's command line: path words joined again, Windows separators read.
#include "command_line.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace {

TEST(CommandLineTest, PathWordsAreJoinedWithSpaces) {
  const char* split[] = {"RizudAvuv", "/tmp/my", "movies/globe", "1.avi"};
  EXPECT_EQ(editor::JoinPathWords(4, split), "/tmp/my movies/globe 1.avi");
  const char* one[] = {"RizudAvuv", "globe.avi"};
  EXPECT_EQ(editor::JoinPathWords(2, one), "globe.avi");
  EXPECT_EQ(editor::JoinPathWords(1, one), "");
}

TEST(CommandLineTest, BackslashesAreReadAsSeparatorsOnlyWhenThatNamesAFile) {
  testsupport::ScratchDir dir;
  std::filesystem::create_directory(dir / "AVI");
  std::ofstream(dir / "AVI/globe.avi") << "x";
  EXPECT_EQ(editor::SystemMoviePath(dir / "AVI\\globe.avi"), dir / "AVI/globe.avi");
  std::ofstream(dir / "odd\\name.avi") << "x";  // a real name with a backslash wins
  EXPECT_EQ(editor::SystemMoviePath(dir / "odd\\name.avi"), dir / "odd\\name.avi");
  EXPECT_EQ(editor::SystemMoviePath(dir / "none\\x.avi"), dir / "none\\x.avi");
}

}  // namespace
