// The default globe picture: an invented planet in the equirectangular mapping of
// sphere.h (oceans shaded by depth, continents coloured by climate, relief, ice caps and
// cloud), every pixel computed from its direction on the sphere, so that the left and
// right edges continue each other and nothing pinches at the poles.
#pragma once

#include "image.h"

namespace media {

RgbImage MakePlanet(int width, int height);

}  // namespace media
