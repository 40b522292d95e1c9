// Modal dialogs on the headless desktop, played by the automation hook: when a dialog
// cannot open, the combo-box and button messages, the notifications a user's action
// gives (and a program's change does not), the keys and the close box, and the
// disabled owner.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "window_test_support.h"

using testing::ElementsAre;
using testsupport::RecordingWindow;

namespace {

constexpr int kCombo = 10;
constexpr int kRadioA = 20, kRadioB = 21, kRadioAlone = 22;
constexpr WORD kDialogId = 500, kUnsupportedId = 501;

const win32ext::DialogItemTemplate kItems[] = {
    {"BUTTON", "Group", -1, BS_GROUPBOX, 4, 4, 100, 60},
    {"STATIC", "&List:", -1, SS_LEFT, 8, 12, 30, 8},
    {"COMBOBOX", "", kCombo, CBS_DROPDOWNLIST | WS_TABSTOP, 40, 10, 60, 80},
    {"BUTTON", "&A", kRadioA, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 8, 30, 40, 10},
    {"BUTTON", "&B", kRadioB, BS_AUTORADIOBUTTON, 8, 42, 40, 10},
    {"BUTTON", "&C", kRadioAlone, BS_AUTORADIOBUTTON | WS_GROUP, 50, 30, 40, 10},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 10, 70, 40, 14},
    {"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 60, 70, 40, 14},
};
const win32ext::DialogItemTemplate kUnsupportedItems[] = {
    {"EDIT", "", 30, WS_TABSTOP, 4, 4, 50, 12},
};
const win32ext::DialogTemplate kDialog = {DS_SETFONT | WS_POPUP | WS_CAPTION, 0, 0, 110, 90, "Test",
                                          "MS Shell Dlg", 8, kItems, std::size(kItems)};
const win32ext::DialogTemplate kUnsupported = {WS_POPUP, 0, 0, 60, 20, "Edit", "MS Shell Dlg", 8,
                                               kUnsupportedItems, std::size(kUnsupportedItems)};
const win32ext::ResourceEntry kEntries[] = {
    {RT_DIALOG, kDialogId, &kDialog, 1},
    {RT_DIALOG, kUnsupportedId, &kUnsupported, 1},
};
const win32ext::ResourceDirectory kResources{kEntries, std::size(kEntries)};

// What the dialog procedure saw.
struct Seen {
  HWND dialog = nullptr;
  WPARAM initFocus = 0;
  LPARAM initParam = 0;
  std::vector<WPARAM> commands;
  std::vector<LPARAM> commandSources;
  std::function<void(HWND)> onInit;
};
Seen* g_seen = nullptr;

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    g_seen->dialog = dialog;
    g_seen->initFocus = wParam;
    g_seen->initParam = lParam;
    if (g_seen->onInit) g_seen->onInit(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  g_seen->commands.push_back(wParam);
  g_seen->commandSources.push_back(lParam);
  if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
  return TRUE;
}

class Dialogs : public testing::Test {
 protected:
  void SetUp() override {
    win32ext::SetProgramResources(&kResources);
    testsupport::DrainQueue();
    g_seen = &seen;
  }
  void TearDown() override {
    win32ext::SetDialogHook({});
    g_seen = nullptr;
  }

  // Runs the test dialog with a hook that takes the steps in order, one per idle turn.
  INT_PTR Run(std::vector<std::function<void(const win32ext::DialogUser&)>> steps, HWND owner = nullptr,
              LPARAM initParam = 0) {
    size_t next = 0;
    win32ext::SetDialogHook([&](const win32ext::DialogUser& user) {
      if (next == steps.size()) return false;
      steps[next++](user);
      return true;
    });
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogId), owner, RecordingProc, initParam);
  }

  static LRESULT Send(HWND dialog, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(GetDlgItem(dialog, kCombo), message, wParam, lParam);
  }

  Seen seen;
};

TEST_F(Dialogs, HeadlessWithoutAHookNoDialogOpens) {
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogId), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(seen.dialog, nullptr) << "no WM_INITDIALOG";
}

