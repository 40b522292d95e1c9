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
  };
  static const ResourceDirectory directory{entries, std::size(entries)};
  return directory;
}
