// Span loops. Values are set up at the span's first pixel from the triangle's planes and
// stepped by their x gradients, so a pixel's result depends only on its row and the
// triangle, never on which thread draws it.
#include "pixel_pipeline.h"

#include <string.h>

#include <algorithm>
#include <bit>

#include "formats.h"
#include "span_loop_copies.h"
#include "stage_pixels.h"

namespace raster {
namespace {

int32_t ToChannel(float v) {  // 0..1 to 0..255; NaN gives 0
  return v > 0.0f ? (v < 1.0f ? static_cast<int32_t>(v * 255.0f + 0.5f) : 255) : 0;
}

Color4 ToColor(const float* rgba) {
  return {ToChannel(rgba[0]), ToChannel(rgba[1]), ToChannel(rgba[2]), ToChannel(rgba[3])};
}

uint32_t AddSpecular(uint32_t argb, const Color4& specular) {
  Color4 c = ToColor4(argb);
  c.r = std::min(255, c.r + specular.r);
  c.g = std::min(255, c.g + specular.g);
  c.b = std::min(255, c.b + specular.b);
  return ToArgb(c);
}

// Writes colors[i] where covered[i] into the `count` pixels from `row`, blending with
// what they hold if asked (through `target`, a buffer of `count` values).
void WritePixels(const DrawPipeline& p, uint8_t* row, uint32_t count, const uint32_t* colors,
                 const uint8_t* covered, uint32_t* target) {
  const uint32_t* out = colors;
  if (p.readsTarget) {
    p.readRow(row, count, target);
    for (uint32_t i = 0; i < count; ++i) {
      if (covered[i]) target[i] = BlendPixel(p.blend, colors[i], target[i]);
    }
    out = target;
  }
  for (uint32_t i = 0; i < count;) {
    if (!covered[i]) {
      ++i;
      continue;
    }
    uint32_t end = i;
    while (end < count && covered[end]) ++end;
    p.writeRow(out + i, end - i, row + static_cast<size_t>(i) * p.colorBytes);
    i = end;
  }
}

uint8_t* ColorAt(const SurfaceView& surface, uint32_t bytes, int32_t x, int32_t y) {
  return surface.bits + static_cast<size_t>(y) * surface.pitch + static_cast<size_t>(x) * bytes;
}

// Whether the four flags from `flags` (0 or 1 each) are all 1.
inline bool AllFourSet(const uint8_t* flags) {
  uint32_t four;
  memcpy(&four, flags, 4);
  return four == 0x01010101u;
}

// Writes the covered pixels of a span, blending with what the target holds if asked.
void WriteSpan(const DrawPipeline& p, int32_t y, int32_t left, uint32_t count, SpanScratch& s) {
  WritePixels(p, ColorAt(p.color, p.colorBytes, left, y), count, s.color.data(), s.covered.data(), s.target.data());
}

// Depth test before any shading; the value to store comes back in `depth`.
inline bool DepthPasses(const DepthTest& t, const uint8_t* at, float z, uint32_t* depth) {
  if (!t.test) return true;
  *depth = QuantizeDepth(t.buffer, z);
  return OrderPasses(t.orders, *depth, LoadDepth(t.buffer, at));
}

uint8_t* DepthRow(const DepthTest& t, int32_t y, int32_t left) {
  return t.test ? DepthAt(t.buffer, left, y) : nullptr;
}

// Asks for the cache lines of `bytes` bytes from `first` without waiting for them.
void PrefetchBytes(const uint8_t* first, size_t bytes) {
  for (size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(first + offset, 1);
  __builtin_prefetch(first + bytes - 1, 1);
}

// The next row of a triangle covers about the same columns as this one: its depth and
// colour lines (of every sample's plane) are requested now, so that they arrive while
// this row is shaded.
void PrefetchRow(const DrawPipeline& p, int32_t y, int32_t left, int32_t right) {
  size_t count = static_cast<size_t>(right - left + 1);
  for (uint32_t k = 0; k < p.pattern.count; ++k) {
    PrefetchBytes(ColorAt(SamplePlane(p.color, k), p.colorBytes, left, y), count * p.colorBytes);
    if (p.depth.test)
      PrefetchBytes(DepthAt(p.depth.buffer, left, y) + k * p.depth.buffer.planeBytes, count * p.depth.buffer.bytes);
  }
}

void PrefetchNextRow(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, int32_t right) {
  if (y < t.bottom) PrefetchRow(p, y + 1, left, right);
}

// The general loop over `count` pixels from `left`. kDepthTest: each pixel is depth
// tested (and its depth stored when it is drawn); otherwise the pixels are those that
// s.covered holds. Sets s.covered[i] and s.color[i] for each pixel drawn.
template <bool kDepthTest>
void GeneralPixels(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, uint32_t count,
                   SpanScratch& s) {
  float fx = static_cast<float>(left), fy = static_cast<float>(y);
  float z = t.z.Evaluate(fx, fy, t.originX, t.originY);
  float q = t.q.Evaluate(fx, fy, t.originX, t.originY);
  float stepped[kVaryingCount] = {};
  float varying[kVaryingCount] = {};
  float gradients[4 * kMaxTexCoordSets] = {};
  for (uint32_t k = 0; k < p.slotCount; ++k) {
    uint32_t slot = p.slots[k];
    stepped[slot] = t.varying[slot].Evaluate(fx, fy, t.originX, t.originY);
  }
  uint8_t* depthAt = kDepthTest ? DepthRow(p.depth, y, left) : nullptr;
  StageInputs in{};
  in.varying = varying;
  in.gradients = p.stages.needsLod ? gradients : nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    bool wanted = kDepthTest || s.covered[i];
    s.covered[i] = 0;
    uint32_t depth = 0;
    if (kDepthTest) wanted = DepthPasses(p.depth, depthAt, z, &depth);
    if (wanted) {
      float w = 1.0f / q;
      for (uint32_t k = 0; k < p.slotCount; ++k) varying[p.slots[k]] = stepped[p.slots[k]] * w;
      if (p.stages.needsLod) {
        // d(a/q)/dx = (da/dx - (a/q) dq/dx) / q for each texture coordinate.
        for (uint32_t set = 0; set < kMaxTexCoordSets; ++set) {
          for (uint32_t c = 0; c < 2; ++c) {
            uint32_t slot = TexSlot(set) + c;
            gradients[4 * set + c] = (t.varying[slot].dx - varying[slot] * t.q.dx) * w;
            gradients[4 * set + 2 + c] = (t.varying[slot].dy - varying[slot] * t.q.dy) * w;
          }
        }
      }
      in.diffuse = ToColor(varying + kDiffuseSlot);
      in.specular = ToColor(varying + kSpecularSlot);
      uint32_t color = RunStages(p.stages, in);
      if (p.addSpecular) color = AddSpecular(color, in.specular);
      if (AlphaTestPasses(p.alpha, color)) {
        if (kDepthTest && p.depth.write) StoreDepth(p.depth.buffer, depthAt, depth);
        s.color[i] = color;
        s.covered[i] = 1;
      }
    }
    z += t.z.dx;
    q += t.q.dx;
    for (uint32_t k = 0; k < p.slotCount; ++k) stepped[p.slots[k]] += t.varying[p.slots[k]].dx;
    if (depthAt) depthAt += p.depth.buffer.bytes;
  }
}

void ShadeGeneral(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, int32_t right,
                  SpanScratch& s) {
  uint32_t count = static_cast<uint32_t>(right - left + 1);
  GeneralPixels<true>(p, t, y, left, count, s);
  WriteSpan(p, y, left, count, s);
}

// Where the lean loop's colours go: straight into a 32-bit ARGB target, through the
// scratch row and the format converter, or only into the scratch row (the colours of
// the pixels s.covered holds, for a multisampled target; no depth test).
enum class SpanOutput { kDirect, kConverted, kColorsOnly };

// One texture on stage 0 selected as colour and alpha, no blending, no alpha test, one
// filter: the state of a textured opaque mesh. Four pixels at a time get their depth,
// 1/w and texel positions with four-lane arithmetic (lane by lane the same operations
// as the general loop), then are depth tested, sampled and written. kPowerOfTwo:
// linear filtering of a power-of-two level with WRAP or MIRROR addressing on each axis,
// four pixels filtered at a time.
template <bool kLinear, bool kPowerOfTwo, SpanOutput kOutput>
VESK_BUILD_FOR_AVX2 void TexturedPixels(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left,
                                        uint32_t count, SpanScratch& s) {
  constexpr bool kDirect = kOutput == SpanOutput::kDirect;
  constexpr bool kColorsOnly = kOutput == SpanOutput::kColorsOnly;
  const StageSetup& stage = p.stages.stages[0];
  // Local copies: the pixel stores below could alias anything reached through `p`, which
  // would make the compiler reload these for every four pixels.
  const SamplerSetup sampler = stage.sampler;
  const TexelLevel level = sampler.image->levels[0];
  const DepthTest depthTest = p.depth;
  const uint32_t fill = kDirect ? p.directFill : 0;
  const Float4 width(static_cast<float>(level.width)), height(static_cast<float>(level.height));
  const PowerOfTwoAxis axisU(level.width, sampler.addressU), axisV(level.height, sampler.addressV);
  const Plane& uPlane = t.varying[stage.coordSlot];
  const Plane& vPlane = t.varying[stage.coordSlot + 1];
  float fx = static_cast<float>(left), fy = static_cast<float>(y);
  // Lanes: z, q, u * q, v * q, stepped by their x gradients.
  Float4 values(t.z.Evaluate(fx, fy, t.originX, t.originY), t.q.Evaluate(fx, fy, t.originX, t.originY),
                uPlane.Evaluate(fx, fy, t.originX, t.originY), vPlane.Evaluate(fx, fy, t.originX, t.originY));
  Float4 steps(t.z.dx, t.q.dx, uPlane.dx, vPlane.dx);
  uint8_t* depthRow = kColorsOnly ? nullptr : DepthRow(depthTest, y, left);
  uint8_t* colorRow = kDirect ? ColorAt(p.color, 4, left, y) : nullptr;
  if (!kColorsOnly) PrefetchNextRow(p, t, y, left, left + static_cast<int32_t>(count) - 1);
  for (uint32_t first = 0; first < count; first += 4) {
    uint8_t* depthAt = depthRow ? depthRow + first * depthTest.buffer.bytes : nullptr;
    uint8_t* colorAt = kDirect ? colorRow + 4 * first : nullptr;
    Float4 pixels[4];
    for (Float4& pixel : pixels) {
      pixel = values;
      values = values + steps;
    }
    Transpose(pixels);  // pixels[0] holds four z, pixels[1] four q, ...
    Float4 w = Float4(1.0f) / pixels[1];
    auto texelX = TexelPosition<kLinear>(pixels[2] * w, width);
    auto texelY = TexelPosition<kLinear>(pixels[3] * w, height);
    uint32_t n = count - first < 4 ? count - first : 4;
    uint32_t visible;
    if (kColorsOnly) {
      bool all = n == 4 && AllFourSet(&s.covered[first]);
      visible = all ? 15 : 0;
      for (uint32_t k = 0; k < n && !all; ++k) visible |= uint32_t{s.covered[first + k] != 0} << k;
    } else {
      visible = TestAndStoreDepthsOf(depthTest, depthAt, pixels[0], n);
    }
    uint32_t colors[4];
    if constexpr (kPowerOfTwo) {
      Store(colors, FilterPowerOfTwo(level, axisU, axisV, texelX, texelY) | Int4(static_cast<int32_t>(fill)));
    } else {
      int32_t at[2][4];  // texel positions x, y
      Store(at[0], texelX);
      Store(at[1], texelY);
      for (uint32_t k = 0; k < n; ++k) {
        if (!(visible >> k & 1)) continue;
        colors[k] = kLinear ? BilinearTexel(level, sampler, at[0][k], at[1][k])
                            : PointTexel(level, sampler, at[0][k], at[1][k]);
        colors[k] |= fill;
      }
    }
    if (kColorsOnly && visible == 15) {
      memcpy(&s.color[first], colors, 16);
    } else if (kColorsOnly) {
      for (uint32_t k = 0; k < n; ++k) {
        if (visible >> k & 1) s.color[first + k] = colors[k];
      }
    } else if (kDirect && visible == 15) {
      memcpy(colorAt, colors, 16);
    } else {
      for (uint32_t k = 0; k < n; ++k) {
        bool shown = visible >> k & 1;
        if (kDirect && shown) memcpy(colorAt + 4 * k, &colors[k], 4);
        if (!kDirect) {
          if (shown) s.color[first + k] = colors[k];
          s.covered[first + k] = shown;
        }
      }
    }
  }
}

template <bool kLinear, bool kPowerOfTwo, SpanOutput kOutput>
void ShadeTextured(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, int32_t right, SpanScratch& s) {
  uint32_t count = static_cast<uint32_t>(right - left + 1);
  TexturedPixels<kLinear, kPowerOfTwo, kOutput>(p, t, y, left, count, s);
  if (kOutput == SpanOutput::kConverted) WriteSpan(p, y, left, count, s);
}

template <bool kLinear, bool kPowerOfTwo>
void ColorTextured(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, uint32_t count, SpanScratch& s) {
  TexturedPixels<kLinear, kPowerOfTwo, SpanOutput::kColorsOnly>(p, t, y, left, count, s);
}

// The lean loop for a draw that FitsTexturedLoop, compiled for its filter, addressing
// and target.
template <bool kLinear, bool kPowerOfTwo>
void TexturedLoopFor(bool direct, DrawPipeline* p) {
  p->shade = direct ? &ShadeTextured<kLinear, kPowerOfTwo, SpanOutput::kDirect>
                    : &ShadeTextured<kLinear, kPowerOfTwo, SpanOutput::kConverted>;
  p->colors = &ColorTextured<kLinear, kPowerOfTwo>;
}

void ChooseTexturedLoop(DrawPipeline* p) {
  const SamplerSetup& sampler = p->stages.stages[0].sampler;
  const TexelLevel& level = sampler.image->levels[0];
  bool powerOfTwo = PowerOfTwoAxis::Serves(level.width, sampler.addressU) &&
                    PowerOfTwoAxis::Serves(level.height, sampler.addressV);
  bool direct = p->writesDirect;
  if (sampler.magFilter == D3DTEXF_POINT) return TexturedLoopFor<false, false>(direct, p);
  return powerOfTwo ? TexturedLoopFor<true, true>(direct, p) : TexturedLoopFor<true, false>(direct, p);
}

bool IsTextureArg(uint32_t arg) { return arg == D3DTA_TEXTURE; }

// Whether the lean loop gives exactly what the general one would.
bool FitsTexturedLoop(const DrawPipeline& p) {
  const StageProgram& program = p.stages;
  if (program.count != 1 || p.alpha.enabled || p.readsTarget || p.addSpecular) return false;
  const StageSetup& s = program.stages[0];
  bool color = (s.colorOp == D3DTOP_SELECTARG1 && IsTextureArg(s.colorArg[0])) ||
               (s.colorOp == D3DTOP_SELECTARG2 && IsTextureArg(s.colorArg[1]));
  bool alpha = (s.alphaOp == D3DTOP_SELECTARG1 && IsTextureArg(s.alphaArg[0])) ||
               (s.alphaOp == D3DTOP_SELECTARG2 && IsTextureArg(s.alphaArg[1]));
  return color && alpha && s.sample && s.coordSlot != kNoCoordinates && !s.sampler.needsLod;
}

void ChooseVaryings(DrawPipeline* p) {
  const StageProgram& program = p->stages;
  p->slotCount = 0;
  p->varyings = 0;
  auto add = [p](uint32_t first, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
      if (!(p->varyings >> (first + i) & 1)) {
        p->slots[p->slotCount++] = first + i;
        p->varyings |= 1u << (first + i);
      }
    }
  };
  if (program.needsDiffuse) add(kDiffuseSlot, 4);
  if (program.needsSpecular || p->addSpecular) add(kSpecularSlot, 4);
  for (uint32_t i = 0; i < program.count; ++i) {
    const StageSetup& s = program.stages[i];
    if (s.sample && s.coordSlot != kNoCoordinates) add(s.coordSlot, 2);
  }
  if (program.needsLod) {
    for (uint32_t set = 0; set < kMaxTexCoordSets; ++set) add(TexSlot(set), 2);
  }
}

// For each 4-bit lane mask, a word whose byte j in memory is 1 where bit j is set.
constexpr uint32_t LaneBytes(uint32_t lanes) {
  uint32_t word = 0;
  for (uint32_t j = 0; j < 4; ++j) {
    uint32_t byteShift = std::endian::native == std::endian::little ? 8 * j : 24 - 8 * j;
    word |= (lanes >> j & 1) << byteShift;
  }
  return word;
}
constexpr uint32_t kLaneBytes[16] = {LaneBytes(0),  LaneBytes(1),  LaneBytes(2),  LaneBytes(3),
                                     LaneBytes(4),  LaneBytes(5),  LaneBytes(6),  LaneBytes(7),
                                     LaneBytes(8),  LaneBytes(9),  LaneBytes(10), LaneBytes(11),
                                     LaneBytes(12), LaneBytes(13), LaneBytes(14), LaneBytes(15)};

// Bits 0 .. n - 1 for the columns from `left` that lie in [first, last].
uint32_t ColumnsWithin(int32_t left, uint32_t n, int32_t first, int32_t last) {
  int64_t low = std::max<int64_t>(int64_t{first} - left, 0);
  int64_t high = std::min<int64_t>(int64_t{last} - left, int64_t{n} - 1);
  return low <= high ? (2u << high) - (1u << low) : 0;
}

// Sample k of the `count` pixels of row y from column `left`: sets bit k of s.samples[i]
// where the sample lies inside the triangle and passes the depth test with the depth at
// its own position, four pixels at a time. With `storeNow` passing depths are stored at
// once (the shading keeps every pixel); otherwise they wait in s.depths, plane k from
// k * s.color.size(), until the shading has said which pixels stay.
void TestSamplePlane(const DrawPipeline& p, const Triangle& t, int32_t y, const SampleSpans& spans, uint32_t k,
                     bool storeNow, SpanScratch& s) {
  if (!(p.sampleMask >> k & 1)) return;
  int32_t left = spans.first;
  uint32_t count = static_cast<uint32_t>(spans.last - left + 1);
  DepthTest depth = p.depth;
  depth.write = depth.write && storeNow;
  uint32_t* waiting = s.depths.data() + size_t{k} * s.color.size();
  const uint8_t bit = static_cast<uint8_t>(1u << k);
  // t.z.Evaluate at (x + sampleX, sampleY), term by term in the same order.
  float sampleX = static_cast<float>(p.pattern.x[k]) / kSubpixels;
  float sampleY = static_cast<float>(y) + static_cast<float>(p.pattern.y[k]) / kSubpixels;
  const Float4 zAt(t.z.at), zDx(t.z.dx), originX(t.originX), offsetX(sampleX);
  const Float4 rowTerm(t.z.dy * (sampleY - t.originY));
  const bool fourAtOnce = TestsFourAtOnce(depth);
  uint8_t* depthRow = depth.test ? DepthAt(depth.buffer, left, y) + k * depth.buffer.planeBytes : nullptr;
  for (uint32_t first = 0; first < count; first += 4) {
    uint32_t n = std::min(count - first, 4u);
    int32_t x = left + static_cast<int32_t>(first);
    bool inside = n == 4 && x >= spans.left[k] && x + 3 <= spans.right[k];
    uint32_t lanes = inside ? 15 : ColumnsWithin(x, n, spans.left[k], spans.right[k]);
    if (lanes && depth.test) {
      Float4 columns = ToFloat(Int4(x) + LaneNumbers());
      Float4 z = zAt + zDx * (columns + offsetX - originX) + rowTerm;
      uint8_t* at = depthRow + first * depth.buffer.bytes;
      if (fourAtOnce && n == 4) {
        Int4 values = ScaleAndRound(ClampDepth(z), depth.buffer.scale);
        lanes = TestAndStoreDepths4(depth, at, values, lanes);
        if (!storeNow) Store(waiting + first, values);
      } else {
        float lanesZ[4];
        Store(lanesZ, z);
        uint32_t passed = 0;
        for (uint32_t j = 0; j < n; ++j) {
          if (!(lanes >> j & 1)) continue;
          uint32_t value = QuantizeDepth(depth.buffer, lanesZ[j]);
          waiting[first + j] = value;
          passed |= uint32_t{TestAndStoreDepth(depth, at + j * depth.buffer.bytes, value)} << j;
        }
        lanes = passed;
      }
    }
    if (n == 4) {  // the four pixels' sample bytes as one word
      uint32_t four;
      memcpy(&four, &s.samples[first], 4);
      four |= kLaneBytes[lanes] * bit;
      memcpy(&s.samples[first], &four, 4);
      continue;
    }
    for (uint32_t j = 0; j < n; ++j) {
      if (lanes >> j & 1) s.samples[first + j] |= bit;
    }
  }
}

// flags[i] = 1 where bytes[i] is not 0, else 0; sixteen at a time where the processor allows.
void FlagNonZero(const uint8_t* bytes, uint32_t count, uint8_t* flags) {
  uint32_t i = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
  for (; i + 16 <= count; i += 16) {
    __m128i isZero = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(flags + i), _mm_andnot_si128(isZero, one));
  }
#endif
  for (; i < count; ++i) flags[i] = bytes[i] != 0;
}

