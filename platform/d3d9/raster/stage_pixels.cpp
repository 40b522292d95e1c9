// The stage loop. Four pixels' colours travel as 16-bit channels in two registers, so
// a product of two channels and the rounding sums stay exact; every stage operation
// and the blend keep the general loop's (x * y + 127) / 255 rounding, with the division
// done as (n + 1 + (n >> 8)) >> 8, which equals n / 255 for every n below 65280.
#include "stage_pixels.h"

#include <stddef.h>
#include <string.h>

#include <bit>

#include "pixel_pipeline.h"
#include "span_loop_copies.h"

namespace raster {
namespace {

#ifdef __SSE2__

// How the draw's colours meet the target: replacing it, over it (SRCALPHA, INVSRCALPHA)
// or added to it (SRCALPHA, ONE).
enum class Blend { kNone, kOver, kAdd };

bool ServedArgument(uint32_t arg) {
  return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT || arg == D3DTA_TEXTURE || arg == D3DTA_TFACTOR;
}

// Whether the operation is one the loop runs, with the arguments it reads served.
bool ServedOperation(uint32_t op, const uint32_t args[3]) {
  switch (op) {
    case D3DTOP_SELECTARG1: return ServedArgument(args[0]);
    case D3DTOP_SELECTARG2: return ServedArgument(args[1]);
    case D3DTOP_MODULATE:
    case D3DTOP_ADD:
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return ServedArgument(args[0]) && ServedArgument(args[1]);
    default: return false;
  }
}

bool ServedStage(const StageSetup& s) {
  return ServedOperation(s.colorOp, s.colorArg) &&
         (s.alphaOp == D3DTOP_DISABLE || ServedOperation(s.alphaOp, s.alphaArg)) &&
         (!s.sample || s.coordSlot != kNoCoordinates);
}

// ---- texels a stage need not fetch ----

// Pixels sorted by their diffuse alpha. BLENDDIFFUSEALPHA gives its first argument
// where that alpha is 255 and its second where it is 0: there the other one's value
// does not matter, and a texture read only through it need not be sampled.
constexpr uint32_t kWhereClear = 1, kWhereOpaque = 2, kAnywhere = kWhereClear | kWhereOpaque;

// Where the channels `op` computes do not depend on those of register `arg`.
uint32_t Unread(uint32_t op, const uint32_t args[3], uint32_t arg) {
  bool first = args[0] == arg, second = args[1] == arg;
  if (op == D3DTOP_BLENDTEXTUREALPHA && arg == D3DTA_TEXTURE) return 0;  // weighted by the texel's alpha
  switch (op) {
    case D3DTOP_SELECTARG1: return first ? 0 : kAnywhere;
    case D3DTOP_SELECTARG2: return second ? 0 : kAnywhere;
    case D3DTOP_BLENDDIFFUSEALPHA: return first && second ? 0 : first ? kWhereClear : second ? kWhereOpaque : kAnywhere;
    default: return first || second ? 0 : kAnywhere;
  }
}

// Where stage i's texels do not matter: neither its alpha nor its colour reads them,
// or its colour is not read by the next stage.
uint32_t TexelsUnread(const StageProgram& program, uint32_t i) {
  const StageSetup& s = program.stages[i];
  uint32_t alpha = s.alphaOp == D3DTOP_DISABLE ? kAnywhere : Unread(s.alphaOp, s.alphaArg, D3DTA_TEXTURE);
  uint32_t color = Unread(s.colorOp, s.colorArg, D3DTA_TEXTURE);
  if (i + 1 < program.count) {
    const StageSetup& next = program.stages[i + 1];
    color |= Unread(next.colorOp, next.colorArg, D3DTA_CURRENT);
  }
  return alpha & color;
}

bool ChooseBlend(const BlendSetup& b, Blend* out) {
  if (b.writeMask != 0xffffffffu) return false;
  *out = Blend::kNone;
  if (!b.enabled) return true;
  if (b.op != D3DBLENDOP_ADD || b.source != D3DBLEND_SRCALPHA) return false;
  if (b.destination == D3DBLEND_INVSRCALPHA) *out = Blend::kOver;
  if (b.destination == D3DBLEND_ONE) *out = Blend::kAdd;
  return *out != Blend::kNone;
}

// ---- four colours, 16 bits a channel ----
// The helpers of the loop below are always inlined: it keeps their constants in registers.

// Pixels 0 and 1 in `low`, 2 and 3 in `high`; each pixel's lanes hold b, g, r, a.
struct Quad {
  __m128i low, high;
};

[[gnu::always_inline]] inline Quad Widen(__m128i argb) {
  const __m128i zero = _mm_setzero_si128();
  return {_mm_unpacklo_epi8(argb, zero), _mm_unpackhi_epi8(argb, zero)};
}

[[gnu::always_inline]] inline __m128i Narrow(const Quad& q) { return _mm_packus_epi16(q.low, q.high); }

template <typename Op>
[[gnu::always_inline]] inline Quad EachHalf(const Quad& a, const Quad& b, Op op) {
  return {op(a.low, b.low), op(a.high, b.high)};
}

// n / 255 for n below 65280.
[[gnu::always_inline]] inline __m128i Divide255(__m128i n) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, _mm_set1_epi16(1)), _mm_srli_epi16(n, 8)), 8);
}

