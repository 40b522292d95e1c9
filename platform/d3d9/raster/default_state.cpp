// The state a fresh Direct3D 9 device starts with, as a PipelineState: identity
// transforms, the documented render, stage and sampler defaults, no textures or lights.
#include <cstring>

#include "pipeline.h"

namespace raster {
namespace {

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

void SetRenderDefaults(DWORD* rs) {
  rs[D3DRS_ZENABLE] = D3DZB_TRUE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = FloatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_POINTSIZE] = rs[D3DRS_POINTSIZE_MIN] = rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
  rs[D3DRS_COLORWRITEENABLE] = rs[D3DRS_COLORWRITEENABLE1] = rs[D3DRS_COLORWRITEENABLE2] =
      rs[D3DRS_COLORWRITEENABLE3] = 0xF;
  rs[D3DRS_BLENDOP] = rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  rs[D3DRS_POSITIONDEGREE] = 3;
  rs[D3DRS_NORMALDEGREE] = 1;
  rs[D3DRS_MINTESSELLATIONLEVEL] = rs[D3DRS_MAXTESSELLATIONLEVEL] = FloatBits(1.0f);
  rs[D3DRS_ADAPTIVETESS_Z] = FloatBits(1.0f);
  rs[D3DRS_CCW_STENCILFAIL] = rs[D3DRS_CCW_STENCILZFAIL] = rs[D3DRS_CCW_STENCILPASS] =
      D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
}

}  // namespace

PipelineState DefaultPipelineState(const D3DVIEWPORT9& viewport) {
  PipelineState s{};
  s.world = s.view = s.projection = Identity();
  for (D3DMATRIX& m : s.textureTransform) m = Identity();
  SetRenderDefaults(s.renderStates);
  for (uint32_t i = 0; i < kMaxStages; ++i) {
    DWORD* ts = s.stageStates[i];
    ts[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = i;
    DWORD* ss = s.samplerStates[i];
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }
  s.viewport = viewport;
  return s;
}

}  // namespace raster
