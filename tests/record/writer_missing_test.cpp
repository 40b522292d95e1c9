// Loading the movie writer where there is none: this program is built into a folder
// of its own, so no libAVI2.so lies beside it or on its library path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie_output.h"
#include "win32ext.h"

TEST(MovieWriterLoading, MissingLibraryIsReportedInJapaneseAndNothingIsLookedUp) {
  std::vector<std::string> boxes;
  win32ext::SetMessageBoxHook([&](const win32ext::MessageBoxRecord& box) {
    boxes.push_back(box.text);
    return IDOK;
  });
  FrameCapture capture;
  EXPECT_FALSE(LoadMovieWriter(capture));
  win32ext::SetMessageBoxHook({});
  // "AVI2.dll が見つかりません"
  EXPECT_EQ(boxes, std::vector<std::string>{"AVI2.dll \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"});
  EXPECT_EQ(capture.bmpfileToAvifile, nullptr);
}
