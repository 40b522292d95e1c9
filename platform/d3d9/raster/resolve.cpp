// Resolve. Samples are read as A8R8G8B8 (32-bit ARGB planes in place, other formats
// through their row converter) and summed in 16-bit lanes: eight samples of 255 stay
// far below 2^16, so the mean is exact.
#include "resolve.h"

#include <string.h>

#include <bit>
#include <vector>

#include "formats.h"
#include "row_bands.h"
#include "simd4.h"
#include "texel_formats.h"

namespace raster {
namespace {

// out[i] = per channel (sum of rows[k][i] + n / 2) >> log2 n, for n a power of two.
void AverageRows(const uint32_t* const* rows, uint32_t n, uint32_t width, uint32_t* out) {
  const uint32_t shift = static_cast<uint32_t>(std::countr_zero(n)), half = n / 2;
  uint32_t i = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128(), rounding = _mm_set1_epi16(static_cast<short>(half));
  const __m128i bits = _mm_cvtsi32_si128(static_cast<int>(shift));
  for (; i + 4 <= width; i += 4) {
    __m128i low = rounding, high = rounding;
    for (uint32_t k = 0; k < n; ++k) {
      __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
      low = _mm_add_epi16(low, _mm_unpacklo_epi8(pixels, zero));
      high = _mm_add_epi16(high, _mm_unpackhi_epi8(pixels, zero));
    }
    __m128i mean = _mm_packus_epi16(_mm_srl_epi16(low, bits), _mm_srl_epi16(high, bits));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), mean);
  }
#endif
  for (; i < width; ++i) {
    uint32_t result = 0;
    for (int channel = 0; channel < 32; channel += 8) {
      uint32_t sum = half;
      for (uint32_t k = 0; k < n; ++k) sum += (rows[k][i] >> channel) & 0xff;
      result |= (sum >> shift) << channel;
    }
    out[i] = result;
  }
}

}  // namespace

bool ResolveToArgb(const SurfaceView& source, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   uint8_t* out, uint32_t outPitch) {
  const FormatInfo* info = FindFormat(source.format);
  RowToArgbFn toArgb = FindRowToArgb(source.format);
  const uint32_t n = source.samples;
  if (!info || !toArgb || !std::has_single_bit(n) || n > 8) return false;
  if (uint64_t{x} + width > source.width || uint64_t{y} + height > source.height) return false;
  // 32-bit ARGB samples are averaged where they lie (an X8R8G8B8 X byte comes out as
  // the mean of the X bytes, which readers ignore), rows shared out by the samples they
  // read; others go through a converted copy of each row's samples.
  const bool inPlace = source.format == D3DFMT_A8R8G8B8 || source.format == D3DFMT_X8R8G8B8;
  auto resolveRows = [&](uint32_t first, uint32_t last, uint32_t* converted) {
    const uint32_t* rows[8];
    for (uint32_t row = first; row < last; ++row) {
      for (uint32_t k = 0; k < n; ++k) {
        const uint8_t* at =
            SamplePlane(source, k).bits + size_t{y + row} * source.pitch + size_t{x} * info->blockBytes;
        if (converted) toArgb(at, width, converted + size_t{k} * width);
        rows[k] = converted ? converted + size_t{k} * width : reinterpret_cast<const uint32_t*>(at);
      }
      AverageRows(rows, n, width, reinterpret_cast<uint32_t*>(out + size_t{row} * outPitch));
    }
  };
  if (inPlace) {
    InRowBands(width * n, height, 1, [&](uint32_t first, uint32_t last) { resolveRows(first, last, nullptr); });
  } else {
    std::vector<uint32_t> converted(size_t{width} * n);
    resolveRows(0, height, converted.data());
  }
  return true;
}

}  // namespace raster
