// Export starts the converter without a shell: the output and the movie path stay one
// argument each, the format switch follows; a converter that is not there is reported,
// not started.
#include "converter_launch.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace {

std::vector<std::string> RecordedArguments(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::string> words;
  for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
    words.push_back(bytes.substr(start, end - start));
  return words;
}

TEST(ConverterLaunchTest, ConverterGetsTheMovieAndTheFormatSwitch) {
  testsupport::ScratchDir dir;
  const std::string record = dir / "argv";
  setenv("ARGV_RECORDER_OUT", record.c_str(), 1);
  const std::string movie = dir / "my movie; $(rm -rf x).avi";
  for (auto [format, formatSwitch] : {std::pair{editor::ExportFormat::Gif, "-GIF"},
                                      {editor::ExportFormat::Mng, "-MNG"},
                                      {editor::ExportFormat::Mpeg1, "-MPEG1"},
                                      {editor::ExportFormat::Mp4, "-MP4"},
                                      {editor::ExportFormat::Webm, "-WEBM"},
                                      {editor::ExportFormat::Apng, "-APNG"},
                                      {editor::ExportFormat::Webp, "-WEBP"}}) {
    std::string error;
    const pid_t child = editor::StartConverter(ARGV_RECORDER, movie, dir / "out put", format, &error);
    ASSERT_GT(child, 0) << error;
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(RecordedArguments(record),
              (std::vector<std::string>{"-o", dir / "out put", "-i", movie, formatSwitch}));
  }
  unsetenv("ARGV_RECORDER_OUT");
}

// The editor shows the export itself: the converter gets no display for a window of
// its own, which would outlast the export.
TEST(ConverterLaunchTest, TheConverterRunsWithoutADisplay) {
  testsupport::ScratchDir dir;
  const std::string converter = dir / "converter";
  std::ofstream(converter) << "#!/bin/sh\nprintf '%s|%s|%s' \"${DISPLAY-none}\" \"${WAYLAND_DISPLAY-none}\" "
                              "\"$HOME\" > \"$0.env\"\n";
  ASSERT_EQ(chmod(converter.c_str(), 0755), 0);
  const char* display = getenv("DISPLAY");
  const std::string oldDisplay = display ? display : "";
  setenv("DISPLAY", ":99", 1);
  setenv("WAYLAND_DISPLAY", "wayland-9", 1);
  std::string error;
  const pid_t child = editor::StartConverter(converter, "m.avi", "m.gif", editor::ExportFormat::Gif, &error);
  unsetenv("WAYLAND_DISPLAY");
  display ? setenv("DISPLAY", oldDisplay.c_str(), 1) : unsetenv("DISPLAY");
  ASSERT_GT(child, 0) << error;
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  std::ifstream in(converter + ".env");
  const std::string seen{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(seen, std::string("none|none|") + getenv("HOME")) << "the rest of the environment is kept";
}

TEST(ConverterLaunchTest, MissingConverterIsReported) {
  testsupport::ScratchDir dir;
  std::string error;
  EXPECT_EQ(editor::StartConverter(dir / "VoridEdadide", "m.avi", "m.gif", editor::ExportFormat::Gif,
                                   &error), -1);
  EXPECT_NE(error.find(dir / "VoridEdadide"), std::string::npos) << error;
}

}  // namespace