// (x * y + 127) / 255 per channel.
[[gnu::always_inline]] inline Quad Multiply(const Quad& x, const Quad& y) {
  return EachHalf(x, y, [](__m128i a, __m128i b) {
    return Divide255(_mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(127)));
  });
}

// (x * w + y * (255 - w) + 127) / 255 per channel.
[[gnu::always_inline]] inline Quad Mix(const Quad& x, const Quad& y, const Quad& w) {
  const __m128i full = _mm_set1_epi16(255), half = _mm_set1_epi16(127);
  auto mix = [&](__m128i a, __m128i b, __m128i weight) {
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, weight), _mm_mullo_epi16(b, _mm_sub_epi16(full, weight)));
    return Divide255(_mm_add_epi16(sum, half));
  };
  return {mix(x.low, y.low, w.low), mix(x.high, y.high, w.high)};
}

// min(x + y, 255) per channel.
[[gnu::always_inline]] inline Quad AddClamped(const Quad& x, const Quad& y) {
  return EachHalf(x, y, [](__m128i a, __m128i b) { return _mm_min_epi16(_mm_add_epi16(a, b), _mm_set1_epi16(255)); });
}

// Each pixel's alpha in all four of its channels.
[[gnu::always_inline]] inline Quad AlphaOf(const Quad& q) {
  auto spread = [](__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
  };
  return {spread(q.low), spread(q.high)};
}

// Whether all four alphas are 0.
[[gnu::always_inline]] inline bool AllClear(const Quad& q) {
  const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  __m128i alphas = _mm_and_si128(_mm_or_si128(q.low, q.high), alphaLanes);
  return _mm_movemask_epi8(_mm_cmpeq_epi16(alphas, _mm_setzero_si128())) == 0xffff;
}

// The colour channels of `color` with the alpha of `alpha`.
[[gnu::always_inline]] inline Quad WithAlpha(const Quad& color, const Quad& alpha) {
  const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  return EachHalf(color, alpha, [&](__m128i c, __m128i a) {
    return _mm_or_si128(_mm_andnot_si128(alphaLanes, c), _mm_and_si128(alphaLanes, a));
  });
}

// ---- the stages ----

struct Registers {
  Quad diffuse, current, texture, factor;
  const uint32_t* where;  // the pixels sorted by their diffuse alpha as SortByAlpha gives, or all 0
};

[[gnu::always_inline]] inline const Quad& Argument(const Registers& r, uint32_t arg) {
  switch (arg) {
    case D3DTA_DIFFUSE: return r.diffuse;
    case D3DTA_CURRENT: return r.current;
    case D3DTA_TEXTURE: return r.texture;
    default: return r.factor;
  }
}

