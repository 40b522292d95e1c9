// Planet generation in two passes over the map: the elevation field first (domain-warped
// fractal continents with ridged mountains), then the colours, which need the
// neighbouring elevations for the relief shading.
#include "planet.h"

#include <algorithm>
#include <cmath>

#include "noise.h"
#include "sphere.h"

namespace media {
namespace {

constexpr float kSeaLevel = 0.06f;

struct Field {
  int width, height;
  std::vector<float> values;
  float At(int x, int y) const {
    x = (x % width + width) % width;
    y = std::clamp(y, 0, height - 1);
    return values[size_t(y) * size_t(width) + size_t(x)];
  }
};

// A bell curve: 1 at `centre`, about 0.37 at `width` from it.
float Bell(float x, float centre, float width) {
  float t = (x - centre) / width;
  return std::exp(-t * t);
}

}  // namespace

float LatitudeDegrees(int y, int height) { return 90.0f - 180.0f * (float(y) + 0.5f) / float(height); }

namespace {

// Height above sea level (negative under water), roughly -1 .. 1.
float Elevation(Vec3 p, const GradientNoise& noise) {
  // A gentle warp bends the coastlines; a strong one would comb the relief into streaks.
  Vec3 warp{noise.At(p * 1.6f + Vec3{3.1f, 0, 0}), noise.At(p * 1.6f + Vec3{0, 7.9f, 0}),
            noise.At(p * 1.6f + Vec3{0, 0, 5.3f})};
  Vec3 q = p + warp * 0.2f;
  float height = noise.Fractal(q * 1.7f, 6, 0.52f) - kSeaLevel;
  if (height < -0.15f) return height;  // deep water: no mountains to add
  float ranges = SmoothStep(-0.1f, 0.35f, noise.Fractal(q * 1.1f + Vec3{0, 0, 11.0f}, 2));
  float ridges = noise.Ridged(q * 3.4f + Vec3{13.0f, 0, 0}, 4);
  return height + SmoothStep(-0.05f, 0.2f, height) * ranges * ridges * ridges * 0.55f;
}

Color OceanColor(float elevation) {
  Color deep{0.010f, 0.040f, 0.150f}, open{0.030f, 0.140f, 0.330f}, shallow{0.090f, 0.380f, 0.480f};
  Color water = Mix(deep, open, SmoothStep(-0.55f, -0.05f, elevation));
  float coast = SmoothStep(-0.07f, 0.0f, elevation);
  return Mix(water, shallow, coast * coast);
}

// Vegetation by moisture and latitude: wet tropics, dry subtropical belts, temperate
// green, then boreal forest and tundra towards the poles; rock and snow by height.
Color LandColor(Vec3 p, float elevation, float latitude, const GradientNoise& noise) {
  float absLat = std::fabs(latitude) + 6.0f * noise.At(p * 6.0f);
  float arid = Bell(absLat, 24.0f, 10.0f);
  float tropic = Bell(absLat, 0.0f, 13.0f);
  float wetness = noise.Fractal(p * 2.4f + Vec3{0, 21.0f, 0}, 3);
  float moisture = std::clamp(0.5f + 0.6f * wetness + 0.35f * tropic - 0.45f * arid, 0.0f, 1.0f);
  Color desert{0.76f, 0.65f, 0.46f}, steppe{0.58f, 0.54f, 0.32f}, grass{0.30f, 0.47f, 0.18f},
      forest{0.11f, 0.31f, 0.11f}, jungle{0.05f, 0.27f, 0.07f}, boreal{0.11f, 0.23f, 0.14f},
      tundra{0.47f, 0.45f, 0.38f}, rock{0.42f, 0.37f, 0.32f}, snow{0.95f, 0.96f, 0.98f};
  Color green = Mix(forest, jungle, tropic);
  Color color = moisture < 0.3f    ? Mix(desert, steppe, SmoothStep(0.12f, 0.3f, moisture))
                : moisture < 0.55f ? Mix(steppe, grass, SmoothStep(0.3f, 0.55f, moisture))
                                   : Mix(grass, green, SmoothStep(0.55f, 0.85f, moisture));
  float cold = SmoothStep(44.0f, 60.0f, absLat);
  color = Mix(color, boreal, cold * SmoothStep(0.2f, 0.5f, moisture + 0.3f));
  color = Mix(color, tundra, SmoothStep(58.0f, 70.0f, absLat));
  color = Mix(color, desert, SmoothStep(0.02f, 0.0f, elevation) * (1.0f - cold));  // beaches
  color = Mix(color, rock, SmoothStep(0.22f, 0.5f, elevation));
  float snowLine = 0.62f - 0.35f * cold;
  return Mix(color, snow, SmoothStep(snowLine, snowLine + 0.1f, elevation));
}

// Light from the north-west on the slope, so that mountains stand out.
float ReliefShade(const Field& field, int x, int y) {
  float ring = std::max(0.05f, std::sin(kPi * (float(y) + 0.5f) / float(field.height)));
  float east = (field.At(x + 1, y) - field.At(x - 1, y)) / ring;
  float south = field.At(x, y + 1) - field.At(x, y - 1);
  float scale = float(field.width) / 2048.0f * 6.0f;
  return std::clamp(1.0f + scale * (east + south) * 0.5f, 0.55f, 1.35f);  // slopes facing the light brighten
}

constexpr float kIceLine = 71.0f, kIceLineSwing = 8.0f;  // degrees of latitude

// Sea ice and land ice beyond a ragged line near 71 degrees.
float IceCover(Vec3 p, float latitude, const GradientNoise& noise) {
  if (std::fabs(latitude) < kIceLine - kIceLineSwing - 2.0f) return 0.0f;
  float line = kIceLine + kIceLineSwing / 1.4f * noise.Fractal(p * 4.0f + Vec3{0, 0, 17.0f}, 4);
  return SmoothStep(line - 1.0f, line + 1.0f, std::fabs(latitude));
}

// Ice from bluish to bright white, in drifts.
Color IceColor(Vec3 p, const GradientNoise& noise) {
  return Mix(Color{0.80f, 0.87f, 0.95f}, Color{0.97f, 0.98f, 1.0f},
             0.5f + 0.5f * noise.Fractal(p * 9.0f + Vec3{41.0f, 0, 0}, 3));
}

}  // namespace

float CloudCover(Vec3 p, float latitude, const GradientNoise& noise) {
  Vec3 swirl = Vec3{0.7f, -0.4f, 0.5f} * noise.At(p * 1.4f + Vec3{0, 31.0f, 0});
  float cloud = noise.Fractal(p * 3.2f + swirl, 5, 0.55f);
  float absLat = std::fabs(latitude);
  float belts = 0.35f * Bell(absLat, 0.0f, 9.0f) + 0.4f * Bell(absLat, 55.0f, 12.0f) - 0.2f * Bell(absLat, 25.0f, 8.0f);
  return 0.82f * SmoothStep(0.18f - belts, 0.65f - belts, cloud);
}

namespace {

Color SurfaceColor(const Field& field, int x, int y, const GradientNoise& noise) {
  Vec3 p = PixelDirection(x, y, field.width, field.height);
  float latitude = LatitudeDegrees(y, field.height);
  float elevation = field.At(x, y);
  float shade = ReliefShade(field, x, y);
  Color ground = elevation < 0.0f ? OceanColor(elevation) : LandColor(p, elevation, latitude, noise) * shade;
  float ice = IceCover(p, latitude, noise);
  if (ice > 0.0f)
    ground = Mix(ground, IceColor(p, noise) * (elevation < 0.0f ? 1.0f : std::min(shade, 1.1f)), ice);
  return Mix(ground, Color{0.97f, 0.97f, 1.0f}, CloudCover(p, latitude, noise));
}

}  // namespace

RgbImage MakePlanet(int width, int height) {
  GradientNoise noise(0x6A0BEu);
  Field field{width, height, std::vector<float>(size_t(width) * size_t(height))};
  ForEachRow(height, [&](int y) {
    for (int x = 0; x < width; ++x)
      field.values[size_t(y) * size_t(width) + size_t(x)] = Elevation(PixelDirection(x, y, width, height), noise);
  });
  RgbImage image(width, height);
  ForEachRow(height, [&](int y) {
    for (int x = 0; x < width; ++x) image.Set(x, y, SurfaceColor(field, x, y, noise));
  });
  return image;
}

}  // namespace media
