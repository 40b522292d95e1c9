// Loading the movie writer where there is none: this program is built into a folder
// of its own, so no libAVI2.so lies beside it or on its library path. And writers that
// lack one of the two functions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie_output.h"
#include "win32ext.h"

namespace {

// The message boxes LoadMovieWriter shows, with `writer` loaded first when given.
std::vector<std::string> LoadingBoxes(FrameCapture& capture, const char* writer = nullptr) {
  if (writer) {
    EXPECT_NE(dlopen(writer, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
  }
  std::vector<std::string> boxes;
  win32ext::SetMessageBoxHook([&](const win32ext::MessageBoxRecord& box) {
    boxes.push_back(box.text);
    return IDOK;
  });
  EXPECT_FALSE(LoadMovieWriter(capture));
  win32ext::SetMessageBoxHook({});
  return boxes;
}

}  // namespace

TEST(MovieWriterLoading, MissingLibraryIsReportedInJapaneseAndNothingIsLookedUp) {
  FrameCapture capture;
  testing::internal::CaptureStderr();
  std::vector<std::string> boxes = LoadingBoxes(capture);
  std::string line = testing::internal::GetCapturedStderr();
  // Every place searched, each with the loader's reason.
  std::string beside = win32ext::ExecutableDirectory() + "/libAVI2.so: ";
  std::string installed = win32ext::ExecutableDirectory() + "/../lib/libAVI2.so: ";
  EXPECT_EQ(line.rfind("vesk: cannot load the movie writer libAVI2.so: " + beside, 0), 0u) << line;
  EXPECT_NE(line.find("; " + installed), std::string::npos) << line;
  EXPECT_NE(line.find("No such file or directory"), std::string::npos) << line;
  EXPECT_NE(line.find("(searched the library path)\n"), std::string::npos) << line;
  // "AVI2.dll が見つかりません"
  EXPECT_EQ(boxes, std::vector<std::string>{"AVI2.dll \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"});
  EXPECT_EQ(capture.bmpfileToAvifile, nullptr);
}

TEST(MovieWriterLoading, AWriterWithoutMemoryToAvifileIsReportedByThatName) {
  FrameCapture capture;
  // "関数 MemoryToAviFile が見つかりません"
  EXPECT_EQ(LoadingBoxes(capture, WRITER_WITHOUT_MEMORY),
            std::vector<std::string>{
                "\x8A\xD6\x90\x94 MemoryToAviFile \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"});
  EXPECT_EQ(capture.bmpfileToAvifile, nullptr) << "the second function is not looked up";
}

TEST(MovieWriterLoading, AWriterWithoutBmpfileToAvifileIsReportedByThatName) {
  FrameCapture capture;
  // "関数 BmpfileToAviFile が見つかりません"
  EXPECT_EQ(LoadingBoxes(capture, WRITER_WITHOUT_BMPFILE),
            std::vector<std::string>{
                "\x8A\xD6\x90\x94 BmpfileToAviFile \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"});
  EXPECT_NE(capture.memoryToAvifile, nullptr);
}
