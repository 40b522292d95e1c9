// With a real display (Xvfb), a message box is a GTK dialog that a user answers with
// the keyboard; xdotool plays the user.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <string>
#include <thread>

#include "win32ext.h"

extern char** environ;

namespace {

// Presses a key in the window of the given title until the box has been answered:
// xdotool can find the window a moment before it accepts the focus, so it is retried.
class KeyPresser {
 public:
  KeyPresser(std::string title, std::string key)
      : thread_([this, title = std::move(title), key = std::move(key)] { Run(title, key); }) {}
  ~KeyPresser() {
    answered_ = true;
    thread_.join();
  }
  void Answered() { answered_ = true; }

 private:
  void Run(const std::string& title, const std::string& key) {
    std::string pattern = "^" + title + "$";
    const char* argv[] = {"xdotool", "search", "--sync", "--onlyvisible", "--name",
                          pattern.c_str(), "windowfocus", "--sync", "key", key.c_str(), nullptr};
    for (int attempt = 0; attempt < 100 && !answered_; ++attempt) {
      pid_t pid = 0;
      if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return;
      }
      int status = 0;
      waitpid(pid, &status, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  }

  std::atomic<bool> answered_{false};
  std::thread thread_;
};

int AnswerBox(const char* title, const char* key, UINT type) {
  KeyPresser presser(title, key);
  int result = MessageBoxA(nullptr, "Answer me", title, type);
  presser.Answered();
  return result;
}

TEST(MessageBoxOnDisplay, IsAGtkDialogAnsweredWithTheKeyboard) {
  ASSERT_EQ(win32ext::ActiveBackend(), win32ext::BackendKind::Sdl);
  InitCommonControls();
  EXPECT_EQ(AnswerBox("Vesk display check", "Return", MB_OKCANCEL | MB_ICONWARNING), IDOK);
  EXPECT_EQ(AnswerBox("Vesk second check", "Escape", MB_YESNOCANCEL), IDCANCEL);
}

}  // namespace
