// Renderer benchmark: the globe scene as the program draws it, straight through the
// raster API. A textured backdrop sphere around the eye (z function ALWAYS) fills the
// view, then the 930-vertex globe strip (format 0x212, R5G6B5 texture, linear filter,
// WRAP0 = 3, texture coordinate set 1) is drawn with LESSEQUAL; no clear between frames.
// Prints frames per second, pixels per second and the process CPU time per frame
// (all threads; less sensitive to other load than wall time) at 640x480 and 1920x1080,
// and the machine load average at the start. The camera turns a little every frame, so
// that the backdrop is drawn anew each time; the real scene is also measured with a
// still camera, as a recording sees it, where the renderer copies the repeated backdrop. Then the same frame with the program's own
// media from the build's media folder: the backdrop mesh vesk.x with its 4096x2048
// star picture (X8R8G8B8, as the loader keeps a JPEG) under MIRROR addressing, and the
// globe strip with globe.png in R5G6B5, level 0 only, as the scene samples them.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "image_file.h"
#include "pipeline.h"
#include "texel_formats.h"
#include "xfile/x_file.h"

namespace {

struct GlobeVertex {
  float position[3], normal[3], tex0[2], tex1[2];
};
static_assert(sizeof(GlobeVertex) == 40, "the globe's vertex is 40 bytes");

constexpr DWORD kGlobeFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;

// The globe's strip: 15 bands of 31 columns, two vertices per column. `mirror` flips x
// so that the sphere is seen from inside with clockwise triangles (the backdrop).
std::vector<GlobeVertex> SphereStrip(float radius, bool mirror) {
  const int bands = 15, sectors = 30;
  std::vector<GlobeVertex> out;
  for (int i = 0; i < bands; ++i) {
    float t0 = i * 3.1415927f / bands, t1 = (i + 1) * 3.1415927f / bands;
    for (int j = 0; j <= sectors; ++j) {
      float phi = j * 6.2831855f / sectors, u = 1.0f - float(j) / sectors;
      for (int ring = 0; ring < 2; ++ring) {
        float theta = ring ? t1 : t0;
        float n[3] = {sinf(theta) * sinf(phi), cosf(theta), sinf(theta) * cosf(phi)};
        GlobeVertex v;
        for (int c = 0; c < 3; ++c) v.normal[c] = n[c], v.position[c] = n[c] * radius;
        if (mirror) v.position[0] = -v.position[0];
        v.tex1[0] = v.tex0[0] = u;
        v.tex1[1] = v.tex0[1] = float(i + ring) / bands;
        out.push_back(v);
      }
    }
  }
  return out;
}

// A 256x256 R5G6B5 picture with smooth gradients and a grid, so filtering has work.
std::vector<uint16_t> Picture(int seed) {
  std::vector<uint16_t> texels(256 * 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      int r = (x + seed * 40) & 31, g = (y / 4 + seed * 9) & 63, b = ((x ^ y) >> 3) & 31;
      if (x % 32 == 0 || y % 32 == 0) r = g = b = 0;
      texels[y * 256 + x] = uint16_t((r << 11) | (g << 5) | b);
    }
  }
  return texels;
}

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

