// MNG (the MNG-LC profile): MHDR with as many ticks a second as the movie has frames
// (or the rate's numerator, with a FRAM giving each frame its denominator in ticks),
// TERM to loop for ever, one PNG datastream per frame written by libpng, and MEND.
#include <png.h>
#include <zlib.h>

#include <csetjmp>

#include "frame_encoder.h"

namespace convert {
namespace {

constexpr uint8_t kSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

class MngEncoder : public FrameEncoder {
 public:
  MngEncoder(OutputFile& out, const movie::MovieInfo& info) : out_(out), info_(info) {}
  bool Start(std::string* error);
  bool Add(const movie::Frame& frame, std::string* error) override;
  bool Finish(std::string* error) override { return Chunk("MEND", {}, error); }

 private:
  bool Chunk(const char (&type)[5], const std::vector<uint8_t>& data, std::string* error);
  bool Fail(std::string* error, const std::string& what) const;
  static void WritePng(png_structp png, png_bytep data, png_size_t bytes);
  static void FlushPng(png_structp) {}
  // libpng's own handlers print; the failure is reported by Add instead.
  [[noreturn]] static void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
  static void PngWarning(png_structp, png_const_charp) {}

  OutputFile& out_;
  movie::MovieInfo info_;
};

bool MngEncoder::Fail(std::string* error, const std::string& what) const {
  *error = out_.WriteError().empty() ? "MNG: cannot " + what : out_.WriteError();
  return false;
}

bool MngEncoder::Chunk(const char (&type)[5], const std::vector<uint8_t>& data, std::string* error) {
  std::vector<uint8_t> chunk;
  PutU32(chunk, static_cast<uint32_t>(data.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  const uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  PutU32(chunk, static_cast<uint32_t>(crc));
  if (!out_.Write(chunk.data(), chunk.size())) return Fail(error, std::string("write ") + type);
  return true;
}

bool MngEncoder::Start(std::string* error) {
  if (!out_.Write(kSignature, sizeof kSignature)) return Fail(error, "write the signature");
  const uint32_t frames = static_cast<uint32_t>(std::min<int64_t>(info_.frameCount, UINT32_MAX / 2));
  std::vector<uint8_t> header;
  PutU32(header, static_cast<uint32_t>(info_.width));
  PutU32(header, static_cast<uint32_t>(info_.height));
  PutU32(header, static_cast<uint32_t>(info_.rateNum));  // ticks per second
  PutU32(header, 0);                                      // layer count: not given
  PutU32(header, frames);                                 // frame count
  PutU32(header, frames * static_cast<uint32_t>(info_.rateDen));  // play time in ticks
  PutU32(header, 0x3);  // simplicity: profile valid, simple MNG (LC) features
  if (!Chunk("MHDR", header, error)) return false;
  // TERM: repeat the whole sequence without a pause, (practically) for ever.
  std::vector<uint8_t> term = {3, 0};
  PutU32(term, 0);
  PutU32(term, 0x7FFFFFFF);
  if (!Chunk("TERM", term, error)) return false;
  if (info_.rateDen == 1) return true;
  // FRAM, framing mode 1, no name; change the interframe delay for good to rateDen ticks.
  std::vector<uint8_t> frame = {1, 0, 2, 0, 0, 0};
  PutU32(frame, static_cast<uint32_t>(info_.rateDen));
  return Chunk("FRAM", frame, error);
}

void MngEncoder::WritePng(png_structp png, png_bytep data, png_size_t bytes) {
  auto* out = static_cast<OutputFile*>(png_get_io_ptr(png));
  if (!out->Write(data, bytes)) png_error(png, "write failed");
}

// A PNG datastream without its signature: IHDR, IDAT..., IEND.
bool MngEncoder::Add(const movie::Frame& frame, std::string* error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
  if (!pngInfo) {
    png_destroy_write_struct(&png, nullptr);
    return Fail(error, "start a frame");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(frame.height));
  for (int y = 0; y < frame.height; ++y)
    rows[y] = const_cast<png_bytep>(&frame.rgb[static_cast<size_t>(y) * frame.width * 3]);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &pngInfo);
    return Fail(error, "write a frame");
  }
  png_set_write_fn(png, &out_, WritePng, FlushPng);
  png_set_sig_bytes(png, 8);
  png_set_IHDR(png, pngInfo, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height),
               8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, pngInfo);
  png_write_image(png, rows.data());
  png_write_end(png, pngInfo);
  png_destroy_write_struct(&png, &pngInfo);
  return true;
}

}  // namespace

std::unique_ptr<FrameEncoder> CreateMngEncoder(OutputFile& out, const movie::MovieInfo& info,
                                               std::string* error) {
  auto encoder = std::make_unique<MngEncoder>(out, info);
  if (!encoder->Start(error)) return nullptr;
  return encoder;
}

}  // namespace convert
