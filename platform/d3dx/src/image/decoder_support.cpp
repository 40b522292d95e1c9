// The shared reader pieces: bounds-checked byte reading, guarded picture allocation,
// bit-mask channels, and the dispatch that tries each file reader in turn.
#include <bit>
#include <new>

#include "decoder_support.h"

namespace d3dximage {

uint8_t ByteReader::U8() {
  Bytes b = Take(1);
  return b.empty() ? 0 : b[0];
}

uint16_t ByteReader::U16() {
  Bytes b = Take(2);
  return b.empty() ? 0 : uint16_t(b[0] | b[1] << 8);
}

uint32_t ByteReader::U32() {
  Bytes b = Take(4);
  return b.empty() ? 0 : uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                             uint32_t(b[3]) << 24;
}

Bytes ByteReader::Take(uint64_t count) {
  if (failed_ || count > bytes_.size() - pos_) {
    failed_ = true;
    return {};
  }
  Bytes part = bytes_.subspan(pos_, size_t(count));
  pos_ += size_t(count);
  return part;
}

namespace {

bool SizeAllowed(uint32_t width, uint32_t height, uint32_t maxDimension) {
  return width != 0 && height != 0 && width <= maxDimension && height <= maxDimension;
}

}  // namespace

DecodeResult AllocateLevel(uint32_t width, uint32_t height, uint32_t maxDimension,
                           ImageLevel& level) {
  if (!SizeAllowed(width, height, maxDimension)) return DecodeResult::InvalidData;
  uint64_t pixels = uint64_t(width) * height;
  if (pixels > SIZE_MAX / sizeof(uint32_t)) return DecodeResult::InvalidData;
  try {
    level.argb = Pixels(size_t(pixels));
  } catch (const std::bad_alloc&) {
    return DecodeResult::OutOfMemory;
  }
  level.width = width;
  level.height = height;
  return DecodeResult::Ok;
}

DecodeResult PrepareTopLevel(ImageFile& out, uint32_t width, uint32_t height, uint32_t fileFormat,
                             uint32_t maxDimension, ImageLevel& level, LevelStorage& rows) {
  if (!SizeAllowed(width, height, maxDimension)) return DecodeResult::InvalidData;
  if (out.target) rows = out.target->Offer(width, height, fileFormat);
  out.inTarget = rows.rows != nullptr;
  if (out.inTarget) {
    level.width = width;
    level.height = height;
    return DecodeResult::Ok;
  }
  DecodeResult result = AllocateLevel(width, height, maxDimension, level);
  rows = {level.argb.data(), width};
  return result;
}

void ReportRows(ImageFile& out, uint32_t rows) {
  if (out.inTarget) out.target->RowsDecoded(rows);
}

DecodeResult AllocateBytes(uint64_t size, std::vector<uint8_t>& buffer) {
  if (size > SIZE_MAX) return DecodeResult::OutOfMemory;
  try {
    buffer.assign(size_t(size), 0);
  } catch (const std::bad_alloc&) {
    return DecodeResult::OutOfMemory;
  }
  return DecodeResult::Ok;
}

bool RowsPresent(uint64_t lastRowBytes, uint64_t stride, uint64_t rows, size_t available) {
  if (rows == 0) return true;
  if (lastRowBytes > available) return false;
  return rows - 1 <= (stride ? (available - lastRowBytes) / stride : UINT64_MAX);
}

uint8_t ScaleTo8(uint32_t value, unsigned bits) {
  if (bits == 0) return 0;
  if (bits >= 8) return uint8_t(value >> (bits - 8));
  uint32_t result = 0;
  for (int filled = 8; filled > 0; filled -= int(bits)) {
    result |= filled >= int(bits) ? value << (filled - int(bits)) : value >> (int(bits) - filled);
  }
  return uint8_t(result);
}

bool ChannelMask::Set(uint32_t bitMask) {
  mask = bitMask;
  shift = bitMask ? unsigned(std::countr_zero(bitMask)) : 0;
  bits = unsigned(std::popcount(bitMask));
  return bitMask == 0 || ((bitMask >> shift) & ((bitMask >> shift) + 1)) == 0;
}

uint32_t FormatForMasks(unsigned bitsPerPixel, const MaskLayout& m) {
  auto is = [&](uint32_t r, uint32_t g, uint32_t b) {
    return m.red.mask == r && m.green.mask == g && m.blue.mask == b;
  };
  bool alpha = m.alpha.bits != 0;
  if (bitsPerPixel == 16) {
    if (is(0xF800, 0x07E0, 0x001F) && !alpha) return fileformat::R5G6B5;
    if (is(0x7C00, 0x03E0, 0x001F))
      return m.alpha.mask == 0x8000 ? fileformat::A1R5G5B5 : fileformat::X1R5G5B5;
    if (is(0x0F00, 0x00F0, 0x000F))
      return m.alpha.mask == 0xF000 ? fileformat::A4R4G4B4 : fileformat::X4R4G4B4;
  }
  if (bitsPerPixel == 24 && is(0xFF0000, 0xFF00, 0xFF) && !alpha) return fileformat::R8G8B8;
  // Anything else is delivered as 8 bits per channel.
  return alpha ? fileformat::A8R8G8B8 : fileformat::X8R8G8B8;
}

uint32_t LoadPixel(const uint8_t* p, unsigned bytesPerPixel) {
  uint32_t v = 0;
  for (unsigned i = 0; i < bytesPerPixel; ++i) v |= uint32_t(p[i]) << (8 * i);
  return v;
}

DecodeResult DecodeImageFile(std::span<const uint8_t> bytes, ImageFile& out,
                             uint32_t maxDimension) {
  using Reader = DecodeResult (*)(Bytes, ImageFile&, uint32_t);
  static constexpr struct {
    Reader reader;
    FileType type;
  } kReaders[] = {{DecodeBmp, FileType::Bmp}, {DecodePpm, FileType::Ppm}, {DecodeDds, FileType::Dds},
                  {DecodeJpeg, FileType::Jpeg}, {DecodePng, FileType::Png}, {DecodeTga, FileType::Tga},
                  {DecodeDib, FileType::Dib}};
  for (const auto& entry : kReaders) {
    ImageFile file;
    file.target = out.target;
    DecodeResult result = entry.reader(bytes, file, maxDimension);
    if (result == DecodeResult::NotThisFormat) continue;
    file.fileType = entry.type;
    if (result == DecodeResult::Ok) out = std::move(file);
    return result;
  }
  return DecodeResult::NotThisFormat;
}

}  // namespace d3dximage
