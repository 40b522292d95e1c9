// The default cloud picture for the program's --clouds: the planet's cloud cover from
// noise of another seed, as grey (the program reads brightness as cover).
#include "planet.h"

#include "sphere.h"

namespace media {

RgbImage MakeClouds(int width, int height) {
  GradientNoise noise(0xC10D5u);
  RgbImage image(width, height);
  ForEachRow(height, [&](int y) {
    float latitude = LatitudeDegrees(y, height);
    for (int x = 0; x < width; ++x) {
      float cover = CloudCover(PixelDirection(x, y, width, height), latitude, noise);
      image.Set(x, y, Color{cover, cover, cover});
    }
  });
  return image;
}

}  // namespace media
