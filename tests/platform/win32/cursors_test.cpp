// System cursors are real 32x32 monochrome images, shared by handle; the current
// cursor and the refusal of unknown cursor handles.
#include <gtest/gtest.h>

#include "win32ext.h"

namespace {

bool Opaque(const win32ext::MonochromeImage& image, int x, int y) { return !image.AndBit(x, y); }
bool White(const win32ext::MonochromeImage& image, int x, int y) { return image.XorBit(x, y); }

TEST(Cursors, TheArrowIsAMonochromeImageWithItsHotSpotAtTheTip) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
  const win32ext::MonochromeImage* image = win32ext::IconImage(arrow);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(image->andMask.size(), 32u * 4u);
  EXPECT_EQ(image->hotX, 0);
  EXPECT_EQ(image->hotY, 0);
  EXPECT_TRUE(Opaque(*image, 0, 0));
  EXPECT_FALSE(White(*image, 0, 0));  // black outline
  EXPECT_TRUE(Opaque(*image, 1, 5));
  EXPECT_TRUE(White(*image, 1, 5));   // white body
  EXPECT_FALSE(Opaque(*image, 31, 31));
  EXPECT_FALSE(Opaque(*image, 20, 2));
}

TEST(Cursors, TheSizingArrowIsCentredAndDiffersFromTheArrow) {
  HCURSOR sizeAll = LoadCursorA(nullptr, IDC_SIZEALL);
  ASSERT_NE(sizeAll, nullptr);
  EXPECT_NE(sizeAll, LoadCursorA(nullptr, IDC_ARROW));
  const win32ext::MonochromeImage* image = win32ext::IconImage(sizeAll);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  EXPECT_TRUE(Opaque(*image, image->hotX, image->hotY));
  EXPECT_GT(image->hotX, 8);
  EXPECT_GT(image->hotY, 8);
}

TEST(Cursors, UnknownCursorsAreNotLoaded) {
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(1)), nullptr);
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), IDC_ARROW), nullptr);
  EXPECT_EQ(win32ext::IconImage(nullptr), nullptr);
  EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
}

TEST(Cursors, SetCursorReturnsThePreviousCursorAndRefusesUnknownHandles) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR sizeAll = LoadCursorA(nullptr, IDC_SIZEALL);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(sizeAll), arrow);
  EXPECT_EQ(SetCursor(nullptr), sizeAll);
  EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(uintptr_t{0x999})), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
  EXPECT_EQ(SetCursor(arrow), nullptr);  // the bad call changed nothing
}

TEST(Cursors, ArtTurnsIntoTheFourPixelKinds) {
  auto image = win32ext::ImageFromArt({"X. ~"}, 1, 0);
  EXPECT_EQ(image.width, 4);
  EXPECT_EQ(image.Stride(), 1);
  // (AND, XOR): black (0,0), white (0,1), transparent (1,0), inverted (1,1).
  EXPECT_FALSE(image.AndBit(0, 0));
  EXPECT_FALSE(image.XorBit(0, 0));
  EXPECT_FALSE(image.AndBit(1, 0));
  EXPECT_TRUE(image.XorBit(1, 0));
  EXPECT_TRUE(image.AndBit(2, 0));
  EXPECT_FALSE(image.XorBit(2, 0));
  EXPECT_TRUE(image.AndBit(3, 0));
  EXPECT_TRUE(image.XorBit(3, 0));
}

}  // namespace