[[gnu::always_inline]] inline Quad Operate(uint32_t op, const uint32_t args[3], const Registers& r) {
  switch (op) {
    case D3DTOP_SELECTARG1: return Argument(r, args[0]);
    case D3DTOP_SELECTARG2: return Argument(r, args[1]);
    case D3DTOP_MODULATE: return Multiply(Argument(r, args[0]), Argument(r, args[1]));
    case D3DTOP_ADD: return AddClamped(Argument(r, args[0]), Argument(r, args[1]));
    case D3DTOP_BLENDDIFFUSEALPHA:
      // Mix by 255 gives the first argument exactly, by 0 the second: four pixels of
      // the day or the night side need no arithmetic.
      if (r.where[kWhereOpaque] == 15) return Argument(r, args[0]);
      if (r.where[kWhereClear] == 15) return Argument(r, args[1]);
      return Mix(Argument(r, args[0]), Argument(r, args[1]), AlphaOf(r.diffuse));
    case D3DTOP_BLENDTEXTUREALPHA: return Mix(Argument(r, args[0]), Argument(r, args[1]), AlphaOf(r.texture));
    case D3DTOP_BLENDFACTORALPHA: return Mix(Argument(r, args[0]), Argument(r, args[1]), AlphaOf(r.factor));
    default: return Mix(Argument(r, args[0]), Argument(r, args[1]), AlphaOf(r.current));  // BLENDCURRENTALPHA
  }
}

// Colour and alpha both read the registers as they were before the stage.
[[gnu::always_inline]] inline void RunStage(const StageSetup& s, Registers* r) {
  Quad color = Operate(s.colorOp, s.colorArg, *r);
  Quad alpha = s.alphaOp == D3DTOP_DISABLE ? r->current : Operate(s.alphaOp, s.alphaArg, *r);
  r->current = WithAlpha(color, alpha);
}

// ---- texels ----

StageLoop::Texture TextureOf(const StageSetup& s, uint32_t coordinates) {
  StageLoop::Texture t{};
  t.sample = s.sample;
  t.linear = s.sampler.magFilter != D3DTEXF_POINT;
  t.coordinates = coordinates;
  if (s.sample) {
    const TexelLevel& level = s.sampler.image->levels[0];
    t.powerOfTwo = t.linear && PowerOfTwoAxis::Serves(level.width, s.sampler.addressU) &&
                   PowerOfTwoAxis::Serves(level.height, s.sampler.addressV);
    t.width = Float4(static_cast<float>(level.width));
    t.height = Float4(static_cast<float>(level.height));
    t.axisU = PowerOfTwoAxis(level.width, s.sampler.addressU);
    t.axisV = PowerOfTwoAxis(level.height, s.sampler.addressV);
  }
  return t;
}

// The texels of a stage's texture at four (u, v) positions; lanes not in `visible` may
// be left 0.
// Always inlined, like FilterPowerOfTwo, so that the loop keeps its constants in registers.
[[gnu::always_inline]] inline __m128i Sample(const StageLoop::Texture& t, const SamplerSetup& s, Float4 u, Float4 v,
                                             uint32_t visible) {
  const TexelLevel& level = s.image->levels[0];
  if (t.powerOfTwo) {
    Int4 x = TexelPosition<true>(u, t.width), y = TexelPosition<true>(v, t.height);
    return FilterPowerOfTwo(level, t.axisU, t.axisV, x, y).v;
  }
  int32_t at[2][4];
  Store(at[0], t.linear ? TexelPosition<true>(u, t.width) : TexelPosition<false>(u, t.width));
  Store(at[1], t.linear ? TexelPosition<true>(v, t.height) : TexelPosition<false>(v, t.height));
  auto texel = [&](uint32_t k) {
    if (!(visible >> k & 1)) return 0;
    return static_cast<int>(t.linear ? BilinearTexel(level, s, at[0][k], at[1][k])
                                     : PointTexel(level, s, at[0][k], at[1][k]));
  };
  return _mm_setr_epi32(texel(0), texel(1), texel(2), texel(3));
}

// ---- interpolation ----

constexpr uint32_t kGroups = StageLoop::kGroups;
constexpr uint32_t kFirstPair = 2, kSecondPair = 4, kDiffuse = 8;

