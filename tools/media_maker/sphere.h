// A small 3D vector and the one mapping between texture coordinates and directions
// that the backdrop mesh, the star map and the planet map share.
#pragma once

#include <cmath>

namespace media {

struct Vec3 {
  float x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 Normalized(Vec3 a) { return a * (1.0f / std::sqrt(Dot(a, a))); }

constexpr float kPi = 3.14159265358979f;

// Equirectangular mapping, the one the program's globe uses: u runs once around the y
// axis (u = 0.5 faces -z), v from the north pole (0) to the south pole (1). Seen from
// outside, u grows eastwards, to the right on screen.
inline Vec3 DirectionAt(float u, float v) {
  float longitude = 2.0f * kPi * u;
  float colatitude = kPi * v;
  float ring = std::sin(colatitude);
  return {-ring * std::sin(longitude), std::cos(colatitude), ring * std::cos(longitude)};
}

// The direction through the centre of pixel (x, y) of a width x height map.
inline Vec3 PixelDirection(int x, int y, int width, int height) {
  return DirectionAt((float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height));
}

}  // namespace media
