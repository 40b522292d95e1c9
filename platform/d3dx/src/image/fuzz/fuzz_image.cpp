// libFuzzer target over every image reader. A picture that decodes is also filtered
// down its mip chain and must survive a round trip through the BMP writer unchanged
// (a picture with zero alpha everywhere comes back opaque, as such BMPs are read).
#include <algorithm>
#include <cstdlib>

#include "image_file.h"

namespace {
// Keeps allocations small enough for the fuzzer's memory limit.
constexpr uint32_t kMaxDimension = 4096;
constexpr uint64_t kMaxFilteredPixels = 1 << 16;

d3dximage::Pixels AsReadBackFromBmp(d3dximage::Pixels argb) {
  if (std::all_of(argb.begin(), argb.end(), [](uint32_t p) { return p >> 24 == 0; }))
    for (uint32_t& p : argb) p |= 0xFF000000;
  return argb;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace d3dximage;
  ImageFile file;
  if (DecodeImageFile({data, size}, file, kMaxDimension) != DecodeResult::Ok) return 0;
  const ImageLevel& first = file.levels.at(0);
  if (first.argb.size() != uint64_t(first.width) * first.height) std::abort();
  if (first.argb.size() > kMaxFilteredPixels) return 0;
  std::vector<uint8_t> bmp = EncodeBmp32(first.width, first.height, first.argb.data(), first.width);
  ImageFile again;
  if (DecodeImageFile(bmp, again, kMaxDimension) != DecodeResult::Ok ||
      again.levels.at(0).argb != AsReadBackFromBmp(first.argb))
    std::abort();
  BuildMipChain(file.levels, 0);
  if (file.levels.back().width != 1 || file.levels.back().height != 1) std::abort();
  return 0;
}
