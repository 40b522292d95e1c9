// The program's resource tables, linked into the executable and found by id.
#include "resources.h"

namespace {

const ACCEL kMainAccelerators[] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, IDM_EXIT},
    {FVIRTKEY | FALT | FNOINVERT, 'X', IDM_EXIT},
    {FVIRTKEY | FNOINVERT, VK_F2, IDM_CHANGEDEVICE},
    {FVIRTKEY | FNOINVERT, VK_RETURN, IDM_TOGGLESTART},
    {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, IDM_TOGGLEFULLSCREEN},
    {FVIRTKEY | FNOINVERT, VK_SPACE, IDM_SINGLESTEP},
};

constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kGroupBox = BS_GROUPBOX;
constexpr int kNoId = -1;

// The "Direct3D Settings" dialog, controls in tab order.
const win32ext::DialogItemTemplate kSelectDeviceItems[] = {
    {"BUTTON", "Adapter and device", kNoId, kGroupBox, 5, 5, 276, 47},
    {"STATIC", "Display &Adapter:", kNoId, SS_LEFT, 16, 17, 98, 10},
    {"COMBOBOX", "", IDC_ADAPTER_COMBO, kList, 124, 15, 149, 100},
    {"STATIC", "Render &Device:", kNoId, SS_LEFT, 16, 34, 98, 10},
    {"COMBOBOX", "", IDC_DEVICE_COMBO, kList, 124, 32, 149, 100},
    {"BUTTON", "Display mode settings", kNoId, kGroupBox, 5, 56, 276, 98},
    {"BUTTON", "&Windowed", IDC_WINDOW, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 16, 68, 98, 15},
    {"BUTTON", "&Fullscreen", IDC_FULLSCREEN, BS_AUTORADIOBUTTON, 16, 83, 98, 15},
    {"STATIC", "Adapter F&ormat:", kNoId, SS_LEFT, 16, 103, 98, 8},
    {"COMBOBOX", "", IDC_ADAPTERFORMAT_COMBO, kList | WS_GROUP, 124, 101, 149, 204},
    {"STATIC", "&Resolution:", kNoId, SS_LEFT, 16, 120, 98, 8},
    {"COMBOBOX", "", IDC_RESOLUTION_COMBO, kList | WS_GROUP, 124, 118, 149, 204},
    {"STATIC", "R&efresh Rate:", kNoId, SS_LEFT, 16, 137, 98, 8},
    {"COMBOBOX", "", IDC_REFRESHRATE_COMBO, kList | WS_GROUP, 124, 135, 149, 204},
    {"BUTTON", "Device settings", kNoId, kGroupBox, 7, 158, 274, 118},
    {"STATIC", "&Back Buffer Format:", kNoId, SS_LEFT, 16, 173, 98, 8},
    {"COMBOBOX", "", IDC_BACKBUFFERFORMAT_COMBO, kList, 124, 170, 149, 100},
    {"STATIC", "De&pth/Stencil Buffer Format:", kNoId, SS_LEFT, 16, 190, 98, 8},
    {"COMBOBOX", "", IDC_DEPTHSTENCILBUFFERFORMAT_COMBO, kList, 124, 187, 149, 100},
    {"STATIC", "&Multisample Type:", kNoId, SS_LEFT, 16, 207, 98, 10},
    {"COMBOBOX", "", IDC_MULTISAMPLE_COMBO, kList, 124, 204, 149, 100},
    {"STATIC", "Multisample &Quality:", kNoId, SS_LEFT, 16, 224, 98, 8},
    {"COMBOBOX", "", IDC_MULTISAMPLE_QUALITY_COMBO, kList, 124, 221, 149, 100},
    {"STATIC", "&Vertex Processing:", kNoId, SS_LEFT, 16, 241, 98, 8},
    {"COMBOBOX", "", IDC_VERTEXPROCESSING_COMBO, kList, 124, 238, 149, 100},
    {"STATIC", "Present &Interval:", kNoId, SS_LEFT, 16, 258, 98, 8},
    {"COMBOBOX", "", IDC_PRESENTINTERVAL_COMBO, kList, 124, 255, 149, 100},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 86, 286, 50, 14},
    {"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 152, 286, 50, 14},
};

const win32ext::DialogTemplate kSelectDevice = {
    DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0, 0, 289, 302,
    "Direct3D Settings",
    "MS Shell Dlg",
    8,
    kSelectDeviceItems,
    std::size(kSelectDeviceItems),
};

// A globe with two meridians and the equator.
const win32ext::MonochromeImage& MainIcon() {
  static const win32ext::MonochromeImage icon = win32ext::ImageFromArt(
      {
          "                                ",
          "           XXXXXXXXXX           ",
          "        XXX....XX....XXX        ",
          "      XX.......XX.......XX      ",
          "     X........XXXX........X     ",
          "    X.......XX.XX.XX.......X    ",
          "   X.......X...XX...X.......X   ",
          "  X.......X....XX....X.......X  ",
          "  X......X.....XX.....X......X  ",
          " X......X......XX......X......X ",
          " X......X......XX......X......X ",
          " X.....X.......XX.......X.....X ",
          "X......X.......XX.......X......X",
          "X......X.......XX.......X......X",
          "X.....X........XX........X.....X",
          "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX",
          "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX",
          "X.....X........XX........X.....X",
          "X......X.......XX.......X......X",
          "X......X.......XX.......X......X",
          " X.....X.......XX.......X.....X ",
          " X......X......XX......X......X ",
          " X......X......XX......X......X ",
          "  X......X.....XX.....X......X  ",
          "  X.......X....XX....X.......X  ",
          "   X.......X...XX...X.......X   ",
          "    X.......XX.XX.XX.......X    ",
          "     X........XXXX........X     ",
          "      XX.......XX.......XX      ",
          "        XXX....XX....XXX        ",
          "           XXXXXXXXXX           ",
          "                                ",
      },
      0, 0);
  return icon;
}

}  // namespace

const win32ext::ResourceDirectory& win32ext::ProgramResources() {
  static const ResourceEntry entries[] = {
      {RT_ACCELERATOR, IDR_MAIN_ACCEL, kMainAccelerators, std::size(kMainAccelerators)},
      {RT_GROUP_ICON, IDI_MAIN_ICON, &MainIcon(), 1},
      {RT_DIALOG, IDD_SELECTDEVICE, &kSelectDevice, 1},
  };
  static const ResourceDirectory directory{entries, std::size(entries)};
  return directory;
}