TEST_F(Dialogs, AMissingTemplateAnUnknownControlOrNoProcedureFailWithMinusOne) {
  win32ext::SetDialogHook([](const win32ext::DialogUser&) { return false; });
  HINSTANCE self = GetModuleHandleA(nullptr);
  EXPECT_EQ(DialogBoxParamA(self, MAKEINTRESOURCEA(777), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(DialogBoxParamA(self, MAKEINTRESOURCEA(kUnsupportedId), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(DialogBoxParamA(self, MAKEINTRESOURCEA(kDialogId), nullptr, nullptr, 0), -1);
  EXPECT_EQ(seen.dialog, nullptr);
}

TEST_F(Dialogs, InitialisationGetsTheParameterAndTheFirstTabStop) {
  HWND combo = nullptr;
  seen.onInit = [&](HWND dialog) {
    combo = GetDlgItem(dialog, kCombo);
    EXPECT_EQ(GetDlgItem(dialog, 99), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));
  };
  EXPECT_EQ(Run({[](const win32ext::DialogUser& user) { user.Click(IDOK); }}, nullptr, 1234), IDOK);
  EXPECT_EQ(seen.initParam, 1234);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(seen.initFocus, reinterpret_cast<WPARAM>(combo));
  EXPECT_FALSE(IsWindow(seen.dialog)) << "the dialog is gone once it returned";
  EXPECT_EQ(GetDlgItem(seen.dialog, kCombo), nullptr);
}

TEST_F(Dialogs, ComboBoxesKeepItemsInOrderWithTheirValuesAndSendNoNotificationForAProgramsChange) {
  seen.onInit = [](HWND dialog) {
    EXPECT_EQ(Send(dialog, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(Send(dialog, CB_ADDSTRING, 0, LPARAM("zebra")), 0);
    EXPECT_EQ(Send(dialog, CB_ADDSTRING, 0, LPARAM("apple")), 1) << "unsorted: appended";
    EXPECT_EQ(Send(dialog, CB_ADDSTRING, 0, LPARAM("apple")), 2);
    EXPECT_EQ(Send(dialog, CB_SETITEMDATA, 1, 0x1111), TRUE);
    EXPECT_EQ(Send(dialog, CB_SETITEMDATA, 2, 0x2222), TRUE);
    EXPECT_EQ(Send(dialog, CB_SETITEMDATA, 3, 0x3333), CB_ERR);
    EXPECT_EQ(Send(dialog, CB_GETITEMDATA, 2), 0x2222);
    EXPECT_EQ(Send(dialog, CB_GETITEMDATA, 0), 0);
    EXPECT_EQ(Send(dialog, CB_GETITEMDATA, 3), CB_ERR);
    EXPECT_EQ(Send(dialog, CB_GETCOUNT), 3);
    EXPECT_EQ(Send(dialog, CB_GETLBTEXTLEN, 0), 5);
    EXPECT_EQ(Send(dialog, CB_GETLBTEXTLEN, WPARAM(-1)), CB_ERR);
    char text[16] = "";
    EXPECT_EQ(Send(dialog, CB_GETLBTEXT, 1, LPARAM(text)), 5);
    EXPECT_STREQ(text, "apple");
    EXPECT_EQ(Send(dialog, CB_GETLBTEXT, 7, LPARAM(text)), CB_ERR);
    EXPECT_EQ(Send(dialog, CB_SETCURSEL, 2), 2);
    EXPECT_EQ(Send(dialog, CB_GETCURSEL), 2);
    EXPECT_EQ(Send(dialog, CB_SETCURSEL, 5), CB_ERR) << "past the end clears the selection";
    EXPECT_EQ(Send(dialog, CB_GETCURSEL), CB_ERR);
    Send(dialog, CB_SETCURSEL, 0);
  };
  std::vector<WPARAM> commandsAfterInit{99};
  EXPECT_EQ(Run({[&](const win32ext::DialogUser& user) {
                   commandsAfterInit = seen.commands;
                   HWND dialog = user.dialog();
                   EXPECT_EQ(Send(dialog, CB_RESETCONTENT), TRUE);
                   EXPECT_EQ(Send(dialog, CB_GETCOUNT), 0);
                   EXPECT_EQ(Send(dialog, CB_GETCURSEL), CB_ERR);
                 },
                 [](const win32ext::DialogUser& user) { user.Click(IDCANCEL); }}),
            IDCANCEL);
  EXPECT_TRUE(commandsAfterInit.empty()) << "CB_SETCURSEL and CB_RESETCONTENT notify no one";
}

TEST_F(Dialogs, ChoosingAnItemSelectsItAndSendsTheSelectionChangeFromTheControl) {
  HWND combo = nullptr;
  seen.onInit = [&](HWND dialog) {
    combo = GetDlgItem(dialog, kCombo);
    Send(dialog, CB_ADDSTRING, 0, LPARAM("one"));
    Send(dialog, CB_ADDSTRING, 0, LPARAM("two"));
    Send(dialog, CB_ADDSTRING, 0, LPARAM("two"));
  };
  LRESULT chosen = CB_ERR;
  bool missing = true, disabled = true;
  Run({[&](const win32ext::DialogUser& user) { EXPECT_TRUE(user.Choose(kCombo, "two")); },
       [&](const win32ext::DialogUser& user) {
         chosen = Send(user.dialog(), CB_GETCURSEL);
         missing = user.Choose(kCombo, "three");
         EnableWindow(GetDlgItem(user.dialog(), kCombo), FALSE);
         EXPECT_FALSE(IsWindowEnabled(GetDlgItem(user.dialog(), kCombo)));
         disabled = user.Choose(kCombo, "one");
       }});
  EXPECT_EQ(chosen, 1) << "the first item with the text";
  EXPECT_FALSE(missing);
  EXPECT_FALSE(disabled) << "a disabled list takes no choice";
  // Refused choices notify no one; the close box at the end cancels.
  EXPECT_THAT(seen.commands, ElementsAre(MAKEWPARAM(kCombo, CBN_SELCHANGE), MAKEWPARAM(IDCANCEL, BN_CLICKED)));
  EXPECT_EQ(seen.commandSources[0], reinterpret_cast<LPARAM>(combo));
}

TEST_F(Dialogs, AutomaticRadioButtonsCheckThemselvesWithinTheirGroupAndSayClicked) {
  std::vector<UINT> states;
  auto record = [&](HWND dialog) {
    for (int id : {kRadioA, kRadioB, kRadioAlone}) states.push_back(IsDlgButtonChecked(dialog, id));
  };
  seen.onInit = [](HWND dialog) {
    EXPECT_TRUE(CheckRadioButton(dialog, kRadioA, kRadioB, kRadioA));
    SendMessageA(GetDlgItem(dialog, kRadioAlone), BM_SETCHECK, BST_CHECKED, 0);
  };
  Run({[&](const win32ext::DialogUser& user) {
         record(user.dialog());
         EXPECT_TRUE(user.Click(kRadioB));
       },
       [&](const win32ext::DialogUser& user) {
         record(user.dialog());
         EnableWindow(GetDlgItem(user.dialog(), kRadioA), FALSE);
         EXPECT_FALSE(user.Click(kRadioA)) << "disabled";
         EXPECT_FALSE(user.Click(kCombo)) << "not a button";
       }});
  EXPECT_THAT(states, ElementsAre(BST_CHECKED, BST_UNCHECKED, BST_CHECKED,  //
                                  BST_UNCHECKED, BST_CHECKED, BST_CHECKED));
  ASSERT_FALSE(seen.commands.empty());
  EXPECT_EQ(seen.commands[0], MAKEWPARAM(kRadioB, BN_CLICKED));
  EXPECT_EQ(SendMessageA(nullptr, BM_GETCHECK, 0, 0), 0);
}

TEST_F(Dialogs, EscapeTheCloseBoxAndAHookWithNothingToDoCancelEnterPressesTheDefaultButton) {
  EXPECT_EQ(Run({[](const win32ext::DialogUser& user) { EXPECT_TRUE(user.PressKey(VK_ESCAPE)); }}), IDCANCEL);
  EXPECT_EQ(seen.commands.back(), MAKEWPARAM(IDCANCEL, BN_CLICKED));
  EXPECT_EQ(Run({[](const win32ext::DialogUser& user) { user.Close(); }}), IDCANCEL);
  EXPECT_EQ(Run({}), IDCANCEL);
  EXPECT_EQ(Run({[](const win32ext::DialogUser& user) {
              EXPECT_FALSE(user.PressKey('A'));
              EXPECT_TRUE(user.PressKey(VK_RETURN));
            }}),
            IDOK);
  EXPECT_EQ(seen.commands.back(), MAKEWPARAM(IDOK, BN_CLICKED));
}

TEST_F(Dialogs, ADialogProcedureThatIgnoresTheCloseBoxCannotHangTheLoop) {
  win32ext::SetDialogHook([](const win32ext::DialogUser&) { return false; });
  auto deaf = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_COMMAND; };
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogId), nullptr, deaf, 0), -1);
}

TEST_F(Dialogs, TheOwnerIsDisabledMeanwhileAndGetsNoInputButItsOtherMessages) {
  RecordingWindow owner;
  testsupport::DrainQueue();
  owner.received().clear();
  bool disabledMeanwhile = false;
  Run({[&](const win32ext::DialogUser&) {
         disabledMeanwhile = !IsWindowEnabled(owner.handle());
         PostMessageA(owner.handle(), WM_KEYDOWN, VK_SPACE, 0);
         PostMessageA(owner.handle(), WM_USER + 7, 0, 0);
       },
       [](const win32ext::DialogUser& user) { user.Click(IDOK); }},
      owner.handle());
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_TRUE(owner.Only(WM_KEYDOWN).empty());
  EXPECT_EQ(owner.Only(WM_USER + 7).size(), 1u);
}

TEST_F(Dialogs, NotificationsStillQueuedWhenTheDialogEndsAreDropped) {
  Run({[](const win32ext::DialogUser& user) {
    PostMessageA(user.dialog(), WM_COMMAND, MAKEWPARAM(kCombo, CBN_SELCHANGE), 0);
    EndDialog(user.dialog(), 7);
  }});
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(seen.commands.empty());
  EXPECT_FALSE(EndDialog(seen.dialog, 1)) << "the dialog is gone";
}

TEST(DialogBaseUnits, TheShellFontAtEightPointsMeasuresLikeWindowsSmallFonts) {
  win32ext::DialogBaseUnits units = win32ext::BaseUnitsOf("MS Shell Dlg", 8);
  EXPECT_GE(units.x, 5);
  EXPECT_LE(units.x, 7);
  EXPECT_GE(units.y, 12);
  EXPECT_LE(units.y, 15);
  win32ext::DialogBaseUnits larger = win32ext::BaseUnitsOf("MS Shell Dlg", 12);
  EXPECT_GT(larger.x, units.x);
  EXPECT_GT(larger.y, units.y);
}

}  // namespace
