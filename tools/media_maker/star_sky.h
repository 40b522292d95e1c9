// The backdrop's texture: a night sky in the equirectangular mapping of sphere.h, made
// from directions on the sphere (a faint galactic band with nebulae and dust lanes, and
// stars of varied brightness, size and colour), so that neither the u seam nor the
// poles show once the map is wrapped around the backdrop.
#pragma once

#include "image.h"

namespace media {

// width must be twice height so that a pixel spans the same angle in both directions.
RgbImage MakeStarSky(int width, int height);

}  // namespace media
