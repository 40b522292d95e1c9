// Create on the headless desktop: the window and device it leaves behind, the scene
// hooks it calls, each way it can fail (with the message it shows), and the window
// messages that act on a created shell (size changes, device change, system commands).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame_capture.h"
#include "shell_harness.h"

namespace apptest {
namespace {

const std::string kMustExit = "\n\nThis program will now exit.";
const std::string kSwitchedToRef =
    "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
    "Direct3D feature set, but runs very slowly.";
const std::string kGeneric = "Generic application error. Enable\ndebug output for detailed information.";

using Lifecycle = std::vector<std::string>;

using CreateShell = ShellRun;

TEST_F(CreateShell, LeavesAnActivePopupWindowOfTheAskedClientSizeWithAHalDevice) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(shell.active);
  EXPECT_EQ(pauseCount, 0);
  EXPECT_EQ(shell.focusWindow, shell.window);
  RECT client{};
  GetClientRect(shell.window, &client);
  EXPECT_EQ(client.right - client.left, 64);
  EXPECT_EQ(client.bottom - client.top, 48);
  EXPECT_EQ(DWORD(GetWindowLongA(shell.window, GWL_STYLE)), 0x90000000u);
  EXPECT_EQ(shell.windowStyle & 0x00CF0000u, 0x00CF0000u) << "the overlapped style is kept for later";
  ASSERT_NE(shell.device, nullptr);
  EXPECT_TRUE(shell.windowed);
  EXPECT_EQ(std::strncmp(shell.deviceStats, "HAL (", 5), 0) << shell.deviceStats;
  EXPECT_EQ(shell.backBufferDesc.Width, 64u);
  EXPECT_EQ(shell.backBufferDesc.Height, 48u);
  EXPECT_TRUE(shell.deviceObjectsInited);
  EXPECT_TRUE(shell.deviceObjectsRestored);
  // The capture reads the desktop, and keeps the window's place at creation.
  EXPECT_EQ(frameCapture.displayMode.Width, 1920u);
  EXPECT_EQ(frameCapture.displayMode.Height, 1080u);
  EXPECT_EQ(frameCapture.sourceRect.left, shell.windowBounds.left);
  EXPECT_EQ(frameCapture.sourceRect.right, shell.windowBounds.right);
  EXPECT_EQ(frameCapture.sourceRect.top, shell.windowBounds.top);
  EXPECT_EQ(frameCapture.sourceRect.bottom, shell.windowBounds.bottom);
  // The scene was asked about devices before the window existed.
  EXPECT_GT(shell.confirmCalls, 0);
  EXPECT_FALSE(shell.confirmSawWindow);
  EXPECT_EQ(shell.lifecycle, (Lifecycle{"OneTimeSceneInit", "InitDeviceObjects", "RestoreDeviceObjects"}));
}

TEST_F(CreateShell, ChoosingTheDeviceAtStartWithoutADialogKeepsOneDevice) {
  Configure(5);
  shell.chooseDeviceAtStart = true;  // headless, the settings dialog cannot open
  ASSERT_EQ(Create(), S_OK);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 1);
  EXPECT_NE(shell.device, nullptr);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CreateShell, FailsWithNoCompatibleDevicesWhenTheSceneRefusesEveryDevice) {
  Configure(5);
  shell.confirmResult = E_FAIL;
  EXPECT_EQ(Create(), HRESULT(0x82000003));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not find any compatible Direct3D\ndevices." + kMustExit);
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.window, nullptr) << "the must-exit message closes the window";
  EXPECT_EQ(shell.Count("OneTimeSceneInit"), 0);
}

TEST_F(CreateShell, AFailingOneTimeSceneInitShowsTheMustExitMessageAndBuildsNoDevice) {
  Configure(5);
  shell.failOnCall["OneTimeSceneInit"] = 1;
  EXPECT_EQ(Create(), E_FAIL);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kGeneric + kMustExit);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.lifecycle, (Lifecycle{"OneTimeSceneInit", "FinalCleanup"}));
}

class MissingMedia : public ShellRun, public ::testing::WithParamInterface<HRESULT> {};

TEST_P(MissingMedia, NeverFallsBackToTheReferenceDevice) {
  Configure(5);
  shell.failOnCall["InitDeviceObjects"] = 1;
  shell.failure = GetParam();
  EXPECT_EQ(Create(), GetParam());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not load required media." + kMustExit);
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(shell.lifecycle, (Lifecycle{"OneTimeSceneInit", "InitDeviceObjects", "DeleteDeviceObjects", "FinalCleanup"}));
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.window, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Codes, MissingMedia, ::testing::Values(HRESULT(0x8200000B), HRESULT(0x80070002)),
                         [](const ::testing::TestParamInfo<HRESULT>& info) {
                           return std::string(info.param == HRESULT(0x8200000B) ? "MediaNotFound" : "FileNotFound");
                         });

