// Helpers every stage of the .x reader shares: the failure raised on malformed input
// and the case-blind comparison of keywords and template names.
#include "xfile/x_tokenizer.h"

namespace d3dxfile {

void FailInvalidData() { throw InvalidDataError{}; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace d3dxfile
