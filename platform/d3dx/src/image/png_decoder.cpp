// PNG pictures through libpng, every colour type and bit depth: libpng expands
// palettes and packed grey, turns tRNS into alpha, scales 16-bit samples to 8 and, by
// its filler and BGR byte order, writes each pixel straight as a little-endian ARGB.
// Errors return through longjmp to the two guarded steps below. Gamma is not applied.
#include <algorithm>
#include <bit>
#include <csetjmp>
#include <new>

#include <png.h>

#include "decoder_support.h"

namespace d3dximage {
namespace {

static_assert(std::endian::native == std::endian::little,
              "rows are written as B,G,R,A bytes straight into 0xAARRGGBB words");

struct MemorySource {
  Bytes bytes;
  size_t pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep data, size_t length) {
  auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > src->bytes.size() - src->pos) png_error(png, "truncated");
  std::copy_n(src->bytes.data() + src->pos, length, data);
  src->pos += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemorySource source;
  bool transparent = false;  // alpha channel or tRNS
  bool grey = false;
  int passes = 1;
  ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Guarded step 1: header and the transformations to 8-bit B,G,R,A.
bool ReadHeader(Reader& r, uint32_t maxDimension) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_user_limits(r.png, maxDimension, maxDimension);
  png_set_read_fn(r.png, &r.source, ReadFromMemory);
  png_read_info(r.png, r.info);
  const int colorType = png_get_color_type(r.png, r.info);
  const bool hasTrns = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;
  r.transparent = (colorType & PNG_COLOR_MASK_ALPHA) || hasTrns;
  r.grey = !(colorType & PNG_COLOR_MASK_COLOR);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
  if (r.grey) png_set_expand_gray_1_2_4_to_8(r.png), png_set_gray_to_rgb(r.png);
  if (hasTrns) png_set_tRNS_to_alpha(r.png);
  png_set_scale_16(r.png);
  png_set_packing(r.png);
  png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(r.png);
  r.passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  return png_get_rowbytes(r.png, r.info) == size_t(png_get_image_width(r.png, r.info)) * 4;
}

// Guarded step 2: every row into the level, each reported done as it comes (all passes
// of an interlaced file, reported at the end), then the chunks up to IEND, so that a
// file cut short anywhere is refused.
bool ReadRows(Reader& r, png_bytepp rows, uint32_t height, ImageFile& out) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  if (r.passes > 1) {
    png_read_image(r.png, rows);
    ReportRows(out, height);
  } else {
    for (uint32_t y = 0; y < height; ++y) {
      png_read_row(r.png, rows[y], nullptr);
      ReportRows(out, y + 1);
    }
  }
  png_read_end(r.png, nullptr);
  return true;
}

uint32_t FileFormat(const Reader& r) {
  if (r.grey) return r.transparent ? fileformat::A8L8 : fileformat::L8;
  return r.transparent ? fileformat::A8R8G8B8 : fileformat::X8R8G8B8;
}

DecodeResult PrepareRows(const LevelStorage& storage, uint32_t height, std::vector<png_bytep>& rows) {
  try {
    rows.resize(height);
  } catch (const std::bad_alloc&) {
    return DecodeResult::OutOfMemory;
  }
  for (uint32_t y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(storage.rows + uint64_t(y) * storage.pitch);
  return DecodeResult::Ok;
}

}  // namespace

DecodeResult DecodePng(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return DecodeResult::NotThisFormat;
  Reader r;
  r.source.bytes = bytes;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (r.png) r.info = png_create_info_struct(r.png);
  if (!r.info) return DecodeResult::OutOfMemory;
  if (!ReadHeader(r, maxDimension)) return DecodeResult::InvalidData;
  out.fileFormat = FileFormat(r);
  ImageLevel level;
  LevelStorage storage;
  std::vector<png_bytep> rows;
  DecodeResult result = PrepareTopLevel(out, png_get_image_width(r.png, r.info), png_get_image_height(r.png, r.info),
                                        out.fileFormat, maxDimension, level, storage);
  if (result == DecodeResult::Ok) result = PrepareRows(storage, level.height, rows);
  if (result != DecodeResult::Ok) return result;
  if (!ReadRows(r, rows.data(), level.height, out)) return DecodeResult::InvalidData;
  out.levels.push_back(std::move(level));
  return DecodeResult::Ok;
}

}  // namespace d3dximage
