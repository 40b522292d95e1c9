// Code page 932: pinned conversions both ways, invalid input, lead bytes, safe
// truncation, and path translation where a trail byte is 0x5C.
#include <gtest/gtest.h>

#include <string>

#include "win32ext.h"

namespace {

TEST(Codepage, PinnedTextsRoundTrip) {
  const std::pair<std::string, std::string> pairs[] = {
      {"\x8D\xC4\x90\xB6", "再生"}, {"\x95\xD2\x8F\x57", "編集"}, {"\x95\xCF\x8A\xB7", "変換"},
      {"\x95\x5C", "表"},  // trail byte 0x5C
      {"\xB1", "ｱ"},       // half-width katakana: one byte
      {std::string("a\0\\", 3), std::string("a\0\\", 3)}, {"", ""},
  };
  for (const auto& [cp932, utf8] : pairs) {
    EXPECT_EQ(win32ext::Cp932ToUtf8(cp932), utf8);
    EXPECT_EQ(win32ext::Utf8ToCp932(utf8), cp932);
  }
  std::string longCp932, longUtf8;  // longer than the first guess of the output size
  for (int i = 0; i < 5000; ++i) longCp932 += "\xB1\x8D\xC4", longUtf8 += "ｱ再";
  EXPECT_EQ(win32ext::Cp932ToUtf8(longCp932), longUtf8);
  EXPECT_EQ(win32ext::Utf8ToCp932(longUtf8), longCp932);
}

TEST(Codepage, InvalidInputFails) {
  // Truncated characters, bad trail bytes, undefined bytes.
  for (const char* cp932 : {"\x81", "ab\x95", "\x81\x20", "\x80", "\xA0", "\xFD", "\xFF"})
    EXPECT_EQ(win32ext::Cp932ToUtf8(cp932), std::nullopt) << testing::PrintToString(cp932);
  // Broken UTF-8, an overlong form, a surrogate, and characters CP932 lacks.
  for (const char* utf8 : {"\xC3", "\xFF", "\xC0\x80", "\xED\xA0\x80", "€", "😀"})
    EXPECT_EQ(win32ext::Utf8ToCp932(utf8), std::nullopt) << testing::PrintToString(utf8);
  // A failure leaves nothing behind: alone, C4 is ﾄ, while after the lead 8D it was 再.
  EXPECT_EQ(win32ext::Cp932ToUtf8("\x8D"), std::nullopt);
  EXPECT_EQ(win32ext::Cp932ToUtf8("\xC4\x90\xB6"), std::string("ﾄ生"));
}

TEST(Codepage, LeadBytesAndSafePrefix) {
  for (int byte : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(win32ext::IsCp932LeadByte(byte)) << byte;
  for (int byte : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD, 0xFF})
    EXPECT_FALSE(win32ext::IsCp932LeadByte(byte)) << byte;

  const std::tuple<std::string, size_t, size_t> cases[] = {
      {"\x8D\xC4\x90\xB6", 4, 4}, {"\x8D\xC4\x90\xB6", 3, 2}, {"\x8D\xC4\x90\xB6", 1, 0},
      {"a\x8D\xC4", 2, 1},        {"a\x8D\xC4", 100, 3},
      {"\x82\x9F\x82\xA0", 3, 2},  // 9F is a trail byte here, though in the lead range
      {"\x95\x5C\x95\x5C", 3, 2},  // a trail 5C is no character of its own
      {"ab\x81", 3, 3},            // a lead byte that ends the text stands alone
  };
  for (const auto& [text, maxBytes, expected] : cases)
    EXPECT_EQ(win32ext::Cp932SafePrefix(text, maxBytes), expected)
        << testing::PrintToString(text) << " max " << maxBytes;
}

TEST(Codepage, PathsConvertBeforeBackslashesBecomeSlashes) {
  EXPECT_EQ(win32ext::ToSystemPath("\x95\x5C\\Media\\a.x"), std::string("表/Media/a.x"));
  EXPECT_EQ(win32ext::ToSystemPath("..\\\x8D\xC4\x90\xB6/b"), std::string("../再生/b"));
  EXPECT_EQ(win32ext::ToSystemPath(nullptr), std::nullopt);
  EXPECT_EQ(win32ext::ToSystemPath("dir\\\x81"), std::nullopt);
}

}  // namespace
