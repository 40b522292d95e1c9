// The stage loop: a span loop for up to two texture stages whose operations and
// arguments come from a small set (SELECTARG1/2, MODULATE, ADD and the BLEND*ALPHA
// operations of DIFFUSE, CURRENT, TEXTURE and TFACTOR), drawn opaque or blended by the
// source alpha (SRCALPHA with INVSRCALPHA or ONE) into a 32-bit target, four pixels at
// a time. Lane by lane it runs the general loop's arithmetic: the same float steps for
// depth, 1/w, coordinates and colours, the same integer rounding for the stage
// operations and the blend, so its pixels are the general loop's.
#pragma once

#include <stdint.h>

#include "d3d9types.h"
#include "simd4.h"
#include "texture_sampling.h"

namespace raster {

struct DrawPipeline;

// What the stage loop needs of a draw, worked out once when the loop is chosen: the
// triangle planes it interpolates and each stage's texture.
struct StageLoop {
  // Twelve interpolated values, four to a register: z, q, the first texture coordinate
  // pair; a second pair; the diffuse r, g, b, a. Each names its plane (kZPlane,
  // kQPlane, or a varying slot) or none.
  static constexpr uint32_t kGroups = 3;
  static constexpr uint32_t kNoPlane = UINT32_MAX, kZPlane = UINT32_MAX - 1, kQPlane = UINT32_MAX - 2;
  uint32_t planes[4 * kGroups];
  uint32_t offsets[4 * kGroups];  // where each value's plane lies in a Triangle, in bytes
  bool groupUsed[kGroups];
  bool diffuse;  // the stages read the interpolated diffuse colour; otherwise it is zero

  struct Texture {
    bool sample;      // false: the stage's TEXTURE reads opaque white
    bool linear;
    bool powerOfTwo;  // linear filtering that FilterPowerOfTwo serves
    uint32_t coordinates;  // index of its u among the interpolated values; v follows
    uint32_t unread;       // bit 0, bit 1: its texels do not matter where the diffuse alpha is 0, 255
    Float4 width, height;
    PowerOfTwoAxis axisU{1, D3DTADDRESS_WRAP}, axisV{1, D3DTADDRESS_WRAP};
  };
  Texture textures[2];
  bool skipsTexels;  // some texture's `unread` is set
  // A blended draw whose alpha is its one stage's texel alpha as it is: four texels of
  // alpha 0 leave the target as it is, so they are sampled first, before the rest.
  bool texelAlphaOnly;
};

// Points p->shade at the stage loop and returns true when that loop serves the draw
// p describes into a single-sampled `target` surface; false leaves p's loops as they were.
bool ChooseStageLoop(DrawPipeline* p, D3DFORMAT target);

}  // namespace raster
