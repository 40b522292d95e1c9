// Reads the .x header: magic "xof ", version 03.xx, one of the four body formats and
// the float size. Minor versions other than 02 and 03 are accepted, the layout being
// the same.
#include "xfile/x_header.h"

#include <string_view>

#include "xfile/x_tokenizer.h"

namespace d3dxfile {
namespace {

std::string_view Field(std::span<const uint8_t> file, size_t at) {
  return std::string_view(reinterpret_cast<const char*>(file.data()) + at, 4);
}

bool IsDigits(std::string_view text) {
  return text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

XHeader ReadXHeader(std::span<const uint8_t> file) {
  if (file.size() < kXHeaderSize) FailInvalidData();
  std::string_view version = Field(file, 4);
  if (Field(file, 0) != "xof " || version.substr(0, 2) != "03" || !IsDigits(version)) {
    FailInvalidData();
  }
  XHeader header;
  std::string_view format = Field(file, 8);
  header.binary = format == "bin " || format == "bzip";
  header.compressed = format == "tzip" || format == "bzip";
  if (!header.binary && !header.compressed && format != "txt ") FailInvalidData();
  std::string_view floatSize = Field(file, 12);
  if (floatSize != "0032" && floatSize != "0064") FailInvalidData();
  header.doubleFloats = floatSize == "0064";
  return header;
}

}  // namespace d3dxfile