// marked[i] = 1 where covered[i] (0 or 1) is set and samples[i] holds bit k, else 0,
// sixteen pixels at a time where the processor allows; false when no pixel is marked.
bool MarkSample(const uint8_t* covered, const uint8_t* samples, uint32_t count, uint32_t k, uint8_t* marked) {
  const uint8_t bit = static_cast<uint8_t>(1u << k);
  uint32_t i = 0, any = 0;
#ifdef __SSE2__
  const __m128i bits = _mm_set1_epi8(static_cast<char>(bit));
  __m128i anyLanes = _mm_setzero_si128();
  for (; i + 16 <= count; i += 16) {
    __m128i sampleBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
    __m128i has = _mm_cmpeq_epi8(_mm_and_si128(sampleBytes, bits), bits);
    __m128i lanes = _mm_and_si128(has, _mm_loadu_si128(reinterpret_cast<const __m128i*>(covered + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(marked + i), lanes);
    anyLanes = _mm_or_si128(anyLanes, lanes);
  }
  any = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(anyLanes, _mm_setzero_si128()))) != 0xffffu;
#endif
  for (; i < count; ++i) {
    marked[i] = static_cast<uint8_t>(covered[i] & (samples[i] >> k));
    any |= marked[i];
  }
  return any != 0;
}

