// lstrcpynA never cuts a CP932 double-byte character nor writes past maxLength;
// lstrcmpA orders bytes (null first); lstrlenA; null and zero-size arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "windows.h"

namespace {

TEST(Strings, CopyTruncatesOnCharacterBoundaries) {
  const std::tuple<const char*, int, std::string> cases[] = {
      {"hello", 6, "hello"},  // exactly fits with its NUL
      {"hello", 5, "hell"},
      {"hello", 1, ""},
      {"\x8D\xC4\x90\xB6", 4, "\x8D\xC4"},  // 再生: the second character would be cut
      {"a\x8D\xC4", 3, "a"},
      {"\x82\x9F" "abc", 4, "\x82\x9F" "a"},  // ぁ: trail 9F lies in the lead range
      {"\x95\x5C\x95\x5C", 4, "\x95\x5C"},    // 表表: trail byte 5C
      {"\xB1\xB2\xB3", 3, "\xB1\xB2"},        // half-width katakana are single bytes
  };
  for (const auto& [source, maxLength, expected] : cases) {
    char buffer[16];
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(lstrcpynA(buffer, source, maxLength), buffer);
    EXPECT_EQ(std::string(buffer), expected) << testing::PrintToString(source) << maxLength;
    EXPECT_EQ(buffer[maxLength], 'Z');
  }
  char buffer[8] = "keep";
  EXPECT_EQ(lstrcpynA(nullptr, "x", 8), nullptr);
  EXPECT_EQ(lstrcpynA(buffer, nullptr, 8), nullptr);
  EXPECT_EQ(lstrcpynA(buffer, "x", 0), nullptr);
  EXPECT_EQ(lstrcpynA(buffer, "x", -5), nullptr);
  EXPECT_STREQ(buffer, "keep");
}

TEST(Strings, CompareAndLength) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1},   {"", "a", -1},
      {"B", "a", -1},  // bytes, not case-folded
      {"\x8D\xC4", "a", 1},  // compared unsigned
      {nullptr, nullptr, 0}, {nullptr, "", -1}, {"", nullptr, 1},
  };
  for (const auto& [a, b, expected] : cases)
    EXPECT_EQ(lstrcmpA(a, b), expected) << (a ? a : "null") << " vs " << (b ? b : "null");
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("\x8D\xC4\x90\xB6"), 4);
}

}  // namespace
