// Netpbm pictures: PBM (P1, P4), PGM (P2, P5) and PPM (P3, P6), text or binary, any
// maximum value up to 65535 (two big-endian bytes per binary sample above 255), with
// comments in the header. Only the first picture of a multi-picture file is read.
#include "decoder_support.h"

namespace d3dximage {
namespace {

struct PnmHeader {
  char kind = 0;  // '1'..'6'
  uint32_t width = 0, height = 0, maxValue = 1;
  unsigned channels = 1;
  bool binary = false;
  bool bitmap = false;
};

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads decimal numbers between whitespace and comments; plain PBM digits may touch.
class TextScanner {
 public:
  TextScanner(Bytes bytes, size_t pos) : bytes_(bytes), pos_(pos) {}
  bool Number(uint32_t& value, size_t maxDigits = 10);
  size_t Position() const { return pos_; }

 private:
  void SkipBlanks();
  Bytes bytes_;
  size_t pos_;
};

void TextScanner::SkipBlanks() {
  while (pos_ < bytes_.size()) {
    if (bytes_[pos_] == '#') {
      while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') ++pos_;
    } else if (IsSpace(bytes_[pos_])) {
      ++pos_;
    } else {
      return;
    }
  }
}

bool TextScanner::Number(uint32_t& value, size_t maxDigits) {
  SkipBlanks();
  uint64_t v = 0;
  size_t digits = 0;
  while (pos_ < bytes_.size() && digits < maxDigits && bytes_[pos_] >= '0' && bytes_[pos_] <= '9') {
    v = v * 10 + (bytes_[pos_++] - '0');
    if (v > UINT32_MAX) return false;
    ++digits;
  }
  value = uint32_t(v);
  return digits > 0;
}

// Reads the header; `pos` ends on the first byte of the pixel data.
DecodeResult ReadHeader(Bytes bytes, PnmHeader& h, size_t& pos) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
    return DecodeResult::NotThisFormat;
  h.kind = char(bytes[1]);
  if (bytes.size() > 2 && !IsSpace(bytes[2]) && bytes[2] != '#') return DecodeResult::NotThisFormat;
  h.binary = h.kind >= '4';
  h.bitmap = h.kind == '1' || h.kind == '4';
  h.channels = (h.kind == '3' || h.kind == '6') ? 3 : 1;
  TextScanner text(bytes, 2);
  bool ok = text.Number(h.width) && text.Number(h.height) && (h.bitmap || text.Number(h.maxValue));
  if (!ok || h.maxValue == 0 || h.maxValue > 65535) return DecodeResult::InvalidData;
  pos = text.Position();
  if (h.binary) {
    // Exactly one whitespace byte separates the header from binary data.
    if (pos >= bytes.size() || !IsSpace(bytes[pos])) return DecodeResult::InvalidData;
    ++pos;
  }
  return DecodeResult::Ok;
}

uint8_t ScaleSample(uint32_t v, uint32_t maxValue) {
  return uint8_t((uint64_t(v) * 255 + maxValue / 2) / maxValue);
}

uint32_t ToArgb(const uint32_t* samples, const PnmHeader& h) {
  if (h.bitmap) return samples[0] ? 0xFF000000 : 0xFFFFFFFF;  // 1 is black
  uint8_t c[3];
  for (unsigned i = 0; i < 3; ++i) c[i] = ScaleSample(samples[h.channels == 3 ? i : 0], h.maxValue);
  return Argb(255, c[0], c[1], c[2]);
}

bool ReadTextPixels(Bytes bytes, size_t pos, const PnmHeader& h, ImageLevel& level) {
  TextScanner text(bytes, pos);
  uint32_t samples[3];
  for (uint32_t& pixel : level.argb) {
    for (unsigned c = 0; c < h.channels; ++c) {
      if (!text.Number(samples[c], h.bitmap ? 1 : 10) || samples[c] > h.maxValue) return false;
    }
    pixel = ToArgb(samples, h);
  }
  return true;
}

bool ReadBinaryPixels(Bytes data, const PnmHeader& h, ImageLevel& level) {
  const unsigned sampleBytes = h.maxValue > 255 ? 2 : 1;
  const uint64_t rowBytes = h.bitmap ? (h.width + 7u) / 8 : uint64_t(h.width) * h.channels * sampleBytes;
  uint32_t samples[3];
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* row = data.data() + y * rowBytes;
    for (uint32_t x = 0; x < h.width; ++x) {
      if (h.bitmap) {
        samples[0] = (row[x / 8] >> (7 - x % 8)) & 1;
      } else {
        for (unsigned c = 0; c < h.channels; ++c) {
          const uint8_t* s = row + (uint64_t(x) * h.channels + c) * sampleBytes;
          samples[c] = sampleBytes == 2 ? uint32_t(s[0] << 8 | s[1]) : s[0];
          if (samples[c] > h.maxValue) return false;
        }
      }
      level.argb[uint64_t(y) * h.width + x] = ToArgb(samples, h);
    }
  }
  return true;
}

// Whether the pixels can be there: exact for binary data; in text each sample takes
// one digit at least, and all but plain PBM digits need a separator as well.
bool DataPresent(const PnmHeader& h, size_t available) {
  uint64_t rowSamples = uint64_t(h.width) * h.channels;
  if (h.binary) {
    uint64_t row = h.bitmap ? (h.width + 7u) / 8 : rowSamples * (h.maxValue > 255 ? 2 : 1);
    return RowsPresent(row, row, h.height, available);
  }
  if (h.bitmap) return RowsPresent(rowSamples, rowSamples, h.height, available);
  return RowsPresent(2 * rowSamples - 1, 2 * rowSamples, h.height, available);
}

}  // namespace

DecodeResult DecodePpm(Bytes bytes, ImageFile& out, uint32_t maxDimension) {
  PnmHeader h;
  size_t pos = 0;
  DecodeResult result = ReadHeader(bytes, h, pos);
  if (result != DecodeResult::Ok) return result;
  if (h.width == 0 || h.height == 0 || !DataPresent(h, bytes.size() - pos))
    return DecodeResult::InvalidData;
  ImageLevel level;
  if ((result = AllocateLevel(h.width, h.height, maxDimension, level)) != DecodeResult::Ok)
    return result;
  bool ok = h.binary ? ReadBinaryPixels(bytes.subspan(pos), h, level)
                     : ReadTextPixels(bytes, pos, h, level);
  if (!ok) return DecodeResult::InvalidData;
  // Samples arrive as 8 bits per channel whatever the maximum value.
  out.fileFormat = h.channels == 3 ? fileformat::R8G8B8 : fileformat::L8;
  out.levels.push_back(std::move(level));
  return DecodeResult::Ok;
}

}  // namespace d3dximage
