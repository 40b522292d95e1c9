// Small drawing helpers for the renderer tests: an A8R8G8B8 target with a D24S8 depth
// buffer, pre-transformed vertices with a colour and one texture coordinate pair, and
// textures built from A8R8G8B8 texels.
#pragma once

#include <stdint.h>
#include <string.h>

#include <vector>

#include "pipeline.h"

namespace raster_test {

constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};

struct Target {
  uint32_t width, height;
  uint32_t samples;  // a multisampled target holds one width x height plane per sample
  std::vector<uint32_t> color;
  std::vector<uint32_t> depth;  // 32-bit words, or pairs of 16-bit words for a 2-byte format
  D3DFORMAT depthFormat = D3DFMT_D24S8;

  Target(uint32_t w, uint32_t h, D3DCOLOR fill = 0, uint32_t sampleCount = 1)
      : width(w), height(h), samples(sampleCount), color(size_t{w} * h * sampleCount, fill),
        depth(size_t{w} * h * sampleCount, 0xffffff00u) {}
  raster::Targets Views() {
    return {{reinterpret_cast<uint8_t*>(color.data()), width, height, width * 4, D3DFMT_A8R8G8B8, samples},
            {reinterpret_cast<uint8_t*>(depth.data()), width, height, width * DepthBytes(), depthFormat, samples}};
  }
  uint32_t DepthBytes() const {
    bool narrow = depthFormat == D3DFMT_D16 || depthFormat == D3DFMT_D16_LOCKABLE || depthFormat == D3DFMT_D15S1;
    return narrow ? 2 : 4;
  }
  // Sample `sample` of pixel (x, y).
  uint32_t SampleAt(uint32_t x, uint32_t y, uint32_t sample) const {
    return color[(size_t{sample} * height + y) * width + x];
  }
  uint32_t At(uint32_t x, uint32_t y) const { return color[size_t{y} * width + x]; }
  D3DVIEWPORT9 Viewport() const { return {0, 0, width, height, 0.0f, 1.0f}; }
};

// Default device state that draws the vertex colour unlit.
inline raster::PipelineState ColorState(const Target& target) {
  raster::PipelineState s = raster::DefaultPipelineState(target.Viewport());
  s.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  s.stageStates[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
  s.stageStates[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
  s.renderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
  return s;
}

// Default device state that shows texture 0 unlit.
inline raster::PipelineState TextureState(const Target& target, const raster::TextureView* texture) {
  raster::PipelineState s = ColorState(target);
  s.stageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  s.stageStates[0][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  s.textures[0] = texture;
  return s;
}

inline void Draw(raster::Renderer& renderer, const raster::PipelineState& state, Target& target,
                 const std::vector<ScreenVertex>& vertices, D3DPRIMITIVETYPE type,
                 uint32_t primitives) {
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(vertices.data()),
                              uint32_t(vertices.size() * sizeof(ScreenVertex)), sizeof(ScreenVertex),
                              kScreenFvf};
  raster::Targets views = target.Views();
  renderer.Draw(state, views, stream, {type, primitives, 0, 0, 0});
}

// An axis-aligned rectangle as a two-triangle strip, u and v running 0..1 unless given.
inline std::vector<ScreenVertex> Rect(float x0, float y0, float x1, float y1, D3DCOLOR color,
                                      float z = 0.5f, float u0 = 0, float v0 = 0, float u1 = 1,
                                      float v1 = 1) {
  return {{x0, y0, z, 1, color, u0, v0}, {x1, y0, z, 1, color, u1, v0},
          {x0, y1, z, 1, color, u0, v1}, {x1, y1, z, 1, color, u1, v1}};
}

// A single-level A8R8G8B8 texture owning its texels.
struct Texture {
  std::vector<uint32_t> texels;
  raster::TextureLevelView level;
  raster::TextureView view;

  Texture(uint32_t w, uint32_t h, std::vector<uint32_t> data, uint64_t id = 1,
          D3DFORMAT format = D3DFMT_A8R8G8B8, uint32_t bytesPerTexel = 4)
      : texels(std::move(data)) {
    level = {reinterpret_cast<const uint8_t*>(texels.data()), w, h, w * bytesPerTexel};
    view = {id, 1, format, 1, &level};
  }
};

}  // namespace raster_test