// Where in a Triangle the plane of one value lies; a value no stage reads takes z's,
// and is never looked at.
uint32_t PlaneOffset(uint32_t which) {
  if (which == StageLoop::kQPlane) return offsetof(Triangle, q);
  if (which < kVaryingCount) return static_cast<uint32_t>(offsetof(Triangle, varying) + which * sizeof(Plane));
  return offsetof(Triangle, z);
}

const Plane& PlaneAt(const Triangle& t, uint32_t offset) {
  return *reinterpret_cast<const Plane*>(reinterpret_cast<const char*>(&t) + offset);
}

// The planes each value comes from, and the textures, for the stages of `program`.
void PlanStageLoop(const StageProgram& program, StageLoop* loop) {
  loop->skipsTexels = false;
  for (uint32_t& plane : loop->planes) plane = StageLoop::kNoPlane;
  loop->planes[0] = StageLoop::kZPlane;
  loop->planes[1] = StageLoop::kQPlane;
  for (uint32_t i = 0; i < program.count; ++i) {
    const StageSetup& stage = program.stages[i];
    uint32_t at = 0;
    if (stage.sample) {
      uint32_t first = loop->planes[kFirstPair];
      at = first == StageLoop::kNoPlane || first == stage.coordSlot ? kFirstPair : kSecondPair;
      loop->planes[at] = stage.coordSlot;
      loop->planes[at + 1] = stage.coordSlot + 1;
    }
    loop->textures[i] = TextureOf(stage, at);
    loop->textures[i].unread = stage.sample ? TexelsUnread(program, i) : 0;
    loop->skipsTexels |= loop->textures[i].unread != 0;
  }
  loop->diffuse = program.needsDiffuse;
  if (loop->diffuse) {
    for (uint32_t c = 0; c < 4; ++c) loop->planes[kDiffuse + c] = kDiffuseSlot + c;
  }
  for (uint32_t k = 0; k < 4 * kGroups; ++k) loop->offsets[k] = PlaneOffset(loop->planes[k]);
  loop->groupUsed[0] = true;
  loop->groupUsed[1] = loop->planes[kSecondPair] != StageLoop::kNoPlane;
  loop->groupUsed[2] = loop->diffuse;
}

// The 8-bit channel of four interpolated colour values, as the general loop's ToChannel
// rounds one: 0 for NaN and below, 255 from 1 up.
[[gnu::always_inline]] inline Int4 ToChannels(Float4 v) {
  Float4 clamped = Min(Max(v, Float4(0.0f)), Float4(1.0f));
  return Truncate(clamped * Float4(255.0f) + Float4(0.5f));
}

[[gnu::always_inline]] inline __m128i PackDiffuse(const Float4 values[4], Float4 w) {
  Int4 r = ToChannels(values[0] * w), g = ToChannels(values[1] * w), b = ToChannels(values[2] * w),
       a = ToChannels(values[3] * w);
  return ((a << 24) | (r << 16) | (g << 8) | b).v;
}

// The values at a span's first pixel and their steps along it, four to a register.
struct Interpolation {
  Float4 values[kGroups], steps[kGroups];
};

// Each value evaluated at the span's first pixel as Plane::Evaluate does, four at a time.
Interpolation StartSpan(const StageLoop& loop, const Triangle& t, int32_t y, int32_t left) {
  Float4 x(static_cast<float>(left) - t.originX), yOffset(static_cast<float>(y) - t.originY);
  Interpolation in;
  for (uint32_t g = 0; g < kGroups; ++g) {
    if (!loop.groupUsed[g]) continue;
    const uint32_t* at = loop.offsets + 4 * g;
    const Plane &a = PlaneAt(t, at[0]), &b = PlaneAt(t, at[1]), &c = PlaneAt(t, at[2]), &d = PlaneAt(t, at[3]);
    Float4 dx(a.dx, b.dx, c.dx, d.dx);
    in.values[g] = Float4(a.at, b.at, c.at, d.at) + dx * x + Float4(a.dy, b.dy, c.dy, d.dy) * yOffset;
    in.steps[g] = dx;
  }
  return in;
}

