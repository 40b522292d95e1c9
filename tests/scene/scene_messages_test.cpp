// The scene's share of the window's messages, on a window of the shell's window
// procedure with input injected as the user's mouse gives it: the rotator gets every
// mouse message before the shell, which moves the device cursor on each move.
#include <gtest/gtest.h>

#include <vector>

#include "recording_device.h"
#include "scene_test_support.h"
#include "window_test_support.h"

namespace {

using testsupport::ButtonEvent;
using testsupport::DrainQueue;
using testsupport::MotionEvent;

constexpr char kClass[] = "Vesk scene messages";

struct Rotator {
  D3DXMATRIX rotation, pan;
  int dragging;
};

class SceneMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ShellWindowProc;
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);  // fails harmlessly when an earlier test registered it
    window_ = CreateWindowExA(0, kClass, "globe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 100, 640, 480, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    app_.window = window_;
    app_.device = &recorder_;
    app_.active = true;  // as once Create has released the start-up pause
    app_.rotator.Resize(640, 480, 3.0f);
    DrainQueue();
    recorder_.onCursorMove = [this] {
      atCursorMove_.push_back({app_.rotator.rotation, app_.rotator.pan, app_.rotator.dragging});
    };
  }
  void TearDown() override {
    app_.device = nullptr;
    DestroyWindow(window_);
    DrainQueue();
  }
  void Inject(const SDL_Event& event) { win32ext::InjectInput(event); }

  testsupport::TestDevice test_;
  RecordingDevice recorder_{test_.device};
  GlobeApp app_;  // the newest shell: the window procedure forwards to it
  HWND window_ = nullptr;
  std::vector<Rotator> atCursorMove_;  // the rotator's state each time the shell moves the cursor
};

TEST_F(SceneMessagesTest, ALeftDragTurnsTheGlobeBeforeTheShellMovesTheCursor) {
  Inject(ButtonEvent(window_, SDL_BUTTON_LEFT, true, 320, 240));
  Inject(MotionEvent(window_, 520, 300));
  DrainQueue();
  ASSERT_FALSE(atCursorMove_.empty()) << "the shell moves the device cursor on a mouse move";
  const SphereRotator& rotator = app_.rotator;
  EXPECT_EQ(rotator.dragging, 1);
  EXPECT_LT(rotator.rotation._11, 0.99f) << "the drag turned the globe";
  const Rotator& seen = atCursorMove_.back();
  EXPECT_EQ(seen.dragging, 1);
  EXPECT_EQ(memcmp(&seen.rotation, &rotator.rotation, sizeof rotator.rotation), 0)
      << "the rotator had turned the globe when the shell handled the move";
  Inject(ButtonEvent(window_, SDL_BUTTON_LEFT, false, 520, 300));
  DrainQueue();
  EXPECT_EQ(rotator.dragging, 0);
}

// The release goes on to the default handling, which turns it into a context-menu
// message; the scene answers that one itself.
TEST_F(SceneMessagesTest, ARightDragPansTheGlobeBeforeTheShellMovesTheCursor) {
  Inject(ButtonEvent(window_, SDL_BUTTON_RIGHT, true, 400, 240));
  Inject(MotionEvent(window_, 80, 240));
  Inject(ButtonEvent(window_, SDL_BUTTON_RIGHT, false, 80, 240));
  DrainQueue();
  EXPECT_FLOAT_EQ(app_.rotator.pan._41, -1.0f) << "half the width to the left";
  EXPECT_FLOAT_EQ(app_.rotator.pan._42, 0.0f);
  ASSERT_FALSE(atCursorMove_.empty());
  EXPECT_FLOAT_EQ(atCursorMove_.back().pan._41, -1.0f) << "the rotator had panned when the shell handled the move";
  EXPECT_EQ(app_.rotator.dragging, 0);
}

}  // namespace
