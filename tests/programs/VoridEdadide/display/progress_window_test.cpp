// With a display and no terminal the converter shows its progress window; xdotool plays
// the user who presses Cancel while it works, or Close once it is done. Run inside a
// private Xvfb by CTest. Waits are bounded at 60 s; nothing is timed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_movie.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::ScratchDir;

// The converter on the movie with standard error in a file, so not a terminal.
pid_t StartConverter(const std::string& movie, const std::string& errorFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words = {VORIDEDADIDE_PATH, "-i", movie, "-MNG"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  setenv("VESK_HEADLESS", "0", 1);
  EXPECT_EQ(posix_spawn(&child, VORIDEDADIDE_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

// Focuses the window and presses Return, which activates its one button.
void PressButton() {
  const char* argv[] = {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^VoridEdadide$",
                        "windowfocus", "--sync", "key", "Return", nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

int ExitStatus(pid_t child) {
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = avi2_test::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

TEST(ProgressWindowTest, CancelStopsAndLeavesNoFile) {
  ScratchDir dir;
  // Long enough (seconds of work) that the conversion is still running when the window,
  // which opens at the start, gets its Cancel.
  movie_test::WriteMovie(dir / "m.avi", {.width = 640, .height = 480, .frames = 400});
  const pid_t child = StartConverter(dir / "m.avi", dir.path() + ".err");
  PressButton();
  EXPECT_EQ(ExitStatus(child), 0);
  EXPECT_EQ(Text(dir.path() + ".err"), "VoridEdadide: cancelled; " + (dir / "m.mng") + " was not written\n");
  fs::remove(dir.path() + ".err");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ProgressWindowTest, WindowStaysUntilClosedAfterTheFileIsWritten) {
  ScratchDir dir;
  movie_test::WriteMovie(dir / "m.avi", {.frames = 3});
  const pid_t child = StartConverter(dir / "m.avi", dir.path() + ".err");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(dir / "m.mng") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(dir / "m.mng"));
  EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "the window closed by itself";
  PressButton();
  EXPECT_EQ(ExitStatus(child), 0);
  EXPECT_EQ(Text(dir.path() + ".err"), "");
  fs::remove(dir.path() + ".err");
}

}  // namespace