TEST_F(CreateShell, AHookFailingOnTheHalDeviceFallsBackToTheReferenceDevice) {
  Configure(5);
  shell.failOnCall["RestoreDeviceObjects"] = 1;
  ASSERT_EQ(Create(), S_OK);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, kGeneric + kSwitchedToRef);
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONWARNING | MB_OK));
  EXPECT_EQ(boxes[0].caption, "D3D9 Application");
  EXPECT_EQ(boxes[1].text, shell.deviceStats);
  EXPECT_EQ(boxes[1].caption, "Initialize3DEnvironment");
  EXPECT_EQ(boxes[1].type, UINT(MB_OK));
  EXPECT_EQ(boxes[1].owner, nullptr);
  EXPECT_EQ(std::strncmp(shell.deviceStats, "REF", 3), 0) << shell.deviceStats;
  EXPECT_EQ(shell.settings.windowedDevice->deviceType, D3DDEVTYPE_REF);
  EXPECT_TRUE(shell.windowed);
  EXPECT_FALSE(fatalErrorShown);
  const Lifecycle expected = {"OneTimeSceneInit",        "InitDeviceObjects",   "RestoreDeviceObjects",
                              "InvalidateDeviceObjects", "DeleteDeviceObjects", "InitDeviceObjects",
                              "RestoreDeviceObjects"};
  EXPECT_EQ(shell.lifecycle, expected);
}

TEST_F(CreateShell, AHookFailingOnBothDevicesEndsWithTheMustExitMessage) {
  Configure(5);
  shell.failOnCall["RestoreDeviceObjects"] = 1;
  shell.failFromThenOn = true;
  EXPECT_EQ(Create(), E_FAIL);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, kGeneric + kSwitchedToRef);
  EXPECT_EQ(boxes[1].caption, "Initialize3DEnvironment");
  EXPECT_EQ(boxes[2].text, kGeneric + kMustExit);
  EXPECT_EQ(boxes[2].type, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 2);
  EXPECT_EQ(shell.Count("DeleteDeviceObjects"), 2);
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
}

// A hook that keeps a device reference and fails: the release shows the must-exit
// message, whose close sequence must find the device gone, and nothing is tried after.
TEST_F(CreateShell, AReferenceKeptByAFailingHookIsReleasedOnceAndEndsTheProgram) {
  Configure(5);
  IDirect3DDevice9* kept = nullptr;
  shell.onHook = [&](const std::string& hook) {
    if (hook == "InitDeviceObjects" && !kept) (kept = shell.device)->AddRef();
  };
  shell.failOnCall["InitDeviceObjects"] = 1;
  EXPECT_TRUE(FAILED(Create()));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "A D3D object has a non-zero reference\ncount (meaning things were not properly\n"
                           "cleaned up)." + kMustExit);
  EXPECT_EQ(shell.device, nullptr);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 1) << "no reference device is tried after the must-exit message";
  EXPECT_EQ(shell.Count("FinalCleanup"), 1);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Release(), 0u) << "the shell released its own reference exactly once";
}

// A driver-internal error is always must-exit, also where it would announce the switch
// to the reference device: the program ends there.
TEST_F(CreateShell, ADriverInternalErrorOnTheHalDeviceEndsWithoutTryingTheReferenceDevice) {
  Configure(5);
  shell.failOnCall["InitDeviceObjects"] = 1;
  shell.failure = D3DERR_DRIVERINTERNALERROR;
  EXPECT_EQ(Create(), D3DERR_DRIVERINTERNALERROR);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "A serious problem occured inside the display driver." + kMustExit);
  EXPECT_EQ(shell.Count("InitDeviceObjects"), 1);
  EXPECT_EQ(shell.direct3D, nullptr);
  EXPECT_EQ(shell.window, nullptr);
}

// Each vertex processing type reaches the device as its creation flags, and the device
// stats name it; a pure device refuses state reads, the others answer them.
TEST_F(CreateShell, EachVertexProcessingTypeCreatesTheDeviceWithItsFlags) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  const struct {
    VertexProcessingType type;
    DWORD flags;
    const char* stats;
  } cases[] = {{SOFTWARE_VP, 0x20, "HAL (sw vp): "},
               {MIXED_VP, 0x80, "HAL (mixed vp): "},
               {HARDWARE_VP, 0x40, "HAL (hw vp): "},
               {PURE_HARDWARE_VP, 0x50, "HAL (pure hw vp): "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stats);
    shell.Cleanup3DEnvironment();
    shell.settings.windowedVertexProcessing = c.type;
    ASSERT_EQ(shell.Initialize3DEnvironment(), S_OK);
    EXPECT_EQ(shell.behaviorFlags, c.flags);
    EXPECT_EQ(std::strncmp(shell.deviceStats, c.stats, std::strlen(c.stats)), 0) << shell.deviceStats;
    DWORD value = 0;
    EXPECT_EQ(SUCCEEDED(shell.device->GetRenderState(D3DRS_ZENABLE, &value)), c.type != PURE_HARDWARE_VP);
  }
  EXPECT_TRUE(boxes.empty());
}

