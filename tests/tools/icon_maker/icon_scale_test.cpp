// The desktop icons drawn from the program's icon: whole multiples repeat each icon
// pixel exactly, other sizes average what they cover, and the globe stays symmetric.
#include <gtest/gtest.h>

#include "icon_scale.h"
#include "resources.h"
#include "windows.h"

namespace {

const win32ext::MonochromeImage& ProgramIcon() {
  win32ext::SetProgramResources(&win32ext::ProgramResources());
  const win32ext::MonochromeImage* icon =
      win32ext::IconImage(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN_ICON)));
  EXPECT_NE(icon, nullptr);
  static const win32ext::MonochromeImage none;
  return icon ? *icon : none;
}

uint32_t Pixel(const icons::RgbaImage& image, int x, int y) {
  const uint8_t* p = &image.rgba[(size_t(y) * image.size + x) * 4];
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

TEST(IconScale, WholeMultipleRepeatsEachIconPixel) {
  const win32ext::MonochromeImage& icon = ProgramIcon();
  ASSERT_EQ(icon.width, 32);
  icons::RgbaImage image = icons::ScaleIcon(icon, 256);
  ASSERT_EQ(image.rgba.size(), 256u * 256u * 4u);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      bool andBit = icon.AndBit(x / 8, y / 8), xorBit = icon.XorBit(x / 8, y / 8);
      uint32_t expected = andBit && !xorBit ? 0x00000000u : !andBit && xorBit ? 0xFFFFFFFFu : 0x000000FFu;
      ASSERT_EQ(Pixel(image, x, y), expected) << x << "," << y;
    }
  }
}

TEST(IconScale, OtherSizesAverageAndStaySymmetric) {
  icons::RgbaImage image = icons::ScaleIcon(ProgramIcon(), 48);
  ASSERT_EQ(image.size, 48);
  EXPECT_EQ(Pixel(image, 0, 0), 0x00000000u);     // outside the globe
  EXPECT_EQ(Pixel(image, 24, 24), 0x000000FFu);   // the crossing of equator and meridian
  EXPECT_EQ(Pixel(image, 8, 16), 0xFFFFFFFFu);    // ocean between the lines
  bool blended = false;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      // The icon is symmetric about both axes, and so must its scaled picture be.
      ASSERT_EQ(Pixel(image, x, y), Pixel(image, 47 - x, y)) << x << "," << y;
      ASSERT_EQ(Pixel(image, x, y), Pixel(image, x, 47 - y)) << x << "," << y;
      uint8_t alpha = uint8_t(Pixel(image, x, y));
      blended |= alpha != 0 && alpha != 255;
    }
  }
  EXPECT_TRUE(blended) << "1.5 icon pixels a pixel must blend at the edges";
}

}  // namespace
