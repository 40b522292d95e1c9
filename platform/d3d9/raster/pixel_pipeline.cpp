// Span loops. Values are set up at the span's first pixel from the triangle's planes and
// stepped by their x gradients, so a pixel's result depends only on its row and the
// triangle, never on which thread draws it.
#include "pixel_pipeline.h"

#include <string.h>

#include <algorithm>
#include <bit>

#include "formats.h"

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

// Writes the covered pixels of a span, blending with what the target holds if asked.
void WriteSpan(const DrawPipeline& p, int32_t y, int32_t left, uint32_t count, SpanScratch& s) {
  uint8_t* row = p.color.bits + static_cast<size_t>(y) * p.color.pitch +
                 static_cast<size_t>(left) * p.colorBytes;
  if (p.readsTarget) {
    p.readRow(row, count, s.target.data());
    for (uint32_t i = 0; i < count; ++i) {
      if (s.covered[i]) s.color[i] = BlendPixel(p.blend, s.color[i], s.target[i]);
    }
  }
  for (uint32_t i = 0; i < count;) {
    if (!s.covered[i]) {
      ++i;
      continue;
    }
    uint32_t end = i;
    while (end < count && s.covered[end]) ++end;
    p.writeRow(s.color.data() + i, end - i, row + static_cast<size_t>(i) * p.colorBytes);
    i = end;
  }
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

void ShadeGeneral(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left,
                  int32_t right, SpanScratch& s) {
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
  uint8_t* depthAt = DepthRow(p.depth, y, left);
  uint32_t count = static_cast<uint32_t>(right - left + 1);
  StageInputs in{};
  in.varying = varying;
  in.gradients = p.stages.needsLod ? gradients : nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    s.covered[i] = 0;
    uint32_t depth = 0;
    if (DepthPasses(p.depth, depthAt, z, &depth)) {
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
        if (p.depth.write) StoreDepth(p.depth.buffer, depthAt, depth);
        s.color[i] = color;
        s.covered[i] = 1;
      }
    }
    z += t.z.dx;
    q += t.q.dx;
    for (uint32_t k = 0; k < p.slotCount; ++k) stepped[p.slots[k]] += t.varying[p.slots[k]].dx;
    if (depthAt) depthAt += p.depth.buffer.bytes;
  }
  WriteSpan(p, y, left, count, s);
}

// One texture on stage 0 selected as colour and alpha, no blending, no alpha test, one
// filter: the state of a textured opaque mesh. Four pixels at a time get their depth,
// 1/w and texel positions with four-lane arithmetic (lane by lane the same operations
// as the general loop), then are depth tested, sampled and written. kPowerOfTwo:
// linear filtering of a power-of-two level with WRAP or MIRROR addressing on each axis,
// four pixels filtered at a time. kDirect: a 32-bit ARGB target written in place rather
// than through the scratch row and the format converter.
template <bool kLinear, bool kPowerOfTwo, bool kDirect>
VESK_BUILD_FOR_AVX2 void ShadeTextured(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left,
                   int32_t right, SpanScratch& s) {
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
  uint8_t* depthRow = DepthRow(depthTest, y, left);
  uint8_t* colorRow = p.color.bits + static_cast<size_t>(y) * p.color.pitch + static_cast<size_t>(left) * 4;
  uint32_t count = static_cast<uint32_t>(right - left + 1);
  bool fourAtOnce = TestsFourAtOnce(depthTest);
  PrefetchNextRow(p, t, y, left, right);
  for (uint32_t first = 0; first < count; first += 4) {
    uint8_t* depthAt = depthRow ? depthRow + first * depthTest.buffer.bytes : nullptr;
    uint8_t* colorAt = colorRow + 4 * first;
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
    if (fourAtOnce && n == 4) {
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
    if (kDirect && visible == 15) {
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
  if (!kDirect) WriteSpan(p, y, left, count, s);
}

// The lean loop for a draw that FitsTexturedLoop, compiled for its filter, addressing
// and target.
template <bool kLinear, bool kPowerOfTwo>
SpanFunction TexturedLoopFor(bool direct) {
  return direct ? &ShadeTextured<kLinear, kPowerOfTwo, true> : &ShadeTextured<kLinear, kPowerOfTwo, false>;
}

SpanFunction ChooseTexturedLoop(DrawPipeline* p, D3DFORMAT target) {
  const SamplerSetup& sampler = p->stages.stages[0].sampler;
  const TexelLevel& level = sampler.image->levels[0];
  bool powerOfTwo = PowerOfTwoAxis::Serves(level.width, sampler.addressU) &&
                    PowerOfTwoAxis::Serves(level.height, sampler.addressV);
  // Stored bytes are the value's little-endian bytes; X8R8G8B8 reads its unused byte as 0xff.
  bool direct = std::endian::native == std::endian::little &&
                (target == D3DFMT_A8R8G8B8 || target == D3DFMT_X8R8G8B8);
  p->directFill = target == D3DFMT_X8R8G8B8 ? 0xff000000u : 0;
  if (sampler.magFilter == D3DTEXF_POINT) return TexturedLoopFor<false, false>(direct);
  return powerOfTwo ? TexturedLoopFor<true, true>(direct) : TexturedLoopFor<true, false>(direct);
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
  p->colorBytes = info->blockBytes;
  p->depth = SetupDepthTest(state, targets.depth);
  p->alpha = SetupAlphaTest(state);
  p->blend = SetupBlend(state);
  p->readsTarget = p->blend.enabled || p->blend.writeMask != 0xffffffffu;
  p->addSpecular = state.renderStates[D3DRS_SPECULARENABLE] != 0;
  p->stages = BuildStages(state, images);
  ChooseVaryings(p);
  p->shade = &ShadeGeneral;
  if (FitsTexturedLoop(*p)) p->shade = ChooseTexturedLoop(p, targets.color.format);
  return true;
}

}  // namespace raster
