// Area-averaged scaling of the AND/XOR icon into RGBA. Areas are counted in whole units
// (an icon pixel is size x size of them, an output pixel width x height), so mirrored
// pixels get exactly mirrored values.
#include "icon_scale.h"

#include <algorithm>

namespace icons {
namespace {

struct Coverage {
  long long drawn = 0;  // covered area that is not transparent
  long long white = 0;  // covered area that is drawn white
};

// Adds icon pixel (x, y) with the area it shares with the output pixel.
void AddPixel(const win32ext::MonochromeImage& icon, int x, int y, long long area, Coverage& sum) {
  if (icon.AndBit(x, y) && !icon.XorBit(x, y)) return;  // leaves the screen alone
  sum.drawn += area;
  if (!icon.AndBit(x, y) && icon.XorBit(x, y)) sum.white += area;
}

uint8_t Ratio255(long long part, long long whole) {
  return uint8_t((255 * part + whole / 2) / whole);
}

}  // namespace

RgbaImage ScaleIcon(const win32ext::MonochromeImage& icon, int size) {
  RgbaImage image;
  image.size = size;
  image.rgba.assign(size_t(std::max(size, 0)) * size_t(std::max(size, 0)) * 4, 0);
  if (size <= 0 || icon.width <= 0 || icon.height <= 0) return image;
  const long long unitsWide = icon.width, unitsHigh = icon.height;  // of one output pixel
  for (int oy = 0; oy < size; ++oy) {
    for (int ox = 0; ox < size; ++ox) {
      long long x0 = ox * unitsWide, x1 = x0 + unitsWide, y0 = oy * unitsHigh, y1 = y0 + unitsHigh;
      Coverage sum;
      for (int y = int(y0 / size); y < icon.height && y * (long long)size < y1; ++y) {
        long long h = std::min(y1, (y + 1LL) * size) - std::max(y0, (long long)y * size);
        for (int x = int(x0 / size); x < icon.width && x * (long long)size < x1; ++x) {
          long long w = std::min(x1, (x + 1LL) * size) - std::max(x0, (long long)x * size);
          if (w > 0 && h > 0) AddPixel(icon, x, y, w * h, sum);
        }
      }
      uint8_t* pixel = &image.rgba[(size_t(oy) * size_t(size) + size_t(ox)) * 4];
      uint8_t grey = sum.drawn > 0 ? Ratio255(sum.white, sum.drawn) : 0;
      pixel[0] = pixel[1] = pixel[2] = grey;
      pixel[3] = Ratio255(sum.drawn, unitsWide * unitsHigh);
    }
  }
  return image;
}

}  // namespace icons
