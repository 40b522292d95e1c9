// Command-line splitting with the C runtime's rules: blanks, quotes, backslash runs
// before quotes, doubled quotes inside a quoted run, and CP932 characters ending in 5C.
#include <gtest/gtest.h>

#include <string>
#include <vector>

// An internal header of the platform layer, which the test target does not export.
#include "command_line.h"

namespace {

TEST(CommandLine, SplitsAsTheCRuntimeDoes) {
  using Args = std::vector<std::string>;
  const std::pair<const char*, Args> cases[] = {
      {"", {}},
      {" \t ", {}},
      {"  a  b\tc ", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\"b c\"d", {"ab cd"}},  // quotes toggle inside a word
      {"a \"\" b", {"a", "", "b"}},
      {"\"open end", {"open end"}},
      {"C:\\dir\\\\file\\", {"C:\\dir\\\\file\\"}},  // not before a quote: literal
      {"\"C:\\dir\\\\\"", {"C:\\dir\\"}},            // 2n before a quote: n, quote toggles
      {"a\\\\\\\\\"b c\"", {"a\\\\b c"}},
      {"a\\\"b", {"a\"b"}},  // 2n+1: n and a literal quote
      {"\"x \\\\\\\" y\"", {"x \\\" y"}},
      {"\"a\"\"b c\"", {"a\"b c"}},  // "" in a quoted run: a quote, the run goes on
      {"a\"\"b", {"ab"}},            // outside one: an empty run
      {"; $(rm) `x` 'y z' |", {";", "$(rm)", "`x`", "'y", "z'", "|"}},
      {"a\nb", {"a\nb"}},
      {"\"\x95\x5C\" x", {"\x95\x5C", "x"}},  // 表 ends in 5C yet escapes no quote
      {"\x95\x5C\\\"a", {"\x95\x5C\"a"}},      // a real backslash after it still does
  };
  for (const auto& [line, expected] : cases)
    EXPECT_EQ(win32impl::SplitCommandLine(line), expected) << testing::PrintToString(line);
}

}  // namespace
