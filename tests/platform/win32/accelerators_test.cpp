// The program's accelerator table 113 turns its six keys into WM_COMMAND, and the
// window never sees their key-down messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "resources.h"
#include "window_test_support.h"

using testsupport::DrainQueue;
using testsupport::KeyEvent;
using testsupport::RecordingWindow;

namespace {

class Accelerators : public testing::Test {
 protected:
  void SetUp() override {
    win32ext::SetProgramResources(&win32ext::ProgramResources());
    table_ = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDR_MAIN_ACCEL));
    ASSERT_NE(table_, nullptr);
    DrainQueue();
    window_.received().clear();
  }
  void TearDown() override { EXPECT_TRUE(DestroyAcceleratorTable(table_)); }

  // Presses a key (with modifiers held around it) and returns the commands it gave.
  std::vector<WORD> Press(SDL_Keycode key, SDL_Keycode modifier = SDLK_UNKNOWN) {
    HWND w = window_.handle();
    Uint16 mod = modifier == SDLK_LALT ? KMOD_LALT : modifier == SDLK_LSHIFT ? KMOD_LSHIFT : 0;
    if (modifier != SDLK_UNKNOWN) win32ext::InjectInput(KeyEvent(w, modifier, true, mod));
    win32ext::InjectInput(KeyEvent(w, key, true, mod));
    win32ext::InjectInput(KeyEvent(w, key, false, mod));
    if (modifier != SDLK_UNKNOWN) win32ext::InjectInput(KeyEvent(w, modifier, false));
    window_.received().clear();
    DrainQueue(table_, w);
    std::vector<WORD> commands;
    for (const auto& r : window_.Only(WM_COMMAND)) {
      EXPECT_EQ(HIWORD(r.wParam), 1);  // from an accelerator
      commands.push_back(LOWORD(r.wParam));
    }
    return commands;
  }

  RecordingWindow window_;
  HACCEL table_ = nullptr;
};

TEST_F(Accelerators, EachKeyGivesItsCommand) {
  struct Case {
    SDL_Keycode key;
    SDL_Keycode modifier;
    WORD command;
  };
  const Case cases[] = {
      {SDLK_ESCAPE, SDLK_UNKNOWN, 40006}, {SDLK_x, SDLK_LALT, 40006},
      {SDLK_F2, SDLK_UNKNOWN, 40002},     {SDLK_RETURN, SDLK_UNKNOWN, 40004},
      {SDLK_RETURN, SDLK_LALT, 40003},    {SDLK_SPACE, SDLK_UNKNOWN, 40005},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SDL_GetKeyName(c.key));
    EXPECT_THAT(Press(c.key, c.modifier), testing::ElementsAre(c.command));
    UINT keyDown = c.modifier == SDLK_LALT ? WM_SYSKEYDOWN : WM_KEYDOWN;
    auto downs = window_.Only(keyDown);
    EXPECT_TRUE(std::none_of(downs.begin(), downs.end(), [&](const auto& r) {
      return r.wParam != VK_MENU;
    })) << "the accelerated key reached the window";
  }
}

TEST_F(Accelerators, OtherKeysAndModifiersPassThrough) {
  EXPECT_TRUE(Press(SDLK_x).empty());                    // X without Alt
  EXPECT_EQ(window_.Only(WM_KEYDOWN).size(), 1u);
  EXPECT_TRUE(Press(SDLK_ESCAPE, SDLK_LSHIFT).empty());  // Shift+Esc is not in the table
  EXPECT_TRUE(Press(SDLK_F3).empty());
}

TEST_F(Accelerators, UnknownTablesAndHandlesFail) {
  EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(999)), nullptr);
  EXPECT_EQ(LoadAcceleratorsA(nullptr, MAKEINTRESOURCE(IDR_MAIN_ACCEL)), nullptr);
  EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(nullptr), "named"), nullptr);
  MSG msg{window_.handle(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
  HACCEL bogus = reinterpret_cast<HACCEL>(uintptr_t{0x7777});
  EXPECT_EQ(TranslateAcceleratorA(window_.handle(), bogus, &msg), 0);
  EXPECT_EQ(TranslateAcceleratorA(window_.handle(), table_, nullptr), 0);
  EXPECT_EQ(TranslateAcceleratorA(reinterpret_cast<HWND>(uintptr_t{0x7778}), table_, &msg), 0);
  EXPECT_FALSE(DestroyAcceleratorTable(bogus));
}

TEST(ProgramResources, TheIconIsFoundByIdAndIsAMonochromeImage) {
  win32ext::SetProgramResources(&win32ext::ProgramResources());
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDI_MAIN_ICON));
  ASSERT_NE(icon, nullptr);
  const win32ext::MonochromeImage* image = win32ext::IconImage(icon);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDI_MAIN_ICON)), icon);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(102)), nullptr);
  EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
}

}  // namespace
