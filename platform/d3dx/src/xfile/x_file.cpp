// The .x loading pipeline: header, MSZIP decompression where the header says so, the
// text or binary tokens, the parser and the merge. Malformed input and refused
// allocations end as result codes here and nowhere else.
#include "xfile/x_file.h"

#include <new>
#include <stdexcept>

#include "xfile/mszip.h"
#include "xfile/x_header.h"

namespace d3dxfile {
namespace {

XMesh Load(std::span<const uint8_t> bytes) {
  const XHeader header = ReadXHeader(bytes);
  std::span<const uint8_t> body = bytes.subspan(kXHeaderSize);
  std::vector<uint8_t> inflated;
  if (header.compressed) {
    inflated = InflateMszip(body);
    body = inflated;
  }
  auto tokens = header.binary ? MakeBinaryTokenizer(body, header.doubleFloats)
                              : MakeTextTokenizer(body);
  return BuildXMesh(ParseXFile(*tokens));
}

}  // namespace

XFileResult LoadXFile(std::span<const uint8_t> bytes, XMesh& out) {
  try {
    out = Load(bytes);
    return XFileResult::Ok;
  } catch (const InvalidDataError&) {
    return XFileResult::InvalidData;
  } catch (const std::bad_alloc&) {
    return XFileResult::OutOfMemory;
  } catch (const std::length_error&) {
    return XFileResult::OutOfMemory;
  }
}

}  // namespace d3dxfile
