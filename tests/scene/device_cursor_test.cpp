// The device cursor made from a cursor handle: opaque exactly where the AND mask is 0,
// coloured from the XOR half or the colour bitmap, the grey mark in the corner, the
// hot spot, and the image against its reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_cursor.h"
#include "png_image.h"
#include "recording_device.h"
#include "scene_test_support.h"
#include "win32ext.h"

namespace {

// A device that keeps a copy of the last cursor image it was given.
class CursorDevice : public RecordingDevice {
 public:
  using RecordingDevice::RecordingDevice;
  HRESULT SetCursorProperties(UINT x, UINT y, IDirect3DSurface9* surface) override {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    image = {desc.Width, desc.Height, {}};
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT row = 0; row < desc.Height; ++row) {
      auto* pixels = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(locked.pBits) + row * UINT(locked.Pitch));
      image.argb.insert(image.argb.end(), pixels, pixels + desc.Width);
    }
    surface->UnlockRect();
    hotX = x;
    hotY = y;
    ++calls;
    return RecordingDevice::SetCursorProperties(x, y, surface);
  }
  testsupport::Image image;
  UINT hotX = 0, hotY = 0;
  int calls = 0;
};

constexpr uint16_t kMark[5] = {0xCCC0, 0xA2A0, 0xA4A0, 0xA2A0, 0xCCC0};

bool MarkAt(UINT x, UINT y) { return x < 12 && y < 5 && (kMark[y] >> (15 - x) & 1); }

// A 32-bit bitmap filled by `pixel(x, y)`.
HBITMAP MakeDib(LONG width, LONG height, uint32_t (*pixel)(LONG, LONG)) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  for (LONG y = 0; bitmap && y < height; ++y)
    for (LONG x = 0; x < width; ++x) static_cast<uint32_t*>(bits)[y * width + x] = pixel(x, y);
  return bitmap;
}

class DeviceCursorTest : public ::testing::Test {
 protected:
  testsupport::TestDevice test_;
  CursorDevice device_{test_.device};
  HCURSOR sizeAll_ = LoadCursorA(nullptr, IDC_SIZEALL);
};

TEST_F(DeviceCursorTest, AMonochromeCursorIsOpaqueExactlyWhereItsAndMaskIsClear) {
  ASSERT_EQ(test_.created, D3D_OK);
  ASSERT_EQ(SetDeviceCursor(&device_, sizeAll_, false), S_OK);
  const win32ext::MonochromeImage* source = win32ext::IconImage(sizeAll_);
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(device_.image.width, 32u);
  ASSERT_EQ(device_.image.height, 32u);
  EXPECT_EQ(device_.hotX, 15u);
  EXPECT_EQ(device_.hotY, 14u);
  int opaque = 0;
  for (UINT y = 0; y < 32; ++y) {
    for (UINT x = 0; x < 32; ++x) {
      uint32_t expected = source->AndBit(int(x), int(y)) ? 0x00000000u
                          : source->XorBit(int(x), int(y)) ? 0xFFFFFFFFu
                                                           : 0xFF000000u;
      ASSERT_EQ(device_.image.argb[y * 32 + x], expected) << x << "," << y;
      opaque += expected != 0;
    }
  }
  EXPECT_GT(opaque, 100);
}

TEST_F(DeviceCursorTest, TheMarkIsGreyAndOpaqueOverTransparentPixels) {
  ASSERT_EQ(test_.created, D3D_OK);
  ASSERT_EQ(SetDeviceCursor(&device_, sizeAll_, false), S_OK);
  testsupport::Image plain = device_.image;
  ASSERT_EQ(SetDeviceCursor(&device_, sizeAll_, true), S_OK);
  for (UINT y = 0; y < 32; ++y) {
    for (UINT x = 0; x < 32; ++x) {
      uint32_t under = plain.argb[y * 32 + x];
      uint32_t expected = MarkAt(x, y) ? under | 0xFF808080u : under;
      ASSERT_EQ(device_.image.argb[y * 32 + x], expected) << x << "," << y;
    }
  }
  // The size-all cursor is transparent in its top rows, so the mark stands on nothing.
  EXPECT_EQ(device_.image.argb[0], 0xFF808080u);
}

TEST_F(DeviceCursorTest, TheMarkedCursorMatchesItsReference) {
  ASSERT_EQ(test_.created, D3D_OK);
  ASSERT_EQ(SetDeviceCursor(&device_, sizeAll_, true), S_OK);
  EXPECT_EQ(testsupport::MatchReference(std::string(VESK_SCENE_REFERENCE_DIR) + "/device_cursor.png",
                                        device_.image, 0),
            "");
}

TEST_F(DeviceCursorTest, AColourCursorKeepsItsMaskHeightAndColours) {
  ASSERT_EQ(test_.created, D3D_OK);
  // Left half opaque (mask black), right half transparent; colours by position.
  HBITMAP mask = MakeDib(16, 24, [](LONG x, LONG) { return x < 8 ? 0u : 0x00FFFFFFu; });
  HBITMAP colour = MakeDib(16, 24, [](LONG x, LONG y) { return uint32_t(x * 16) << 16 | uint32_t(y * 10); });
  ICONINFO info{FALSE, 3, 20, mask, colour};
  HICON cursor = CreateIconIndirect(&info);
  ASSERT_NE(cursor, nullptr);
  DeleteObject(mask);
  DeleteObject(colour);
  ASSERT_EQ(SetDeviceCursor(&device_, cursor, false), S_OK);
  ASSERT_EQ(device_.image.width, 16u);
  ASSERT_EQ(device_.image.height, 24u);
  EXPECT_EQ(device_.hotX, 3u);
  EXPECT_EQ(device_.hotY, 20u);
  for (UINT y = 0; y < 24; ++y)
    for (UINT x = 0; x < 16; ++x)
      ASSERT_EQ(device_.image.argb[y * 16 + x], x < 8 ? 0xFF000000u | (x * 16) << 16 | (y * 10) : 0u) << x << "," << y;
  EXPECT_TRUE(DestroyIcon(cursor));
}

TEST_F(DeviceCursorTest, AnUnknownCursorFailsAndLeavesTheDeviceCursorAlone) {
  ASSERT_EQ(test_.created, D3D_OK);
  EXPECT_EQ(SetDeviceCursor(&device_, nullptr, true), E_FAIL);
  EXPECT_EQ(SetDeviceCursor(&device_, reinterpret_cast<HCURSOR>(uintptr_t(0x1234)), true), E_FAIL);
  EXPECT_EQ(device_.calls, 0);
}

}  // namespace
