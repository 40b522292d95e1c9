// JPEG pictures through libjpeg-turbo: baseline and progressive, grey or colour (YCbCr or
// RGB). CMYK files are refused. Errors return through longjmp to the two guarded
// steps below; libjpeg never exits the process and a truncated file is an error.
#include <bit>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "decoder_support.h"

namespace d3dximage {
namespace {

static_assert(std::endian::native == std::endian::little,
              "rows are decoded as B,G,R,X bytes straight into 0xAARRGGBB words");

// Progressive files can repeat scans endlessly; real ones use a dozen or so.
constexpr int kMaxScans = 1000;

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  bool truncated;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (level -1) are tolerated except premature end of data; nothing is printed.
void OnMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level < 0 && err->pub.msg_code == JWRN_JPEG_EOF) err->truncated = true;
}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) OnError(cinfo);
}

struct Decompressor {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  Decompressor() {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    progress.progress_monitor = OnProgress;
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

// Guarded step 1: header. No C++ object lives between setjmp and longjmp here. Grey
// and colour files alike are decoded as B,G,R,X bytes (X = 255): little-endian ARGB.
bool ReadHeader(Decompressor& d, Bytes bytes) {
  if (setjmp(d.err.jump)) return false;
  jpeg_create_decompress(&d.cinfo);
  d.cinfo.progress = &d.progress;
  jpeg_mem_src(&d.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK) return false;
  d.cinfo.out_color_space = JCS_EXT_BGRX;
  return true;
}

// Guarded step 2: pixels, straight into rows already sized from the header, each
// reported done as it comes.
bool ReadPixels(Decompressor& d, const LevelStorage& rows, ImageFile& out) {
  if (setjmp(d.err.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(rows.rows + uint64_t(d.cinfo.output_scanline) * rows.pitch);
    jpeg_read_scanlines(&d.cinfo, &row, 1);
    ReportRows(out, d.cinfo.output_scanline);
  }
  jpeg_finish_decompress(&d.cinfo);
  return !d.err.truncated;
}

}  // namespace

DecodeResult DecodeJpeg(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
    return DecodeResult::NotThisFormat;
  Decompressor d;
  if (!ReadHeader(d, bytes)) return DecodeResult::InvalidData;
  out.fileFormat = d.cinfo.num_components == 1 ? fileformat::L8 : fileformat::X8R8G8B8;
  ImageLevel level;
  LevelStorage rows;
  DecodeResult result =
      PrepareTopLevel(out, d.cinfo.image_width, d.cinfo.image_height, out.fileFormat, maxDimension, level, rows);
  if (result != DecodeResult::Ok) return result;
  if (!ReadPixels(d, rows, out)) return DecodeResult::InvalidData;
  out.levels.push_back(std::move(level));
  return DecodeResult::Ok;
}

}  // namespace d3dximage