D3DMATRIX LookAt(const float eye[3]) {
  float z[3] = {-eye[0], -eye[1], -eye[2]};
  float zl = sqrtf(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
  for (float& c : z) c /= zl;
  float x[3] = {z[2], 0, -z[0]};  // up (0, 1, 0) cross z
  float xl = sqrtf(x[0] * x[0] + x[2] * x[2]);
  for (float& c : x) c /= xl;
  float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
  D3DMATRIX m = Identity();
  for (int r = 0; r < 3; ++r) m.m[r][0] = x[r], m.m[r][1] = y[r], m.m[r][2] = z[r];
  auto dot = [&](const float* a) { return a[0] * eye[0] + a[1] * eye[1] + a[2] * eye[2]; };
  m._41 = -dot(x), m._42 = -dot(y), m._43 = -dot(z);
  return m;
}

D3DMATRIX Perspective(float aspect) {
  float ys = 1.0f / tanf(3.1415927f / 8), zn = 1.0f, zf = 100.0f;
  D3DMATRIX m{};
  m._11 = ys / aspect, m._22 = ys, m._33 = zf / (zf - zn), m._34 = 1, m._43 = -zn * zf / (zf - zn);
  return m;
}

D3DMATRIX RotationY(float a) {
  D3DMATRIX m = Identity();
  m._11 = cosf(a), m._13 = -sinf(a), m._31 = sinf(a), m._33 = cosf(a);
  return m;
}

struct Scene {
  std::vector<GlobeVertex> globe = SphereStrip(1.0f, false);
  std::vector<GlobeVertex> backdrop = SphereStrip(1.0f, true);
  std::vector<uint16_t> globePicture = Picture(1), backdropPicture = Picture(2);
  raster::TextureLevelView globeLevel{reinterpret_cast<const uint8_t*>(globePicture.data()), 256, 256, 512};
  raster::TextureLevelView backdropLevel{reinterpret_cast<const uint8_t*>(backdropPicture.data()), 256, 256, 512};
  raster::TextureView globeTexture{1, 1, D3DFMT_R5G6B5, 1, &globeLevel};
  raster::TextureView backdropTexture{2, 1, D3DFMT_R5G6B5, 1, &backdropLevel};
};

// Draws the backdrop (states already set for it) with `state`.
using BackdropDraw = std::function<void(raster::Renderer&, const raster::PipelineState&, const raster::Targets&)>;

// How one frame is drawn: the globe's spin angle, whether the backdrop is drawn and the
// camera's turn (radians about the vertical) under which it is seen.
struct FrameSetting {
  float angle;
  bool backdrop;
  float turn;
};

// One frame as the scene draws it: the backdrop (when asked for) at ten times its size
// around the eye with z function ALWAYS, then the globe strip with LESSEQUAL.
void DrawFrame(raster::Renderer& renderer, const std::vector<GlobeVertex>& globe,
               const raster::TextureView& globeTexture, const BackdropDraw& drawBackdrop,
               DWORD address, const raster::Targets& targets, const FrameSetting& frame) {
  D3DVIEWPORT9 vp{0, 0, targets.color.width, targets.color.height, 0, 1};
  raster::PipelineState s = raster::DefaultPipelineState(vp);
  float eye[3] = {std::sin(frame.turn) * 3.2f, 0.6f, -std::cos(frame.turn) * 3.2f};
  D3DMATRIX view = LookAt(eye);
  s.projection = Perspective(float(vp.Width) / vp.Height);
  for (int i = 0; i < 2; ++i) {
    s.samplerStates[0][i == 0 ? D3DSAMP_MINFILTER : D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
  }
  s.samplerStates[0][D3DSAMP_ADDRESSU] = s.samplerStates[0][D3DSAMP_ADDRESSV] = address;
  s.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  if (frame.backdrop) {
    s.world = Identity();
    s.world._11 = s.world._22 = s.world._33 = 10;
    s.view = view;
    s.view._41 = s.view._42 = s.view._43 = 0;
    s.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
    drawBackdrop(renderer, s, targets);
  }
  s.renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  s.renderStates[D3DRS_WRAP0] = D3DWRAPCOORD_0 | D3DWRAPCOORD_1;
  s.stageStates[0][D3DTSS_TEXCOORDINDEX] = 1;
  s.world = RotationY(-frame.angle);
  s.view = view;
  s.textures[0] = &globeTexture;
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(globe.data()), uint32_t(globe.size() * 40), 40,
                              kGlobeFvf};
  renderer.Draw(s, targets, stream, {D3DPT_TRIANGLESTRIP, 928, 0, 0, 0});
}

// The synthetic backdrop: the globe's strip turned inside out, with its own picture.
BackdropDraw SphereBackdrop(const Scene& scene) {
  return [&scene](raster::Renderer& renderer, raster::PipelineState s, const raster::Targets& targets) {
    s.textures[0] = &scene.backdropTexture;
    raster::VertexStream stream{reinterpret_cast<const uint8_t*>(scene.backdrop.data()),
                                uint32_t(scene.backdrop.size() * 40), 40, kGlobeFvf};
    renderer.Draw(s, targets, stream, {D3DPT_TRIANGLESTRIP, 928, 0, 0, 0});
  };
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// One level in a texture format, from a picture file decoded as the texture loader does.
struct LoadedTexture {
  std::vector<uint8_t> bits;
  raster::TextureLevelView level{};
  raster::TextureView view{};
};

bool LoadTexture(const std::string& path, D3DFORMAT format, uint64_t id, LoadedTexture* out) {
  d3dximage::ImageFile file;
  if (d3dximage::DecodeImageFile(ReadFile(path), file, 16384) != d3dximage::DecodeResult::Ok) return false;
  const d3dximage::ImageLevel& image = file.levels[0];
  uint32_t pitch = image.width * (format == D3DFMT_R5G6B5 ? 2 : 4);
  out->bits.resize(size_t(pitch) * image.height);
  raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(image.argb.data()), image.width * 4, format,
                      out->bits.data(), pitch, image.width, image.height);
  out->level = {out->bits.data(), image.width, image.height, pitch};
  out->view = {id, 1, format, 1, &out->level};
  return true;
}

// The program's media: vesk.x as one indexed list (position, normal, one texture
// coordinate pair) with the star texture, and globe.png.
struct MediaScene {
  std::vector<GlobeVertex> globe = SphereStrip(1.0f, false);
  std::vector<float> meshVertices;  // 8 floats a vertex
  std::vector<uint32_t> meshIndices;
  LoadedTexture stars, globeTexture;
  std::string error;

  explicit MediaScene(const std::string& folder) {
    d3dxfile::XMesh mesh;
    if (d3dxfile::LoadXFile(ReadFile(folder + "/vesk.x"), mesh) != d3dxfile::XFileResult::Ok) {
      error = "cannot read " + folder + "/vesk.x";
      return;
    }
    for (const d3dxfile::XVertex& v : mesh.vertices)
      meshVertices.insert(meshVertices.end(), {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y,
                                               v.normal.z, v.u, v.v});
    meshIndices = mesh.indices;
    std::string starFile = mesh.materials.empty() ? "" : mesh.materials[0].textureFile;
    if (!LoadTexture(folder + "/" + starFile, D3DFMT_X8R8G8B8, 3, &stars))
      error = "cannot read the mesh's texture '" + starFile + "'";
    else if (!LoadTexture(folder + "/globe.png", D3DFMT_R5G6B5, 4, &globeTexture))
      error = "cannot read " + folder + "/globe.png";
  }

  BackdropDraw Backdrop() const {
    return [this](raster::Renderer& renderer, raster::PipelineState s, const raster::Targets& targets) {
      s.textures[0] = &stars.view;
      raster::VertexStream stream{reinterpret_cast<const uint8_t*>(meshVertices.data()),
                                  uint32_t(meshVertices.size() * 4), 32, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1};
      raster::IndexStream indices{reinterpret_cast<const uint8_t*>(meshIndices.data()), uint32_t(meshIndices.size()),
                                  true};
      renderer.DrawIndexed(s, targets, stream, indices,
                           {D3DPT_TRIANGLELIST, uint32_t(meshIndices.size() / 3), 0, 0, 0});
    };
  }
};

// CPU time of the whole process (every thread), which other load on the machine does
// not inflate the way it inflates wall-clock time.
double CpuSeconds() { return double(clock()) / CLOCKS_PER_SEC; }

using FrameDraw = std::function<void(raster::Renderer&, const raster::Targets&, const FrameSetting&)>;

// Draws frames for `seconds` with `threads` renderer threads (0: the default, one per
// hardware thread) and prints what they cost; the camera turns from frame to frame
// unless `still`.
void Measure(uint32_t width, uint32_t height, double seconds, uint32_t threads, const FrameDraw& draw,
             bool still = false) {
  std::vector<uint32_t> color(size_t{width} * height), depth(size_t{width} * height);
  raster::Targets targets{{reinterpret_cast<uint8_t*>(color.data()), width, height, width * 4, D3DFMT_X8R8G8B8},
                          {reinterpret_cast<uint8_t*>(depth.data()), width, height, width * 4, D3DFMT_D24S8}};
  raster::Renderer renderer;
  if (threads) renderer.SetThreadCount(threads);
  // Globe pixels: draw the globe alone on a cleared depth buffer and count depth writes.
  D3DVIEWPORT9 vp{0, 0, width, height, 0, 1};
  renderer.Clear(targets, vp, 0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_TARGET, 0, 1.0f, 0);
  draw(renderer, targets, {0.0f, false, 0.0f});
  uint64_t globePixels = 0;
  for (uint32_t d : depth) globePixels += (d >> 8) != 0xffffff;
  uint64_t perFrame = uint64_t{width} * height + globePixels;

  // Two frames first, as a recording's first frames: the renderer keeps the repeated
  // backdrop after its second time.
  for (int frame = 0; frame < 2; ++frame) draw(renderer, targets, {0.0f, true, 0.0f});
  int frames = 0;
  double cpuStart = CpuSeconds();
  auto start = std::chrono::steady_clock::now();
  double elapsed = 0;
  while (elapsed < seconds) {
    draw(renderer, targets, {frames * 0.01f, true, still ? 0.0f : frames * 1e-4f});
    ++frames;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double cpuPerFrame = (CpuSeconds() - cpuStart) / frames;
  double fps = frames / elapsed;
  printf("%4ux%-4u  %s%2u threads  %s  %6d frames in %.2f s  %8.1f frames/s  %7.1f M pixels/s"
         "  CPU %.2f ms/frame (%.1f ns/pixel, all threads)"
         "  (%llu pixels per frame: %llu backdrop %s + %llu globe textured)\n",
         width, height, threads ? "" : "default ", threads ? threads : std::max(1u, std::thread::hardware_concurrency()),
         still ? "still camera" : "turning camera", frames, elapsed, fps, fps * double(perFrame) / 1e6,
         cpuPerFrame * 1e3, cpuPerFrame * 1e9 / double(perFrame), (unsigned long long)perFrame,
         (unsigned long long)(uint64_t{width} * height), still ? "copied" : "textured",
         (unsigned long long)globePixels);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? atof(argv[1]) : 3.0;
  printf("raster_bench: backdrop sphere (930-vertex strip, radius 10 around the eye, ZFUNC ALWAYS)\n"
         "then globe (930-vertex strip, fvf 0x212, texcoord set 1, WRAP0 = 3, ZFUNC LESSEQUAL);\n"
         "R5G6B5 256x256 textures, linear min/mag filter, no mip; X8R8G8B8 target, D24S8 depth;\n"
         "default thread count; %.1f s per size.\n", seconds);
  double load[3];
  if (getloadavg(load, 3) == 3) printf("machine load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  Scene scene;
  auto synthetic = [&scene](raster::Renderer& renderer, const raster::Targets& targets, const FrameSetting& frame) {
    DrawFrame(renderer, scene.globe, scene.globeTexture, SphereBackdrop(scene), D3DTADDRESS_WRAP, targets, frame);
  };
  Measure(640, 480, seconds, 0, synthetic);
  Measure(1920, 1080, seconds, 0, synthetic);

  const std::string folder = VESK_MEDIA_DIR;
  MediaScene media(folder);
  if (!media.error.empty()) {
    printf("real scene: %s\n", media.error.c_str());
    return 1;
  }
  printf("real scene from %s: backdrop vesk.x (%zu vertices, %zu triangles, indexed list, fvf 0x112) with\n"
         "its %ux%u X8R8G8B8 star texture, MIRROR addressing; globe strip with globe.png %ux%u R5G6B5;\n"
         "level 0 only, linear min/mag filter, no mip; same transforms and states as above.\n",
         folder.c_str(), media.meshVertices.size() / 8, media.meshIndices.size() / 3, media.stars.level.width,
         media.stars.level.height, media.globeTexture.level.width, media.globeTexture.level.height);
  auto real = [&media](raster::Renderer& renderer, const raster::Targets& targets, const FrameSetting& frame) {
    DrawFrame(renderer, media.globe, media.globeTexture.view, media.Backdrop(), D3DTADDRESS_MIRROR, targets, frame);
  };
  for (bool still : {false, true}) {
    Measure(640, 480, seconds, 0, real, still);
    Measure(1920, 1080, seconds, 0, real, still);
  }
  // Scaling: the real scene at 1920x1080 with 1, 2, 4, ... threads up to the hardware's.
  const uint32_t hardware = std::max(1u, std::thread::hardware_concurrency());
  printf("thread scaling, real scene at 1920x1080 (this machine has %u hardware threads):\n", hardware);
  for (uint32_t threads = 1; threads < hardware; threads *= 2) Measure(1920, 1080, seconds, threads, real);
  Measure(1920, 1080, seconds, hardware, real);
  return 0;
}