// The next four pixels' values: out[i] holds value i of the four pixels.
[[gnu::always_inline]] inline void Step(const StageLoop& loop, Interpolation& in, Float4 out[4 * kGroups]) {
  for (uint32_t g = 0; g < kGroups; ++g) {
    if (!loop.groupUsed[g]) continue;
    Float4* pixels = out + 4 * g;
    for (uint32_t k = 0; k < 4; ++k) {
      pixels[k] = in.values[g];
      in.values[g] = in.values[g] + in.steps[g];
    }
    Transpose(pixels);
  }
}

// ---- the loop ----

// where[kWhereClear], where[kWhereOpaque], where[kAnywhere]: the pixels (bit k for
// pixel k) of the four ARGB colours whose alpha is 0, is 255, or any.
[[gnu::always_inline]] inline void SortByAlpha(__m128i argb, uint32_t where[4]) {
  const __m128i alphaBits = _mm_set1_epi32(static_cast<int>(0xff000000u));
  __m128i alpha = _mm_and_si128(argb, alphaBits);
  auto lanes = [](__m128i mask) { return static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(mask))); };
  where[kWhereClear] = lanes(_mm_cmpeq_epi32(alpha, _mm_setzero_si128()));
  where[kWhereOpaque] = lanes(_mm_cmpeq_epi32(alpha, alphaBits));
  where[kAnywhere] = 15;
}

// Fewer than four pixels are read one by one into lanes (a copy read back whole would
// wait for its stores).
__m128i LoadPixels(const uint8_t* at, uint32_t n) {
  if (n == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  auto pixel = [&](uint32_t k) {
    uint32_t value = 0;
    if (k < n) memcpy(&value, at + 4 * k, 4);
    return static_cast<int>(value);
  };
  return _mm_setr_epi32(pixel(0), pixel(1), pixel(2), pixel(3));
}

void StorePixels(uint8_t* at, __m128i colors, uint32_t visible, uint32_t n) {
  if (visible == 15) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), colors);
    return;
  }
  uint32_t pixels[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), colors);
  for (uint32_t k = 0; k < n; ++k) {
    if (visible >> k & 1) memcpy(at + 4 * k, &pixels[k], 4);
  }
}

// What either blend of four colours whose alpha is 0 writes: the target exactly, with
// the fill bits where the format has them (most of a cloud cover is such pixels).
void KeepTarget(uint8_t* at, __m128i fill, bool fills, uint32_t visible, uint32_t n) {
  if (fills) StorePixels(at, _mm_or_si128(LoadPixels(at, n), fill), visible, n);
}

