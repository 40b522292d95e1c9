// Span loops. Values are set up at the span's first pixel from the triangle's planes and
// stepped by their x gradients, so a pixel's result depends only on its row and the
// triangle, never on which thread draws it.
#include "pixel_pipeline.h"

#include <string.h>

#include <algorithm>
#include <bit>

#include "formats.h"
#include "stage_pixels.h"

namespace raster {
namespace {

// On x86-64 the lean span loop is built twice, for AVX2 and for any x86-64, and the
// loader picks one: the three-operand AVX encodings spare it about a tenth of its time.
// Both run the same operations, so the pixels are the same. Tests build this file once
// more per copy, with VESK_SPAN_LOOP_COPY 1 (AVX2) or 0 (any x86-64), to run each.
#if defined(VESK_SPAN_LOOP_COPY) && VESK_SPAN_LOOP_COPY
#define VESK_BUILD_FOR_AVX2 __attribute__((target("avx2")))
#elif defined(__x86_64__) && defined(__GNUC__) && !defined(VESK_SPAN_LOOP_COPY)
#define VESK_BUILD_FOR_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define VESK_BUILD_FOR_AVX2
#endif

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
// colour lines are requested now, so that they arrive while this row is shaded.
void PrefetchNextRow(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, int32_t right) {
  if (y >= t.bottom) return;
  size_t count = static_cast<size_t>(right - left + 1);
  PrefetchBytes(p.color.bits + static_cast<size_t>(y + 1) * p.color.pitch + static_cast<size_t>(left) * p.colorBytes,
                count * p.colorBytes);
  if (p.depth.test) PrefetchBytes(DepthAt(p.depth.buffer, left, y + 1), count * p.depth.buffer.bytes);
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
  bool fourAtOnce = TestsFourAtOnce(depthTest);
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
      visible = 0;
      for (uint32_t k = 0; k < n; ++k) visible |= uint32_t{s.covered[first + k] != 0} << k;
    } else if (fourAtOnce && n == 4) {
      visible = TestAndStoreDepths4(depthTest, depthAt, ScaleAndRound(ClampDepth(pixels[0]), depthTest.buffer.scale));
    } else {
      uint32_t depth[4];
      if (depthTest.test) QuantizeDepth(depthTest.buffer, pixels[0], depth);
      visible = TestAndStoreDepths(depthTest, depthAt, depth, n);
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
    if (kColorsOnly) {
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

void ChooseTexturedLoop(DrawPipeline* p, D3DFORMAT target) {
  const SamplerSetup& sampler = p->stages.stages[0].sampler;
  const TexelLevel& level = sampler.image->levels[0];
  bool powerOfTwo = PowerOfTwoAxis::Serves(level.width, sampler.addressU) &&
                    PowerOfTwoAxis::Serves(level.height, sampler.addressV);
  // Stored bytes are the value's little-endian bytes; X8R8G8B8 reads its unused byte as 0xff.
  bool direct = std::endian::native == std::endian::little &&
                (target == D3DFMT_A8R8G8B8 || target == D3DFMT_X8R8G8B8);
  p->directFill = target == D3DFMT_X8R8G8B8 ? 0xff000000u : 0;
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
  auto add = [p](uint32_t first, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
      if (std::find(p->slots, p->slots + p->slotCount, first + i) == p->slots + p->slotCount) {
        p->slots[p->slotCount++] = first + i;
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

// Per pixel: the samples inside the triangle and passing the depth test (depth at the
// sample's own position); then one shading of every pixel with such a sample; then,
// plane by plane, the depth and colour of those samples (blended per sample).
void ShadeSamples(const DrawPipeline& p, const Triangle& t, int32_t y, const SampleSpans& spans, SpanScratch& s) {
  const SamplePattern& pattern = p.pattern;
  const DepthTest& depth = p.depth;
  int32_t left = spans.first;
  uint32_t count = static_cast<uint32_t>(spans.last - left + 1);
  float fy = static_cast<float>(y);
  for (uint32_t i = 0; i < count; ++i) {
    int32_t x = left + static_cast<int32_t>(i);
    uint32_t mask = 0;
    for (uint32_t k = 0; k < pattern.count; ++k) mask |= uint32_t{x >= spans.left[k] && x <= spans.right[k]} << k;
    mask &= p.sampleMask;
    if (mask && depth.test) {
      const uint8_t* at = DepthAt(depth.buffer, x, y);
      uint32_t* depths = &s.depths[size_t{i} * kMaxSamples];
      for (uint32_t k = 0; k < pattern.count; ++k) {
        if (!(mask >> k & 1)) continue;
        float z = t.z.Evaluate(static_cast<float>(x) + static_cast<float>(pattern.x[k]) / kSubpixels,
                               fy + static_cast<float>(pattern.y[k]) / kSubpixels, t.originX, t.originY);
        depths[k] = QuantizeDepth(depth.buffer, z);
        if (!OrderPasses(depth.orders, depths[k], LoadDepth(depth.buffer, at + k * depth.buffer.planeBytes)))
          mask &= ~(1u << k);
      }
    }
    s.samples[i] = static_cast<uint8_t>(mask);
    s.covered[i] = mask != 0;
  }
  p.colors(p, t, y, left, count, s);
  for (uint32_t k = 0; k < pattern.count; ++k) {
    bool any = false;
    for (uint32_t i = 0; i < count; ++i) {
      bool drawn = s.covered[i] && (s.samples[i] >> k & 1);
      s.sampleCovered[i] = drawn;
      any |= drawn;
      if (drawn && depth.write) {
        uint8_t* at = DepthAt(depth.buffer, left + static_cast<int32_t>(i), y) + k * depth.buffer.planeBytes;
        StoreDepth(depth.buffer, at, s.depths[size_t{i} * kMaxSamples + k]);
      }
    }
    if (any) {
      WritePixels(p, ColorAt(SamplePlane(p.color, k), p.colorBytes, left, y), count, s.color.data(),
                  s.sampleCovered.data(), s.target.data());
    }
  }
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
  p->stages = BuildStages(state, images);
  ChooseVaryings(p);
  p->shade = &ShadeGeneral;
  p->colors = &GeneralPixels<false>;
  if (FitsTexturedLoop(*p)) {
    ChooseTexturedLoop(p, targets.color.format);
  } else {
    ChooseStageLoop(p, targets.color.format);
  }
  return true;
}

}  // namespace raster
