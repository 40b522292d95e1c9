// make_media OUTPUT_FOLDER: writes the program's media into the folder (which must
// exist): the backdrop mesh vesk.x, its star texture vesk_stars.jpg and the default
// globe picture globe.png, and the default cloud picture clouds.png. The output depends
// on nothing but this program.
#include <cstdio>
#include <fstream>
#include <string>

#include "backdrop_mesh.h"
#include "planet.h"
#include "star_sky.h"

namespace {

constexpr char kStarTexture[] = "vesk_stars.jpg";
constexpr float kBackdropRadius = 10.0f;
constexpr int kBackdropRings = 32, kBackdropSegments = 64;
constexpr int kSkyWidth = 4096, kSkyHeight = 2048;
constexpr int kPlanetWidth = 2048, kPlanetHeight = 1024;
constexpr int kCloudWidth = 1024, kCloudHeight = 512;
constexpr int kJpegQuality = 90;

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return bool(file.flush());
}

bool Report(bool ok, const std::string& path) {
  if (!ok) std::fprintf(stderr, "make_media: could not write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_media OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = std::string(argv[1]) + "/";
  media::SphereMesh sphere = media::BuildInsideSphere(kBackdropRadius, kBackdropRings, kBackdropSegments);
  // In order, stopping at the first file that cannot be written.
  bool ok = Report(WriteText(folder + "vesk.x", media::BackdropXFile(sphere, kStarTexture)), folder + "vesk.x") &&
            Report(media::WriteJpeg(folder + kStarTexture, media::MakeStarSky(kSkyWidth, kSkyHeight), kJpegQuality),
                   folder + kStarTexture) &&
            Report(media::WritePng(folder + "globe.png", media::MakePlanet(kPlanetWidth, kPlanetHeight)),
                   folder + "globe.png") &&
            Report(media::WritePng(folder + "clouds.png", media::MakeClouds(kCloudWidth, kCloudHeight)),
                   folder + "clouds.png");
  return ok ? 0 : 1;
}
