// Command-line splitting with the Microsoft C runtime's rules: space and tab separate
// arguments outside quotes; '"' toggles quoting; backslashes are literal except before
// a '"', where 2n of them give n and the quote toggles, and 2n+1 give n and a literal
// quote; "" inside a quoted run is a literal quote and the run goes on. A CP932
// double-byte character is copied whole, as the C runtime's multibyte build does, so a
// trail byte 0x5C is never taken for a backslash.
#include "command_line.h"

#include "win32ext.h"

namespace win32impl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t n = text.size();
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i == n) break;

    // Something other than a blank follows, so an argument starts here, even if it
    // turns out empty ("").
    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(text[i]))) {
      char c = text[i];
      if (c == '\\') {
        size_t run = 0;
        while (i < n && text[i] == '\\') {
          ++run;
          ++i;
        }
        if (i < n && text[i] == '"') {
          argument.append(run / 2, '\\');
          if (run % 2 == 1) {
            argument += '"';
            ++i;
          }
          // With an even run the quote stays for the quote rule below.
        } else {
          argument.append(run, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < n && text[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else if (win32ext::IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < n) {
        argument.append(text.substr(i, 2));
        i += 2;
      } else {
        argument += c;
        ++i;
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace win32impl
