// An 8-bit RGB picture, the colour helpers the generators share, and the two file
// writers (JPEG through libjpeg, PNG through libpng).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace media {

struct Color {
  float r, g, b;  // 0..1, may exceed 1 before it is stored
};

inline Color operator+(Color a, Color b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Color operator*(Color a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Color Mix(Color a, Color b, float t) { return a * (1.0f - t) + b * t; }
float SmoothStep(float edge0, float edge1, float x);

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, three bytes a pixel

  RgbImage(int w, int h) : width(w), height(h), rgb(size_t(w) * size_t(h) * 3) {}
  void Set(int x, int y, Color c);
};

// Runs rowWork(y) for every row, the rows spread over the machine's cores. Each row
// must depend on nothing but its own index, which keeps the output deterministic.
void ForEachRow(int height, const std::function<void(int)>& rowWork);

bool WriteJpeg(const std::string& path, const RgbImage& image, int quality);
bool WritePng(const std::string& path, const RgbImage& image);

}  // namespace media
