// The display names of formats, multisample types, device types, vertex processing
// types and present intervals, with the fallback text of each.
#include "display_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FormatName, NamesWithAndWithoutThePrefix) {
  EXPECT_STREQ(FormatName(D3DFMT_X8R8G8B8, true), "D3DFMT_X8R8G8B8");
  EXPECT_STREQ(FormatName(D3DFMT_X8R8G8B8, false), "X8R8G8B8");
  EXPECT_STREQ(FormatName(D3DFMT_UNKNOWN, false), "UNKNOWN");
  EXPECT_STREQ(FormatName(D3DFMT_D24S8, true), "D3DFMT_D24S8");
  EXPECT_STREQ(FormatName(D3DFORMAT(117), true), "D3DFMT_CxV8U8");
  EXPECT_STREQ(FormatName(D3DFMT_A2R10G10B10, false), "A2R10G10B10");
}

TEST(FormatName, FourCharacterCodesHaveTheirFirstLetterInTheLowestByte) {
  auto code = [](const char* letters) {
    return D3DFORMAT(DWORD(BYTE(letters[0])) | DWORD(BYTE(letters[1])) << 8 | DWORD(BYTE(letters[2])) << 16 |
                     DWORD(BYTE(letters[3])) << 24);
  };
  EXPECT_STREQ(FormatName(code("DXT1"), true), "D3DFMT_DXT1");
  EXPECT_STREQ(FormatName(code("DXT5"), false), "DXT5");
  EXPECT_STREQ(FormatName(code("MET1"), true), "D3DFMT_MULTI2_ARGB8");
  EXPECT_STREQ(FormatName(code("UYVY"), true), "D3DFMT_UYVY");
  EXPECT_STREQ(FormatName(code("YUY2"), true), "D3DFMT_YUY2");
  EXPECT_STREQ(FormatName(code("1TXD"), true), "Unknown format") << "reversed letters are no format";
}

TEST(FormatName, ValuesWithoutANameAreUnknownInBothModes) {
  for (DWORD value : {82u, 83u, 118u, 999u, 0xFFFFFFFFu}) {
    EXPECT_STREQ(FormatName(D3DFORMAT(value), true), "Unknown format") << value;
    EXPECT_STREQ(FormatName(D3DFORMAT(value), false), "Unknown format") << value;
  }
}

TEST(DisplayNames, MultisampleTypes) {
  EXPECT_STREQ(MultisampleTypeName(D3DMULTISAMPLE_NONE), "D3DMULTISAMPLE_NONE");
  EXPECT_STREQ(MultisampleTypeName(D3DMULTISAMPLE_TYPE(1)), "D3DMULTISAMPLE_NONMASKABLE");
  for (int n = 2; n <= 16; ++n) {
    std::string expected = "D3DMULTISAMPLE_" + std::to_string(n) + "_SAMPLES";
    EXPECT_EQ(MultisampleTypeName(D3DMULTISAMPLE_TYPE(n)), expected);
  }
  EXPECT_STREQ(MultisampleTypeName(D3DMULTISAMPLE_TYPE(17)), "Unknown Multisample Type");
  EXPECT_STREQ(MultisampleTypeName(D3DMULTISAMPLE_TYPE(-1)), "Unknown Multisample Type");
}

TEST(DisplayNames, DeviceAndVertexProcessingTypes) {
  EXPECT_STREQ(DeviceTypeName(D3DDEVTYPE_HAL), "D3DDEVTYPE_HAL");
  EXPECT_STREQ(DeviceTypeName(D3DDEVTYPE_REF), "D3DDEVTYPE_REF");
  EXPECT_STREQ(DeviceTypeName(D3DDEVTYPE(3)), "D3DDEVTYPE_SW");
  EXPECT_STREQ(DeviceTypeName(D3DDEVTYPE(0)), "Unknown devType");
  EXPECT_STREQ(DeviceTypeName(D3DDEVTYPE(4)), "Unknown devType");
  EXPECT_STREQ(VertexProcessingName(SOFTWARE_VP), "SOFTWARE_VP");
  EXPECT_STREQ(VertexProcessingName(MIXED_VP), "MIXED_VP");
  EXPECT_STREQ(VertexProcessingName(HARDWARE_VP), "HARDWARE_VP");
  EXPECT_STREQ(VertexProcessingName(PURE_HARDWARE_VP), "PURE_HARDWARE_VP");
  EXPECT_STREQ(VertexProcessingName(VertexProcessingType(4)), "Unknown VertexProcessingType");
}

TEST(DisplayNames, PresentIntervalsAreSingleBitsOrDefault) {
  EXPECT_STREQ(PresentIntervalName(0), "D3DPRESENT_INTERVAL_DEFAULT");
  EXPECT_STREQ(PresentIntervalName(1), "D3DPRESENT_INTERVAL_ONE");
  EXPECT_STREQ(PresentIntervalName(2), "D3DPRESENT_INTERVAL_TWO");
  EXPECT_STREQ(PresentIntervalName(4), "D3DPRESENT_INTERVAL_THREE");
  EXPECT_STREQ(PresentIntervalName(8), "D3DPRESENT_INTERVAL_FOUR");
  EXPECT_STREQ(PresentIntervalName(0x80000000u), "D3DPRESENT_INTERVAL_IMMEDIATE");
  EXPECT_STREQ(PresentIntervalName(3), "Unknown PresentInterval");
  EXPECT_STREQ(PresentIntervalName(16), "Unknown PresentInterval");
}

}  // namespace