// Sample k of the row's shaded pixels: the depths still waiting, then the colours,
// straight into a 32-bit ARGB plane or through its converter and blending.
void WriteSamplePlane(const DrawPipeline& p, int32_t y, int32_t left, uint32_t count, uint32_t k, bool depthWaits,
                      SpanScratch& s) {
  if (!MarkSample(s.covered.data(), s.samples.data(), count, k, s.sampleCovered.data())) return;
  const DepthBuffer& depth = p.depth.buffer;
  if (depthWaits && p.depth.write) {
    const uint32_t* waiting = s.depths.data() + size_t{k} * s.color.size();
    uint8_t* at = DepthAt(depth, left, y) + k * depth.planeBytes;
    for (uint32_t i = 0; i < count; ++i) {
      if (s.sampleCovered[i]) StoreDepth(depth, at + i * depth.bytes, waiting[i]);
    }
  }
  uint8_t* row = ColorAt(SamplePlane(p.color, k), p.colorBytes, left, y);
  if (!p.writesDirect) {
    WritePixels(p, row, count, s.color.data(), s.sampleCovered.data(), s.target.data());
    return;
  }
  uint32_t i = 0;
  for (; i + 4 <= count; i += 4) {  // a group of four drawn pixels goes in one copy
    uint32_t colors[4];
    Store(colors, Load(&s.color[i]) | Int4(static_cast<int32_t>(p.directFill)));
    if (AllFourSet(&s.sampleCovered[i])) {
      memcpy(row + 4 * i, colors, 16);
      continue;
    }
    for (uint32_t j = 0; j < 4; ++j) {
      if (s.sampleCovered[i + j]) memcpy(row + 4 * (i + j), &colors[j], 4);
    }
  }
  for (; i < count; ++i) {
    uint32_t color = s.color[i] | p.directFill;
    if (s.sampleCovered[i]) memcpy(row + 4 * i, &color, 4);
  }
}

}  // namespace

