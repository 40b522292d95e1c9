// The program's monochrome icon as a square RGBA picture of any size, for the desktop's
// icon theme: each output pixel averages the part of the icon it covers, so sizes that
// are not a multiple of the icon's keep its shape without jagged, uneven pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "win32ext.h"

namespace icons {

struct RgbaImage {
  int size = 0;
  std::vector<uint8_t> rgba;  // rows top to bottom, four bytes a pixel, not premultiplied
};

// Black where the icon draws black (and where it inverts the screen, which a picture
// cannot do), white where it draws white, transparent where it leaves the screen alone.
RgbaImage ScaleIcon(const win32ext::MonochromeImage& icon, int size);

}  // namespace icons
