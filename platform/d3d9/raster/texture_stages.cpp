// Texture stage operations. Products round to nearest (x * y + 127) / 255; every stage
// result is clamped to 0..255 before the next stage sees it.
#include "texture_stages.h"

#include <string.h>

#include <algorithm>

namespace raster {
namespace {

int32_t Clamp(int32_t v) { return std::clamp(v, 0, 255); }
int32_t Mul(int32_t x, int32_t y) { return (x * y + 127) / 255; }
int32_t Mix(int32_t x, int32_t y, int32_t weight) { return (x * weight + y * (255 - weight) + 127) / 255; }

float DwordFloat(DWORD bits) {
  float v;
  memcpy(&v, &bits, sizeof v);
  return v == v ? v : 0.0f;
}

bool IsBump(uint32_t op) { return op == D3DTOP_BUMPENVMAP || op == D3DTOP_BUMPENVMAPLUMINANCE; }

bool ReadsTexture(uint32_t op, const uint32_t args[3]) {
  if (IsBump(op)) return true;
  for (int i = 0; i < 3; ++i) {
    if ((args[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
  }
  return false;
}

bool ReadsArg(const StageSetup& s, uint32_t which) {
  for (int i = 0; i < 3; ++i) {
    if ((s.colorArg[i] & D3DTA_SELECTMASK) == which) return true;
    if ((s.alphaArg[i] & D3DTA_SELECTMASK) == which) return true;
  }
  return false;
}

// Everything a stage's operation may read, for one pixel.
struct Registers {
  Color4 diffuse, specular, current, texture, factor, constant;
};

Color4 Argument(const Registers& r, uint32_t arg) {
  Color4 c;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: c = r.diffuse; break;
    case D3DTA_CURRENT: c = r.current; break;
    case D3DTA_TEXTURE: c = r.texture; break;
    case D3DTA_TFACTOR: c = r.factor; break;
    case D3DTA_SPECULAR: c = r.specular; break;
    case D3DTA_CONSTANT: c = r.constant; break;
    default: c = {0, 0, 0, 0}; break;  // TEMP is never written here
  }
  if (arg & D3DTA_COMPLEMENT) c = {255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a};
  if (arg & D3DTA_ALPHAREPLICATE) c.r = c.g = c.b = c.a;
  return c;
}

// One channel of an operation; `current` is that channel of CURRENT (the result of a
// pass-through) and the alphas are those that the blend operations weight by.
int32_t Operate(uint32_t op, int32_t x1, int32_t x2, int32_t x0, int32_t current,
                const Registers& r) {
  switch (op) {
    case D3DTOP_SELECTARG1: return x1;
    case D3DTOP_SELECTARG2: return x2;
    case D3DTOP_MODULATE: return Mul(x1, x2);
    case D3DTOP_MODULATE2X: return Clamp(2 * Mul(x1, x2));
    case D3DTOP_MODULATE4X: return Clamp(4 * Mul(x1, x2));
    case D3DTOP_ADD: return Clamp(x1 + x2);
    case D3DTOP_ADDSIGNED: return Clamp(x1 + x2 - 128);
    case D3DTOP_ADDSIGNED2X: return Clamp(2 * (x1 + x2 - 128));
    case D3DTOP_SUBTRACT: return Clamp(x1 - x2);
    case D3DTOP_ADDSMOOTH: return Clamp(x1 + x2 - Mul(x1, x2));
    case D3DTOP_BLENDDIFFUSEALPHA: return Mix(x1, x2, r.diffuse.a);
    case D3DTOP_BLENDTEXTUREALPHA: return Mix(x1, x2, r.texture.a);
    case D3DTOP_BLENDFACTORALPHA: return Mix(x1, x2, r.factor.a);
    case D3DTOP_BLENDCURRENTALPHA: return Mix(x1, x2, r.current.a);
    case D3DTOP_BLENDTEXTUREALPHAPM: return Clamp(x1 + Mul(x2, 255 - r.texture.a));
    case D3DTOP_MULTIPLYADD: return Clamp(x0 + Mul(x1, x2));
    case D3DTOP_LERP: return Mix(x1, x2, x0);
    default: return current;  // operations not drawn leave CURRENT as it is
  }
}

Color4 CombineColor(const StageSetup& s, const Registers& r) {
  Color4 a1 = Argument(r, s.colorArg[0]), a2 = Argument(r, s.colorArg[1]),
         a0 = Argument(r, s.colorArg[2]);
  Color4 out = r.current;
  out.r = Operate(s.colorOp, a1.r, a2.r, a0.r, r.current.r, r);
  out.g = Operate(s.colorOp, a1.g, a2.g, a0.g, r.current.g, r);
  out.b = Operate(s.colorOp, a1.b, a2.b, a0.b, r.current.b, r);
  return out;
}

int32_t CombineAlpha(const StageSetup& s, const Registers& r) {
  if (s.alphaOp == D3DTOP_DISABLE) return r.current.a;
  int32_t a1 = Argument(r, s.alphaArg[0]).a, a2 = Argument(r, s.alphaArg[1]).a,
          a0 = Argument(r, s.alphaArg[2]).a;
  return Operate(s.alphaOp, a1, a2, a0, r.current.a, r);
}

// The signed du, dv of a bump texel (biased bytes) as -1..1.
float Signed(int32_t biased) { return std::max(-1.0f, static_cast<float>(biased - 128) / 127.0f); }

}  // namespace

StageProgram BuildStages(const PipelineState& state, const TexelImage* const images[kMaxStages]) {
  StageProgram program{};
  program.textureFactor = state.renderStates[D3DRS_TEXTUREFACTOR];
  program.needsSpecular = state.renderStates[D3DRS_SPECULARENABLE] != 0;
  for (uint32_t i = 0; i < kMaxStages; ++i) {
    const DWORD* ts = state.stageStates[i];
    if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    StageSetup& s = program.stages[i];
    s.colorOp = ts[D3DTSS_COLOROP];
    s.colorArg[0] = ts[D3DTSS_COLORARG1];
    s.colorArg[1] = ts[D3DTSS_COLORARG2];
    s.colorArg[2] = ts[D3DTSS_COLORARG0];
    s.alphaOp = ts[D3DTSS_ALPHAOP];
    s.alphaArg[0] = ts[D3DTSS_ALPHAARG1];
    s.alphaArg[1] = ts[D3DTSS_ALPHAARG2];
    s.alphaArg[2] = ts[D3DTSS_ALPHAARG0];
    // Generated coordinates (the TCI flags) are not produced; the set index is used.
    uint32_t set = ts[D3DTSS_TEXCOORDINDEX] & 0xffff;
    s.coordSlot = set < kMaxTexCoordSets ? TexSlot(set) : kNoCoordinates;
    s.bound = images[i] != nullptr;
    s.sample = s.bound && (ReadsTexture(s.colorOp, s.colorArg) || ReadsTexture(s.alphaOp, s.alphaArg));
    s.sampler = SetupSampler(state, i, images[i]);
    for (int m = 0; m < 4; ++m) s.bumpMatrix[m] = DwordFloat(ts[D3DTSS_BUMPENVMAT00 + m]);
    s.luminanceScale = DwordFloat(ts[D3DTSS_BUMPENVLSCALE]);
    s.luminanceOffset = DwordFloat(ts[D3DTSS_BUMPENVLOFFSET]);
    s.constant = ts[D3DTSS_CONSTANT];
    program.needsDiffuse |= ReadsArg(s, D3DTA_DIFFUSE) || (i == 0 && ReadsArg(s, D3DTA_CURRENT)) ||
                            s.alphaOp == D3DTOP_DISABLE || s.colorOp == D3DTOP_BLENDDIFFUSEALPHA ||
                            s.alphaOp == D3DTOP_BLENDDIFFUSEALPHA;
    program.needsSpecular |= ReadsArg(s, D3DTA_SPECULAR);
    program.needsLod |= s.sample && s.sampler.needsLod;
    program.count = i + 1;
  }
  // With no stage at all the diffuse colour is the result.
  if (program.count == 0) program.needsDiffuse = true;
  return program;
}

uint32_t RunStages(const StageProgram& program, const StageInputs& in) {
  Registers r;
  r.diffuse = in.diffuse;
  r.specular = in.specular;
  r.current = in.diffuse;
  r.factor = ToColor4(program.textureFactor);
  float du = 0, dv = 0;      // bump offsets for the next stage
  int32_t luminance = 255;   // bump luminance for the next stage
  for (uint32_t i = 0; i < program.count; ++i) {
    const StageSetup& s = program.stages[i];
    r.constant = ToColor4(s.constant);
    // An unbound texture reads as opaque white, so MODULATE keeps the diffuse colour.
    r.texture = {255, 255, 255, 255};
    if (s.sample) {
      float u = 0, v = 0;
      const float* gradients = nullptr;
      if (s.coordSlot != kNoCoordinates) {
        u = in.varying[s.coordSlot];
        v = in.varying[s.coordSlot + 1];
        if (in.gradients) gradients = in.gradients + 2 * (s.coordSlot - TexSlot(0));
      }
      r.texture = ToColor4(SampleTexture(s.sampler, u + du, v + dv, gradients));
      if (luminance != 255) {
        r.texture.r = Mul(r.texture.r, luminance);
        r.texture.g = Mul(r.texture.g, luminance);
        r.texture.b = Mul(r.texture.b, luminance);
      }
    }
    du = dv = 0;
    luminance = 255;
    int32_t alpha = CombineAlpha(s, r);
    if (IsBump(s.colorOp) && s.sample) {
      // CURRENT's colour passes through; the texel steers the next stage instead.
      float bu = Signed(r.texture.r), bv = Signed(r.texture.g);
      du = s.bumpMatrix[0] * bu + s.bumpMatrix[2] * bv;
      dv = s.bumpMatrix[1] * bu + s.bumpMatrix[3] * bv;
      if (s.colorOp == D3DTOP_BUMPENVMAPLUMINANCE) {
        float l = static_cast<float>(r.texture.b) / 255.0f * s.luminanceScale + s.luminanceOffset;
        l = l > 0 ? (l < 1 ? l : 1) : 0;  // NaN counts as 0
        luminance = static_cast<int32_t>(l * 255.0f + 0.5f);
      }
    } else if (!IsBump(s.colorOp)) {
      r.current = CombineColor(s, r);
    }
    r.current.a = alpha;
  }
  return ToArgb(r.current);
}

}  // namespace raster