// The adapter's name fills deviceStats up to 89 bytes, never ending inside a double-byte
// character.
TEST_F(CreateShell, TheDeviceStatsAreCutAt89BytesWithoutSplittingADoubleByteCharacter) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  shell.settings.windowedVertexProcessing = HARDWARE_VP;  // "HAL (hw vp): " is 13 bytes
  char* name = shell.settings.windowedAdapter->identifier.Description;
  const std::string kSaisei = "\x8D\xC4\x90\xB6";  // 再生
  for (size_t lead : {74u, 75u}) {
    std::string description = std::string(lead, 'a') + kSaisei;
    std::snprintf(name, 512, "%s", description.c_str());
    shell.Cleanup3DEnvironment();
    ASSERT_EQ(shell.Initialize3DEnvironment(), S_OK);
    std::string expected = "HAL (hw vp): " + std::string(lead, 'a') + (lead == 74 ? "\x8D\xC4" : "");
    EXPECT_EQ(std::string(shell.deviceStats), expected) << lead;
    EXPECT_LE(std::strlen(shell.deviceStats), 89u);
  }
}

using WindowMessages = ShellRun;

TEST_F(WindowMessages, MaximisingResetsTheDeviceToTheNewSizeAndRestoringResetsItBack) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  shell.lifecycle.clear();
  ShowWindow(shell.window, SW_MAXIMIZE);
  EXPECT_TRUE(shell.maximized);
  RECT client{};
  GetClientRect(shell.window, &client);
  EXPECT_GT(client.right, 64);
  EXPECT_EQ(shell.backBufferDesc.Width, UINT(client.right));
  EXPECT_EQ(shell.backBufferDesc.Height, UINT(client.bottom));
  ShowWindow(shell.window, SW_RESTORE);
  EXPECT_FALSE(shell.maximized);
  EXPECT_EQ(shell.backBufferDesc.Width, 64u);
  EXPECT_EQ(shell.backBufferDesc.Height, 48u);
  EXPECT_EQ(shell.lifecycle, (Lifecycle{"InvalidateDeviceObjects", "RestoreDeviceObjects", "InvalidateDeviceObjects",
                                        "RestoreDeviceObjects"}));
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowMessages, ARestoreWhileNeitherMinimisedNorMaximisedDoesNotResetTheDevice) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  shell.lifecycle.clear();
  SendMessageA(shell.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(64, 48));
  EXPECT_TRUE(shell.lifecycle.empty());
  EXPECT_EQ(pauseCount, 0);
}

TEST_F(WindowMessages, TheChangeDeviceCommandWithoutADialogChangesNothing) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  IDirect3DDevice9* before = shell.device;
  shell.lifecycle.clear();
  EXPECT_EQ(SendMessageA(shell.window, WM_COMMAND, 40002, 0), 0);
  EXPECT_EQ(shell.device, before);
  EXPECT_TRUE(shell.lifecycle.empty());
  EXPECT_EQ(pauseCount, 0);
  EXPECT_TRUE(shell.active);
}

TEST_F(WindowMessages, SystemCommandsAreSwallowedOnlyInFullscreen) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  shell.windowed = false;
  for (WPARAM command : {WPARAM(SC_SIZE), WPARAM(SC_MOVE), WPARAM(SC_MAXIMIZE), WPARAM(SC_KEYMENU),
                         WPARAM(SC_MONITORPOWER)}) {
    EXPECT_EQ(shell.MsgProc(shell.window, WM_SYSCOMMAND, command, 0), TRUE) << command;
  }
  EXPECT_FALSE(shell.maximized);
  EXPECT_EQ(shell.MsgProc(shell.window, WM_NCHITTEST, 0, MAKELPARAM(-5000, -5000)), HTCLIENT);
  shell.windowed = true;
  EXPECT_EQ(shell.MsgProc(shell.window, WM_NCHITTEST, 0, MAKELPARAM(-5000, -5000)), HTNOWHERE);
  shell.MsgProc(shell.window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(shell.maximized) << "in a window the command reaches the default handling";
}

TEST_F(WindowMessages, TheMinimumTrackingSizeIsOneHundredSquare) {
  Configure(5);
  ASSERT_EQ(Create(), S_OK);
  MINMAXINFO info{};
  shell.MsgProc(shell.window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 100);
  EXPECT_EQ(info.ptMinTrackSize.y, 100);
  for (WPARAM event : {WPARAM(0), WPARAM(7)}) EXPECT_EQ(shell.MsgProc(shell.window, WM_POWERBROADCAST, event, 0), TRUE);
}

}  // namespace
}  // namespace apptest
