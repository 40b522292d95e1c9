// The stage loop: a span loop for up to two texture stages whose operations and
// arguments come from a small set (SELECTARG1/2, MODULATE, ADD and the BLEND*ALPHA
// operations of DIFFUSE, CURRENT, TEXTURE and TFACTOR), drawn opaque or blended by the
// source alpha (SRCALPHA with INVSRCALPHA or ONE) into a 32-bit target, four pixels at
// a time. Lane by lane it runs the general loop's arithmetic: the same float steps for
// depth, 1/w, coordinates and colours, the same integer rounding for the stage
// operations and the blend, so its pixels are the general loop's.
#pragma once

#include "d3d9types.h"
#include "pixel_pipeline.h"

namespace raster {

// Points p->shade at the stage loop and returns true when that loop serves the draw
// p describes into a single-sampled `target` surface; false leaves p as it was.
bool ChooseStageLoop(DrawPipeline* p, D3DFORMAT target);

}  // namespace raster
