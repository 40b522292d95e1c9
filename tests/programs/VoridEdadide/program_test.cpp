// The program VoridEdadide as it is run: by a person (exit status, one line on standard
// error, nothing under the output's name on failure), through the real ShellExecuteA with
// a path with spaces as the recorder hands it over, and by vesk after a headless
// recording. Tests wait up to 60 s for a detached program's file: a bound, not a timing.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "shellapi.h"
#include "test_movie.h"
#include "windows.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using movie_test::FilesIn;
using movie_test::MovieShape;
using testsupport::ScratchDir;

std::string Slurp(const std::string& path) {
  const std::vector<uint8_t> bytes = avi2_test::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs the program in dir with standard error not a terminal and no display; limits
// are shell commands run before it (such as a ulimit).
Result RunProgram(const ScratchDir& dir, const std::string& arguments, const std::string& limits = "true") {
  const std::string command = "cd " + avi2_test::Quote(dir.path()) + " && " + limits +
                              " && VESK_HEADLESS=1 " + avi2_test::Quote(VORIDEDADIDE_PATH) + " " + arguments +
                              " >../" + fs::path(dir.path()).filename().string() + ".out 2>../" +
                              fs::path(dir.path()).filename().string() + ".err </dev/null";
  Result result;
  const int status = std::system(command.c_str());
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::string base = dir.path() + ".";
  result.out = Slurp(base + "out");
  result.err = Slurp(base + "err");
  fs::remove(base + "out");
  fs::remove(base + "err");
  return result;
}

bool WaitForFile(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return fs::exists(path);
}

TEST(ProgramTest, ConvertsSilentlyWithoutATerminal) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 3});
  const Result result = RunProgram(dir, "-i m.avi -MNG");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"m.avi", "m.mng"}));
}

TEST(ProgramTest, HelpVersionAndBadOptions) {
  ScratchDir dir;
  Result result = RunProgram(dir, "--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("Usage: VoridEdadide -i MOVIE.avi")) << result.out;
  // --quality on each format's own scale is documented.
  for (const char* mapping : {"x264 CRF 51 (N = 1) to 14 (N = 100)", "VP9 CRF 63 (N = 1) to 15 (N = 100)",
                              "libwebp quality N", "MNG and APNG are lossless"})
    EXPECT_NE(result.out.find(mapping), std::string::npos) << mapping;
  result = RunProgram(dir, "--version");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("VoridEdadide 1.0.0 (libavcodec ")) << result.out;
  // After the path's first word, a word with a dash is part of the path.
  result = RunProgram(dir, "-i m.avi -x");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "VoridEdadide: m.avi -x: cannot open the file: No such file or directory\n");
  result = RunProgram(dir, "-x m.avi");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "VoridEdadide: unknown option \"-x\"\nTry \"VoridEdadide --help\".\n");
  EXPECT_EQ(RunProgram(dir, "").status, 2);
  EXPECT_EQ(RunProgram(dir, "-i m.avi --quality 0").status, 2);
}

TEST(ProgramTest, BadMovieGetsOneLineAndExitStatusOne) {
  ScratchDir dir;
  avi2_test::WriteFile(dir / "bad.avi", {'R', 'I', 'F', 'F'});
  const Result result = RunProgram(dir, "-i bad.avi -GIF");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "VoridEdadide: bad.avi: not an AVI file\n");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"bad.avi"});
}

// A FIFO in the movie's place gets its line at once instead of a converter that waits
// for a writer for ever.
TEST(ProgramTest, FifoInsteadOfAMovieIsRefusedAtOnce) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.avi").c_str(), 0666), 0);
  const Result result = RunProgram(dir, "-i pipe.avi -GIF");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "VoridEdadide: pipe.avi: not a regular file\n");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"pipe.avi"});
}

TEST(ProgramTest, CutMovieIsConvertedAndSaysSo) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 16, .height = 8, .frames = 6, .finish = false});
  std::vector<uint8_t> bytes = avi2_test::ReadFile(dir / "m.avi");
  bytes.resize(bytes.size() - 200);  // into the last frame
  avi2_test::WriteFile(dir / "m.avi", bytes);
  const Result result = RunProgram(dir, "-i m.avi");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "VoridEdadide: m.avi: the movie is cut short; converted the 5 frames that are there\n");
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"m.avi", "m.gif"}));
}

// A file size limit stands in for a full disk: the write fails, the program says so,
// and neither the output nor its temporary file stays.
TEST(ProgramTest, FullDiskLeavesNoFile) {
  for (const char* format : {"GIF", "MNG", "MPEG1"}) {
    ScratchDir dir;
    movie_test::WriteMovie(dir / "m.avi", {.width = 64, .height = 48, .frames = 20});
    const Result result = RunProgram(dir, std::string("-i m.avi -") + format, "ulimit -f 1");
    EXPECT_EQ(result.status, 1) << format;
    EXPECT_TRUE(result.err.starts_with("VoridEdadide: m.")) << result.err;
    EXPECT_TRUE(result.err.ends_with(": cannot write: File too large\n")) << result.err;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"}) << format;
  }
}

