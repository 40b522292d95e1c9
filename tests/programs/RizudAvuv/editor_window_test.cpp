// The editor as a user meets it, inside the private Xvfb server this test runs in: the
// recorder starts it after a recording, xdotool plays the user, ffmpeg checks the saved
// movie; the edit keys and Save As on a test movie. Also the two ways it refuses to
// start: no display, and a movie it cannot read.
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "movie_reader.h"
#include "scratch_dir.h"
#include "test_movie.h"

extern char** environ;

namespace {

using testsupport::ScratchDir;
using testsupport::ScopedCwd;

// Starts a program with standard error in a file, its environment without the names in
// unset and with the "NAME=value" entries of set.
pid_t Start(std::vector<std::string> argv, const std::string& errorFile,
            const std::vector<std::string>& set = {}, const std::vector<std::string>& unset = {}) {
  std::vector<std::string> dropped = unset;
  for (const std::string& entry : set) dropped.push_back(entry.substr(0, entry.find('=')));
  std::vector<std::string> env = set;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (std::none_of(dropped.begin(), dropped.end(), [&](const std::string& name) {
          return text.compare(0, name.size() + 1, name + "=") == 0;
        }))
      env.push_back(text);
  }
  std::vector<char*> args, envp;
  for (std::string& word : argv) args.push_back(word.data());
  args.push_back(nullptr);
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()), 0) << argv[0];
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Exit status of the child, or -1 when it has not ended within the time given.
int WaitFor(pid_t pid, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

int RunToEnd(const std::vector<std::string>& argv, const std::string& errorFile,
             const std::vector<std::string>& set = {}, const std::vector<std::string>& unset = {}) {
  return WaitFor(Start(argv, errorFile, set, unset), std::chrono::seconds(60));
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every frame ffmpeg decodes, as packed RGB, one string of bytes per frame.
std::vector<std::string> DecodeFrames(const std::string& movie) {
  std::string error;
  auto reader = movie::MovieReader::Open(movie, &error);
  EXPECT_NE(reader, nullptr) << error;
  if (!reader) return {};
  const size_t frameBytes = static_cast<size_t>(reader->Info().width) * reader->Info().height * 3;
  const std::string command = "ffmpeg -v error -i '" + movie + "' -f rawvideo -pix_fmt rgb24 -";
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<std::string> frames;
  std::string frame(frameBytes, '\0');
  while (fread(frame.data(), 1, frameBytes, pipe) == frameBytes) frames.push_back(frame);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return frames;
}

ino_t Inode(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// One xdotool call: find the visible window by title, focus it, press the keys.
int PressKeys(const std::string& title, const std::vector<std::string>& keys) {
  std::vector<std::string> argv{"xdotool", "search", "--sync", "--onlyvisible", "--name",
                                "^" + title + "$", "windowfocus", "--sync", "key", "--delay", "60"};
  argv.insert(argv.end(), keys.begin(), keys.end());
  return RunToEnd(argv, "/dev/null");
}

TEST(EditorWindowTest, CutUpToFrameElevenAndSaveAfterARecording) {
  ASSERT_NE(getenv("DISPLAY"), nullptr) << "runs inside xvfb-run";
  // The editor is the recorder's child; once the recorder ends it becomes this test's.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  ScratchDir dir;
  ScopedCwd cwd(dir.path());
  // After a complete recording vesk leaves its window, device and scene to the end of
  // the process, as designed: a sanitizer build is told not to call that a leak.
  std::string asan = "detect_leaks=0";
  if (const char* given = getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
  ASSERT_EQ(RunToEnd({VESK_PROGRAM, "-n", "24", "--then", "edit"}, dir / "vesk.err",
                     {"VESK_HEADLESS=1", "ASAN_OPTIONS=" + asan}), 0) << ReadText(dir / "vesk.err");
  const std::string movie = dir / "globe.avi";
  const ino_t recorded = Inode(movie);
  const std::vector<std::string> source = DecodeFrames(movie);
  ASSERT_EQ(source.size(), 24u);

  std::vector<std::string> keys{"Home"};
  keys.insert(keys.end(), 10, "Right");  // frame 11
  keys.insert(keys.end(), {"o", "Delete", "ctrl+s"});
  ASSERT_EQ(PressKeys("globe.avi — RizudAvuv", keys), 0);
  // Saving renames a new file into place.
  for (int i = 0; i < 300 && Inode(movie) == recorded; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_NE(Inode(movie), recorded) << "the movie was not saved";

  const std::vector<std::string> saved = DecodeFrames(movie);
  ASSERT_EQ(saved.size(), 13u);
  for (size_t i = 0; i < saved.size(); ++i)
    EXPECT_TRUE(saved[i] == source[11 + i]) << "saved frame " << i + 1 << " is not source frame "
                                            << i + 12;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().rfind(".RizudAvuv", 0), std::string::npos);

  // Nothing is left unsaved, so Ctrl+Q closes the editor at once (xdotool may report
  // the window gone before it released the keys).
  PressKeys("globe.avi — RizudAvuv", {"ctrl+q"});
  int status = 0;
  pid_t editor = -1;
  for (int i = 0; i < 100 && editor <= 0; ++i) {
    editor = waitpid(-1, &status, WNOHANG);
    if (editor <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_GT(editor, 0) << "the editor did not end";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Ping-pong, reverse, undo, redo, undo: the ping-pong alone is saved under a new name
// chosen in the Save As dialog; the opened movie stays as it was.
TEST(EditorWindowTest, EditKeysAndSaveAs) {
  ScratchDir dir;
  const std::string movie = dir / "six.avi";
  movie_test::WriteMovie(movie, movie_test::MovieShape{});
  const std::vector<std::string> source = DecodeFrames(movie);
  ASSERT_EQ(source.size(), 6u);
  const pid_t editor = Start({EDITOR_PROGRAM, movie}, dir / "err");
  ASSERT_EQ(PressKeys("six.avi — RizudAvuv", {"p", "r", "ctrl+z", "ctrl+shift+z", "ctrl+z",
                                              "ctrl+shift+s"}), 0);
  const std::string copy = dir / "copy.avi";
  ASSERT_EQ(PressKeys("Save the movie as", {"ctrl+a"}), 0);
  ASSERT_EQ(RunToEnd({"xdotool", "type", "--delay", "20", copy}, "/dev/null"), 0);
  ASSERT_EQ(RunToEnd({"xdotool", "key", "Return"}, "/dev/null"), 0);
  // The title names the new file once it is saved; then nothing is unsaved.
  PressKeys("copy.avi — RizudAvuv", {"ctrl+q"});
  EXPECT_EQ(WaitFor(editor, std::chrono::seconds(30)), 0) << ReadText(dir / "err");

  const std::vector<std::string> saved = DecodeFrames(copy);
  ASSERT_EQ(saved.size(), 10u);
  const size_t order[] = {0, 1, 2, 3, 4, 5, 4, 3, 2, 1};
  for (size_t i = 0; i < saved.size(); ++i)
    EXPECT_TRUE(saved[i] == source[order[i]]) << "saved frame " << i + 1;
  EXPECT_TRUE(DecodeFrames(movie) == source);
}

TEST(EditorWindowTest, WithoutADisplayItSaysSoAndEndsWithStatusTwo) {
  ScratchDir dir;
  EXPECT_EQ(RunToEnd({EDITOR_PROGRAM, "any.avi"}, dir / "err", {}, {"DISPLAY", "WAYLAND_DISPLAY"}),
            2);
  EXPECT_EQ(ReadText(dir / "err"), "RizudAvuv needs a display\n");
}

TEST(EditorWindowTest, MovieItCannotReadIsNamedWithTheProblem) {
  ScratchDir dir;
  std::ofstream(dir / "not a movie.avi") << "RIFF....WAVEfmt ";
  // The path arrives in words, as the recorder passes it.
  const pid_t editor = Start({EDITOR_PROGRAM, dir / "not", "a", "movie.avi"}, dir / "err");
  ASSERT_EQ(PressKeys("RizudAvuv", {"Return"}), 0);
  EXPECT_EQ(WaitFor(editor, std::chrono::seconds(30)), 1);
  EXPECT_EQ(ReadText(dir / "err"), "RizudAvuv: cannot open the movie " + dir / "not a movie.avi" +
                                       ": not an AVI file\n");

  const std::string fifo = dir / "fifo.avi";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  const pid_t second = Start({EDITOR_PROGRAM, fifo}, dir / "err");
  ASSERT_EQ(PressKeys("RizudAvuv", {"Return"}), 0);
  EXPECT_EQ(WaitFor(second, std::chrono::seconds(30)), 1);
  EXPECT_NE(ReadText(dir / "err").find("not a regular file"), std::string::npos);
}

}  // namespace
