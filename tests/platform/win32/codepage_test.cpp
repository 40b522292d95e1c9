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

// Bytes below 0x80 are the same in both, alone (taken as they are) or beside other text
// (through the converter).
TEST(Codepage, AsciiIsTheSameInBoth) {
  std::string ascii;
  for (int byte = 0; byte < 0x80; ++byte) ascii += char(byte);
  EXPECT_EQ(win32ext::Cp932ToUtf8(ascii), ascii);
  EXPECT_EQ(win32ext::Cp932ToUtf8(ascii + "\x95\x5C"), ascii + "表");
  EXPECT_EQ(win32ext::Utf8ToCp932(ascii), ascii);
}

TEST(Codepage, InvalidInputFails) {
  // Truncated characters, bad trail bytes, undefined bytes.
  for (const char* cp932 : {"\x81", "ab\x95", "\x81\x20", "\x80", "\xA0", "\xFD", "\xFF"})
    EXPECT_EQ(win32ext::Cp932ToUtf8(cp932), std::nullopt) << testing::PrintToString(cp932);
  // A failure leaves nothing behind: alone, C4 is ﾄ, while after the lead 8D it was 再.
  EXPECT_EQ(win32ext::Cp932ToUtf8("\x8D"), std::nullopt);
  EXPECT_EQ(win32ext::Cp932ToUtf8("\xC4\x90\xB6"), std::string("ﾄ生"));
}

// Names CP932 cannot hold travel as escapes (F080..F1BF, one per UTF-8 byte) and come
// back byte for byte: accents, CJK outside CP932, emoji, CP932's duplicate mappings,
// the private-use characters whose codes the escapes borrow, and bytes that are no UTF-8.
TEST(Codepage, EveryUtf8NameSurvivesTheRoundTripThroughCp932) {
  const std::string names[] = {
      "jos\xC3\xA9",            // é
      "\xF0\xA0\xAE\xB7.png",  // 𠮷, a CJK character CP932 lacks
      "\xF0\x9F\x8C\x8D",      // 🌍
      "\xE2\x82\xAC",           // €
      "\xC2\xAC",               // ¬, whose CP932 code comes back as U+FFE2
      "\xEE\x80\x80\xEE\x81\x80",  // U+E000, U+E040: private use, iconv's user-defined area
      "\xFF\xC3\xC0\x80\xED\xA0\x80", "end\xE6\x97",  // no UTF-8: stray, overlong, surrogate, cut
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xF0\x9F\x8C\x8D/a\\b",  // 日本語🌍, kept as CP932 where it can
  };
  for (const std::string& name : names) {
    std::string cp932 = win32ext::Utf8ToCp932(name);
    EXPECT_EQ(win32ext::Cp932ToUtf8(cp932), name) << testing::PrintToString(name);
    EXPECT_EQ(win32ext::Cp932SafePrefix(cp932, cp932.size()), cp932.size()) << "whole characters";
  }
  EXPECT_EQ(win32ext::Utf8ToCp932("jos\xC3\xA9"), std::string("jos\xF1\x83\xF0\xA9"));
  EXPECT_EQ(win32ext::Utf8ToCp932("\xE6\x97\xA5\xF0\x9F\x8C\x8D"),
            std::string("\x93\xFA\xF1\xB0\xF0\x9F\xF0\x8C\xF0\x8D"))
      << "日 keeps its CP932 code; only the emoji is escaped";
  EXPECT_EQ(win32ext::ToSystemPath("jos\xF1\x83\xF0\xA9\\x.avi"), std::string("jos\xC3\xA9/x.avi"));
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
