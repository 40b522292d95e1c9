// The default globe picture: an invented planet in the equirectangular mapping of
// sphere.h (oceans shaded by depth, continents coloured by climate, relief, ice caps and
// cloud), every pixel computed from its direction on the sphere, so that the left and
// right edges continue each other and nothing pinches at the poles.
#pragma once

#include "image.h"
#include "noise.h"

namespace media {

RgbImage MakePlanet(int width, int height);

// Cloud opacity, 0 to 0.82: swirled fractal cloud, most common at the equator and in
// the stormy mid-latitudes, rarest over the subtropical deserts.
float CloudCover(Vec3 p, float latitude, const GradientNoise& noise);

// The latitude in degrees of the centre of row y of a map `height` rows high.
float LatitudeDegrees(int y, int height);

// The default cloud picture: grey, its brightness the cover, from noise seeded apart
// from the planet's, so its clouds do not repeat those painted on the planet.
RgbImage MakeClouds(int width, int height);

}  // namespace media