// The same for the formats people post, from a movie large enough to pass the limit.
TEST(ProgramTest, FullDiskLeavesNoFileInThePostedFormats) {
  for (const char* format : {"MP4", "WEBM", "APNG", "WEBP"}) {
    ScratchDir dir;
    movie_test::WriteMovie(dir / "m.avi", {.width = 160, .height = 120, .frames = 20});
    const Result result = RunProgram(dir, std::string("-i m.avi -") + format, "ulimit -f 1");
    EXPECT_EQ(result.status, 1) << format;
    EXPECT_TRUE(result.err.starts_with("VoridEdadide: m.")) << result.err;
    EXPECT_TRUE(result.err.ends_with(": cannot write: File too large\n")) << result.err;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"}) << format;
  }
}

// Stopped by SIGTERM while it writes: the temporary file goes, nothing else appears.
TEST(ProgramTest, StopSignalRemovesTheTemporaryFile) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.width = 640, .height = 480, .frames = 30});
  std::vector<std::string> words = {VORIDEDADIDE_PATH, "-i", dir / "m.avi", "-MNG"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, VORIDEDADIDE_PATH, nullptr, nullptr, argv.data(), environ), 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (FilesIn(dir.path()).size() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "killed by the signal instead of stopping";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"m.avi"});
}

// The recorder's call: no quotes, so the path arrives as several words.
TEST(ProgramTest, PathWithSpacesThroughShellExecute) {
  ScratchDir dir;
  fs::create_directories(dir / "my movies");
  movie_test::WriteMovie(dir / "my movies/a  b.avi", {.frames = 4});
  fs::rename(dir / "my movies/a  b.avi", dir / "my movies/a b.avi");
  const std::string parameters = "-i " + (dir / "my movies/a b.avi") + " -MPEG1";
  const auto started = reinterpret_cast<uintptr_t>(
      ShellExecuteA(nullptr, "open", "VoridEdadide.exe", parameters.c_str(), nullptr, SW_SHOWNORMAL));
  EXPECT_GT(started, 32u);
  ASSERT_TRUE(WaitForFile(dir / "my movies/a b.mpg"));
  const avi2_test::StreamFacts facts = avi2_test::Probe(dir / "my movies/a b.mpg");
  EXPECT_EQ(facts.codec, "mpeg1video");
  EXPECT_EQ(facts.decodedFrames, 12);
}

struct VeskCase {
  const char* format;
  const char* file;
};

class VeskThenConvertTest : public testing::TestWithParam<VeskCase> {};

// A whole headless recording of 24 frames, converted by the program vesk starts.
TEST_P(VeskThenConvertTest, LeavesTheConvertedMovieBesideTheRecording) {
  ScratchDir dir;
  // vesk leaves its window, device and scene to the end of the process, as designed; in
  // a sanitizer build that is no fault of the conversion under test.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string command = "cd " + avi2_test::Quote(dir.path()) + " && ASAN_OPTIONS=" +
                              avi2_test::Quote(std::string(asan ? asan : "") + ":detect_leaks=0") + " VESK_HEADLESS=1 " +
                              avi2_test::Quote(VESK_PATH) + " -n 24 -s 160x120 --format " + GetParam().format +
                              " >/dev/null 2>&1 </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string output = dir / GetParam().file;
  ASSERT_TRUE(WaitForFile(output));
  const std::string format = GetParam().format;
  if (format == "mp4" || format == "webm" || format == "apng") {
    const avi2_test::StreamFacts facts = avi2_test::Probe(output);
    EXPECT_EQ(facts.frameRate, "10/1");
    EXPECT_EQ(facts.decodedFrames, 24);
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 120);
    if (format == "apng") return;
    const std::vector<uint8_t> duration = avi2_test::CommandOutput(
        "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + avi2_test::Quote(output));
    EXPECT_EQ(std::stod(std::string(duration.begin(), duration.end())), 2.4);
    return;
  }
  if (format == "mpeg") {
    const avi2_test::StreamFacts facts = avi2_test::Probe(output);
    EXPECT_EQ(facts.frameRate, "30/1");
    EXPECT_EQ(facts.decodedFrames, 72) << "2.4 s at 30 frames a second";
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 120);
    return;
  }
  const std::vector<uint8_t> frames = avi2_test::CommandOutput("identify -format '%T %W %H\\n' " +
                                                               avi2_test::Quote(output));
  const std::string text(frames.begin(), frames.end());
  std::string expected;
  for (int i = 0; i < 24; ++i) expected += "10 160 120\n";
  EXPECT_EQ(text, expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, VeskThenConvertTest,
                         testing::Values(VeskCase{"gif", "globe.gif"}, VeskCase{"mng", "globe.mng"},
                                         VeskCase{"mpeg", "globe.mpg"}, VeskCase{"mp4", "globe.mp4"},
                                         VeskCase{"webm", "globe.webm"}, VeskCase{"apng", "globe.png"},
                                         VeskCase{"webp", "globe.webp"}),
                         [](const auto& info) { return std::string(info.param.format); });

}  // namespace
