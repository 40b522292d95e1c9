// Message boxes: the test hook sees every box; headless, a box is written to standard
// error as "caption: text" and answered with its first button.
#include <gtest/gtest.h>

#include "window_test_support.h"

namespace {

TEST(MessageBox, TheHookRecordsTextCaptionAndFlags) {
  std::vector<win32ext::MessageBoxRecord> boxes;
  win32ext::SetMessageBoxHook([&](const win32ext::MessageBoxRecord& box) {
    boxes.push_back(box);
    return IDNO;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "GrabImage fail.", nullptr, MB_OK), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "\x8d\xc4\x90\xb6", "Caption", MB_YESNO | MB_ICONQUESTION), IDNO);
  win32ext::SetMessageBoxHook(nullptr);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "GrabImage fail.");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(boxes[1].text, "\x8d\xc4\x90\xb6");
  EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST(MessageBox, HeadlessBoxesGoToStandardErrorInUtf8) {
  testing::internal::CaptureStderr();
  // "AVI2.dll が見つかりません" in CP932.
  int result = MessageBoxA(nullptr,
                           "AVI2.dll \x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
                           "Vesk", MB_OK | MB_ICONERROR);
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(written, "Vesk: AVI2.dll が見つかりません\n");

  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Retry?", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Retry?\n");
}

TEST(MessageBox, TheReportedLineGoesWithTheNextBoxOnly) {
  std::vector<win32ext::MessageBoxRecord> boxes;
  win32ext::SetMessageBoxHook([&](const win32ext::MessageBoxRecord& box) {
    boxes.push_back(box);
    return IDOK;
  });
  testing::internal::CaptureStderr();
  win32ext::ReportProblem("vesk: cannot load the %s '%s': %s\n", "globe picture", "x.png", "not found");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vesk: cannot load the globe picture 'x.png': not found\n");
  MessageBoxA(nullptr, "Could not load required media.", "Vesk", MB_OK);
  MessageBoxA(nullptr, "GrabImage fail.", nullptr, MB_OK);
  win32ext::SetMessageBoxHook(nullptr);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Could not load required media.") << "the fixed text stays as it is";
  EXPECT_EQ(boxes[0].detail, "vesk: cannot load the globe picture 'x.png': not found");
  EXPECT_EQ(boxes[1].detail, "");
}

TEST(MessageBox, BadTypesAndOwnersFail) {
  EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 0x0F), 0);
  EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(uintptr_t{0x5555}), "x", "y", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