template <Blend kBlend>
VESK_BUILD_FOR_AVX2 void ShadeStages(const DrawPipeline& p, const Triangle& t, int32_t y, int32_t left, int32_t right,
                                     SpanScratch&) {
  uint32_t count = static_cast<uint32_t>(right - left + 1);
  const StageLoop& loop = p.stageLoop;
  const StageProgram& program = p.stages;
  const DepthTest& depthTest = p.depth;
  const __m128i fill = _mm_set1_epi32(static_cast<int>(p.directFill));
  const Quad factor = Widen(_mm_set1_epi32(static_cast<int>(program.textureFactor)));
  Interpolation in = StartSpan(loop, t, y, left);
  uint8_t* depthRow = depthTest.test ? DepthAt(depthTest.buffer, left, y) : nullptr;
  uint8_t* colorRow = p.color.bits + static_cast<size_t>(y) * p.color.pitch + static_cast<size_t>(left) * 4;
  for (uint32_t first = 0; first < count; first += 4) {
    uint32_t n = count - first < 4 ? count - first : 4;
    Float4 values[4 * kGroups];
    Step(loop, in, values);
    uint8_t* depthAt = depthRow ? depthRow + first * depthTest.buffer.bytes : nullptr;
    uint32_t visible = TestAndStoreDepthsOf(depthTest, depthAt, values[0], n);
    if (!visible) continue;
    Float4 w = Float4(1.0f) / values[1];
    uint8_t* colorAt = colorRow + 4 * first;
    __m128i firstTexels = _mm_set1_epi32(-1);
    if (loop.texelAlphaOnly) {
      const StageLoop::Texture& texture = loop.textures[0];
      firstTexels = Sample(texture, program.stages[0].sampler, values[texture.coordinates] * w,
                           values[texture.coordinates + 1] * w, visible);
      if (AllClear(Widen(firstTexels))) {
        KeepTarget(colorAt, fill, p.directFill != 0, visible, n);
        continue;
      }
    }
    Registers r;
    __m128i diffuse = loop.diffuse ? PackDiffuse(values + kDiffuse, w) : _mm_setzero_si128();
    r.diffuse = Widen(diffuse);
    r.current = r.diffuse;
    r.factor = factor;
    uint32_t where[4] = {0, 0, 0, 0};
    if (loop.skipsTexels) SortByAlpha(diffuse, where);
    r.where = where;
    for (uint32_t i = 0; i < program.count; ++i) {
      const StageLoop::Texture& texture = loop.textures[i];
      const StageSetup& stage = program.stages[i];
      __m128i texels = _mm_set1_epi32(-1);
      uint32_t needed = visible & ~where[texture.unread];
      if (texture.sample && needed) {
        texels = i == 0 && loop.texelAlphaOnly ? firstTexels
                                               : Sample(texture, stage.sampler, values[texture.coordinates] * w,
                                                        values[texture.coordinates + 1] * w, needed);
      }
      r.texture = Widen(texels);
      RunStage(stage, &r);
    }
    if constexpr (kBlend != Blend::kNone) {
      if (AllClear(r.current)) {
        KeepTarget(colorAt, fill, p.directFill != 0, visible, n);
        continue;
      }
      Quad target = Widen(_mm_or_si128(LoadPixels(colorAt, n), fill)), alpha = AlphaOf(r.current);
      Quad out = kBlend == Blend::kOver ? Mix(r.current, target, alpha)
                                        : AddClamped(target, Multiply(r.current, alpha));
      StorePixels(colorAt, _mm_or_si128(Narrow(out), fill), visible, n);
    } else {
      StorePixels(colorAt, _mm_or_si128(Narrow(r.current), fill), visible, n);
    }
  }
}

#endif

}  // namespace

bool ChooseStageLoop(DrawPipeline* p, D3DFORMAT target) {
#ifdef __SSE2__
  // Stored bytes are the value's little-endian bytes; X8R8G8B8 reads and writes its
  // unused byte as 0xff.
  bool direct = std::endian::native == std::endian::little &&
                (target == D3DFMT_A8R8G8B8 || target == D3DFMT_X8R8G8B8);
  const StageProgram& program = p->stages;
  Blend blend;
  if (!direct || p->pattern.count != 1 || p->alpha.enabled || p->addSpecular || program.count > 2 ||
      program.needsLod || !ChooseBlend(p->blend, &blend))
    return false;
  for (uint32_t i = 0; i < program.count; ++i) {
    if (!ServedStage(program.stages[i])) return false;
  }
  PlanStageLoop(program, &p->stageLoop);
  const StageSetup& first = program.stages[0];
  p->stageLoop.texelAlphaOnly =
      blend != Blend::kNone && program.count == 1 && first.sample &&
      ((first.alphaOp == D3DTOP_SELECTARG1 && first.alphaArg[0] == D3DTA_TEXTURE) ||
       (first.alphaOp == D3DTOP_SELECTARG2 && first.alphaArg[1] == D3DTA_TEXTURE));
  p->directFill = target == D3DFMT_X8R8G8B8 ? 0xff000000u : 0;
  p->shade = blend == Blend::kNone  ? &ShadeStages<Blend::kNone>
             : blend == Blend::kOver ? &ShadeStages<Blend::kOver>
                                     : &ShadeStages<Blend::kAdd>;
  return true;
#else
  (void)p;
  (void)target;
  return false;
#endif
}

}  // namespace raster