void SpanScratch::Fit(uint32_t width, uint32_t sampleCount) {
  color.resize(width);
  target.resize(width);
  covered.resize(width);
  if (sampleCount > 1) {
    samples.resize(width);
    depths.resize(size_t{width} * kMaxSamples);
    sampleCovered.resize(width);
  }
}

// Per sample: coverage and the depth test at the sample's own position; then one
// shading of every pixel with a sample that passed; then, sample by sample, the depth
// and colour of those samples (blended per sample).
void ShadeSamples(const DrawPipeline& p, const Triangle& t, int32_t y, const SampleSpans& spans, SpanScratch& s) {
  int32_t left = spans.first;
  uint32_t count = static_cast<uint32_t>(spans.last - left + 1);
  // Without an alpha test the shading keeps every pixel, so depths are stored as tested.
  bool storeNow = !p.alpha.enabled;
  PrefetchRow(p, y, left, spans.last);
  PrefetchNextRow(p, t, y, left, spans.last);
  std::fill_n(s.samples.begin(), count, uint8_t{0});
  for (uint32_t k = 0; k < p.pattern.count; ++k) TestSamplePlane(p, t, y, spans, k, storeNow, s);
  FlagNonZero(s.samples.data(), count, s.covered.data());
  p.colors(p, t, y, left, count, s);
  for (uint32_t k = 0; k < p.pattern.count; ++k) WriteSamplePlane(p, y, left, count, k, !storeNow, s);
}

