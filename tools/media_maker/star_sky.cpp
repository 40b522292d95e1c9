// Star sky generation. The glow is computed on a coarse grid (it is smooth) and then
// interpolated; the stars are splatted one by one as round spots measured in angle on
// the sphere, which makes them wider in the map near the poles, exactly undoing the
// stretch of the mapping there.
#include "star_sky.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "noise.h"
#include "random.h"
#include "sphere.h"

namespace media {
namespace {

constexpr int kGlowDivisor = 4;  // the glow grid is this much coarser than the map
constexpr int kStarCandidates = 42000;
const Vec3 kGalacticPole = Normalized({0.38f, 0.81f, -0.45f});
constexpr Color kNightBase = {0.007f, 0.011f, 0.030f};

// 1 on the galactic plane, fading to 0 about 25 degrees away.
float BandWeight(Vec3 p) {
  float height = Dot(p, kGalacticPole) / 0.3f;
  return std::exp(-height * height);
}

// The diffuse light of the sky in one direction: the band with dust lanes, and faint
// coloured nebulae anywhere.
Color GlowAt(Vec3 p, const GradientNoise& noise) {
  float band = BandWeight(p + Vec3{0.0f, 0.12f, 0.0f} * noise.Fractal(p * 1.5f, 2));
  float clumps = 0.55f + 0.45f * noise.Fractal(p * 3.0f + Vec3{5.1f, 0.0f, 0.0f}, 3);
  float dust = SmoothStep(0.05f, 0.45f, noise.Fractal(p * 4.0f + Vec3{0.0f, 9.3f, 0.0f}, 4));
  Color milky = Color{0.120f, 0.110f, 0.135f} * (band * band * clumps * (1.0f - 0.85f * dust * band));
  float cloud = SmoothStep(0.15f, 0.85f, noise.Fractal(p * 1.8f + Vec3{0.0f, 0.0f, 3.7f}, 3));
  float hue = SmoothStep(-0.4f, 0.4f, noise.At(p * 1.2f + Vec3{2.2f, 4.4f, 0.0f}));
  Color nebula = Mix(Color{0.060f, 0.020f, 0.075f}, Color{0.015f, 0.050f, 0.070f}, hue) * cloud;
  return kNightBase + milky + nebula;
}

struct Grid {
  int width, height;
  std::vector<Color> cells;
  // Bilinear, wrapping around in u and clamped at the poles; u, v in cells.
  Color Sample(float u, float v) const {
    v = std::clamp(v, 0.0f, float(height - 1));
    int x0 = int(std::floor(u)), y0 = std::min(int(v), height - 2);
    float fu = u - float(x0), fv = v - float(y0);
    auto at = [&](int x, int y) { return cells[size_t(y) * size_t(width) + size_t((x % width + width) % width)]; };
    return Mix(Mix(at(x0, y0), at(x0 + 1, y0), fu), Mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fu), fv);
  }
};

RgbImage PaintGlow(int width, int height) {
  GradientNoise noise(0x5EEDu);
  Grid grid{width / kGlowDivisor, height / kGlowDivisor, {}};
  grid.cells.resize(size_t(grid.width) * size_t(grid.height));
  ForEachRow(grid.height, [&](int y) {
    Color* row = &grid.cells[size_t(y) * size_t(grid.width)];
    for (int x = 0; x < grid.width; ++x) row[x] = GlowAt(PixelDirection(x, y, grid.width, grid.height), noise);
  });
  RgbImage image(width, height);
  ForEachRow(height, [&](int y) {
    float v = (float(y) + 0.5f) / kGlowDivisor - 0.5f;
    for (int x = 0; x < width; ++x) image.Set(x, y, grid.Sample((float(x) + 0.5f) / kGlowDivisor - 0.5f, v));
  });
  return image;
}

struct Star {
  Vec3 direction;
  Color color;
  float brightness;  // light at the centre; above about 2 the core saturates and the halo shows
  float sigma;       // core radius in pixels
};

Color StarColor(Random& random) {
  float pick = random.Next();
  Color tint = pick < 0.12f   ? Color{0.62f, 0.76f, 1.0f}   // hot, bluish
               : pick < 0.20f ? Color{1.0f, 0.88f, 0.58f}  // yellowish
               : pick < 0.25f ? Color{1.0f, 0.58f, 0.42f}  // cool, reddish
                              : Color{1.0f, 0.97f, 0.94f};
  return Mix(Color{1.0f, 1.0f, 1.0f}, tint, 0.55f + 0.45f * random.Next());
}

// Directions uniform on the sphere, kept more often near the galactic band; brightness
// follows a steep power law, so that faint stars are many and bright ones few.
std::vector<Star> PlaceStars() {
  Random random(0x57A125ull);
  std::vector<Star> stars;
  for (int i = 0; i < kStarCandidates; ++i) {
    float y = 2.0f * random.Next() - 1.0f, angle = 2.0f * kPi * random.Next();
    float ring = std::sqrt(std::max(0.0f, 1.0f - y * y));
    Vec3 direction{ring * std::cos(angle), y, ring * std::sin(angle)};
    float keep = random.Next(), luck = random.Next();
    Color color = StarColor(random);
    if (keep > 0.22f + 0.78f * BandWeight(direction)) continue;
    float brightness = 0.07f * std::pow(std::max(luck, 1e-4f), -0.8f);
    float sigma = 0.42f + 0.22f * std::min(brightness, 3.0f);
    stars.push_back({direction, color, std::min(brightness, 5.0f), sigma});
  }
  return stars;
}

// Light of a star at an angle of `distance` pixels from its centre: a gaussian core and,
// for bright stars, a wide faint halo.
float StarProfile(const Star& star, float distance) {
  float core = star.brightness * std::exp(-distance * distance / (2.0f * star.sigma * star.sigma));
  float halo = 0.025f * star.brightness * std::exp(-distance / 2.2f);
  return core + halo;
}

// Adds a star's light; 1 - exp(-amount) saturates softly towards the star's own colour
// rather than clipping every core to white.
void AddLight(RgbImage& image, int x, int y, Color color, float amount) {
  uint8_t* pixel = &image.rgb[(size_t(y) * size_t(image.width) + size_t(x)) * 3];
  image.Set(x, y, Color{pixel[0] / 255.0f, pixel[1] / 255.0f, pixel[2] / 255.0f} + color * (1.0f - std::exp(-amount)));
}

void SplatStar(RgbImage& image, const Star& star) {
  float pixelAngle = 2.0f * kPi / float(image.width);
  Vec3 d = star.direction;
  float u = std::atan2(-d.x, d.z) / (2.0f * kPi), v = std::acos(std::clamp(d.y, -1.0f, 1.0f)) / kPi;
  float cx = (u - std::floor(u)) * float(image.width) - 0.5f, cy = v * float(image.height) - 0.5f;
  float reach = star.brightness > 0.5f ? 4.0f * star.sigma + 2.2f * std::log(40.0f * star.brightness)
                                       : 3.2f * star.sigma;
  // Columns to visit: enough for the row nearest a pole; all of them over a pole.
  float span = reach * pixelAngle;
  float ring = std::min(std::sin(kPi * v - span), std::sin(kPi * v + span));
  int columns = ring * float(image.width) <= 2.0f * reach ? image.width : 2 * int(std::ceil(reach / ring)) + 3;
  int firstColumn = int(std::lround(cx)) - columns / 2 + image.width;
  for (int y = std::max(0, int(cy - reach) - 1); y <= std::min(image.height - 1, int(cy + reach) + 1); ++y) {
    for (int column = firstColumn; column < firstColumn + columns; ++column) {
      int x = column % image.width;
      Vec3 p = PixelDirection(x, y, image.width, image.height);
      float distance = std::sqrt(Dot(p - d, p - d)) / pixelAngle;  // chord ~ angle here
      if (distance > reach) continue;
      AddLight(image, x, y, star.color, StarProfile(star, distance));
    }
  }
}

}  // namespace

RgbImage MakeStarSky(int width, int height) {
  RgbImage image = PaintGlow(width, height);
  for (const Star& star : PlaceStars()) SplatStar(image, star);
  return image;
}

}  // namespace media