Scissor DrawScissor(const D3DVIEWPORT9& vp, const Targets& targets) {
  int64_t right = std::min<int64_t>(int64_t{vp.X} + vp.Width, targets.color.width);
  int64_t bottom = std::min<int64_t>(int64_t{vp.Y} + vp.Height, targets.color.height);
  if (targets.depth.bits) {
    right = std::min<int64_t>(right, targets.depth.width);
    bottom = std::min<int64_t>(bottom, targets.depth.height);
  }
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX / 2)); };
  return {clamp(vp.X), clamp(vp.Y), clamp(right), clamp(bottom)};
}

bool BuildDrawPipeline(const PipelineState& state, const Targets& targets,
                       const TexelImage* const images[kMaxStages], DrawPipeline* p) {
  const FormatInfo* info = FindFormat(targets.color.format);
  p->color = targets.color;
  p->readRow = FindRowToArgb(targets.color.format);
  p->writeRow = FindRowFromArgb(targets.color.format);
  if (!info || !p->readRow || !p->writeRow || !targets.color.bits) return false;
  uint32_t samples = targets.color.samples;
  if (!SampleCountSupported(samples) || (targets.depth.bits && targets.depth.samples != samples)) return false;
  p->colorBytes = info->blockBytes;
  p->pattern = StandardPattern(samples, state.renderStates[D3DRS_MULTISAMPLEANTIALIAS] == FALSE);
  p->sampleMask = ((1u << samples) - 1) & (targets.color.nonmaskable ? ~0u : state.renderStates[D3DRS_MULTISAMPLEMASK]);
  p->depth = SetupDepthTest(state, targets.depth);
  p->alpha = SetupAlphaTest(state);
  p->blend = SetupBlend(state);
  p->readsTarget = p->blend.enabled || p->blend.writeMask != 0xffffffffu;
  p->addSpecular = state.renderStates[D3DRS_SPECULARENABLE] != 0;
  // Stored bytes are the value's little-endian bytes; X8R8G8B8 reads its unused byte as 0xff.
  D3DFORMAT format = targets.color.format;
  p->writesDirect = std::endian::native == std::endian::little && !p->readsTarget &&
                    (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8);
  p->directFill = format == D3DFMT_X8R8G8B8 ? 0xff000000u : 0;
  p->stages = BuildStages(state, images);
  ChooseVaryings(p);
  p->shade = &ShadeGeneral;
  p->colors = &GeneralPixels<false>;
  if (FitsTexturedLoop(*p)) {
    ChooseTexturedLoop(p);
  } else {
    ChooseStageLoop(p, targets.color.format);
  }
  return true;
}

}  // namespace raster
