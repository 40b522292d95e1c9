// Coverage: pixel centres at integer coordinates, the top-left fill rule on shared
// edges, culling by winding in strips, and clipping at the near plane.
#include <gtest/gtest.h>

#include <math.h>

#include <utility>

#include "rasterizer.h"
#include "test_scene.h"

namespace {

using raster_test::Draw;
using raster_test::Rect;
using raster_test::ScreenVertex;
using raster_test::Target;

constexpr D3DCOLOR kRed = 0xffff0000u;

// A left-handed perspective projection: x scaled by `xScale`, y by 1, depth 0 at `zn`
// and 1 at `zf`.
D3DMATRIX Perspective(float xScale, float zn, float zf) {
  D3DMATRIX m{};
  m._11 = xScale;
  m._22 = 1;
  m._33 = zf / (zf - zn);
  m._34 = 1;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

TEST(Rasterizer, PixelAlignedRectangleCoversCentresFromTopLeft) {
  Target target(10, 10);
  raster::Renderer renderer;
  Draw(renderer, raster_test::ColorState(target), target, Rect(2, 3, 6, 5, kRed),
       D3DPT_TRIANGLESTRIP, 2);
  // Centres (2..5, 3..4) are inside or on the left/top edges; x = 6 and y = 5 are on
  // the right and bottom edges and stay out.
  for (uint32_t y = 0; y < 10; ++y) {
    for (uint32_t x = 0; x < 10; ++x) {
      bool inside = x >= 2 && x <= 5 && y >= 3 && y <= 4;
      EXPECT_EQ(target.At(x, y), inside ? kRed : 0u) << x << "," << y;
    }
  }
}

// Point-in-polygon by hand: the centre lies strictly inside the convex polygon.
bool StrictlyInside(const float (*p)[2], int n, float x, float y, float margin) {
  for (int i = 0; i < n; ++i) {
    const float* a = p[i];
    const float* b = p[(i + 1) % n];
    float ex = b[0] - a[0], ey = b[1] - a[1];
    float cross = ex * (y - a[1]) - ey * (x - a[0]);
    if (cross <= margin * sqrtf(ex * ex + ey * ey)) return false;
  }
  return true;
}

TEST(Rasterizer, SharedEdgesAreWrittenExactlyOnce) {
  // A clockwise quadrilateral split into a fan around an inner point: six shared edges
  // at odd angles. Additive blending shows any pixel drawn twice as 0x20.
  const float quad[4][2] = {{1.3f, 2.7f}, {21.6f, 1.2f}, {19.2f, 22.9f}, {0.5f, 17.1f}};
  const float centre[2] = {9.5f, 11.0f};
  std::vector<ScreenVertex> fan = {{centre[0], centre[1], 0.5f, 1, 0xff101010u, 0, 0}};
  for (int i = 0; i <= 4; ++i) fan.push_back({quad[i % 4][0], quad[i % 4][1], 0.5f, 1, 0xff101010u, 0, 0});
  Target target(24, 24);
  raster::PipelineState state = raster_test::ColorState(target);
  state.renderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
  state.renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  state.renderStates[D3DRS_DESTBLEND] = D3DBLEND_ONE;
  raster::Renderer renderer;
  Draw(renderer, state, target, fan, D3DPT_TRIANGLEFAN, 4);
  int covered = 0;
  for (uint32_t y = 0; y < 24; ++y) {
    for (uint32_t x = 0; x < 24; ++x) {
      uint32_t v = target.At(x, y) & 0xff;
      ASSERT_TRUE(v == 0 || v == 0x10) << "pixel " << x << "," << y << " got " << v;
      if (StrictlyInside(quad, 4, float(x), float(y), 0.01f)) {
        EXPECT_EQ(v, 0x10u) << "hole at " << x << "," << y;
      }
      covered += v == 0x10;
    }
  }
  EXPECT_GT(covered, 300);
}

TEST(Rasterizer, StripTriangleWithReversedWindingIsCulled) {
  // Triangle 0, (10,8) (18,8) (10,16), is clockwise on screen. A strip's odd triangle
  // is expected counter-clockwise as listed; triangle 1, (18,8) (10,16) (22,0), is
  // clockwise as listed, so it counts as counter-clockwise: the strip folds over.
  std::vector<ScreenVertex> strip = {{10, 8, 0.5f, 1, kRed, 0, 0},
                                     {18, 8, 0.5f, 1, kRed, 0, 0},
                                     {10, 16, 0.5f, 1, kRed, 0, 0},
                                     {22, 0, 0.5f, 1, kRed, 0, 0}};
  for (DWORD cull : {DWORD(D3DCULL_CCW), DWORD(D3DCULL_NONE), DWORD(D3DCULL_CW)}) {
    Target target(24, 20);
    raster::PipelineState state = raster_test::ColorState(target);
    state.renderStates[D3DRS_CULLMODE] = cull;
    raster::Renderer renderer;
    Draw(renderer, state, target, strip, D3DPT_TRIANGLESTRIP, 2);
    bool first = target.At(11, 9) == kRed;   // only inside triangle 0
    bool second = target.At(19, 5) == kRed;  // only inside triangle 1
    EXPECT_EQ(first, cull != D3DCULL_CW) << "cull " << cull;
    EXPECT_EQ(second, cull != D3DCULL_CCW) << "cull " << cull;
  }
}

TEST(Rasterizer, TriangleCrossingTheNearPlaneIsClippedExactly) {
  // Camera at the origin looking down +z, 90 degree field of view, near 1, far 100.
  // A floor triangle at y = -1 reaches behind the camera. A pixel is drawn exactly when
  // its ray meets the floor inside the triangle at a depth between near and far.
  Target target(64, 64);
  raster::PipelineState state = raster_test::ColorState(target);
  float zn = 1, zf = 100;
  state.projection = Perspective(1, zn, zf);
  state.renderStates[D3DRS_LIGHTING] = FALSE;
  struct V {
    float x, y, z;
    D3DCOLOR color;
  };
  const float tri[3][2] = {{0, -6}, {-8, 12}, {8, 12}};  // (x, z)
  std::vector<V> vertices;
  for (const auto& p : tri) vertices.push_back({p[0], -1, p[1], kRed});
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(vertices.data()),
                              uint32_t(vertices.size() * sizeof(V)), sizeof(V),
                              D3DFVF_XYZ | D3DFVF_DIFFUSE};
  raster::Renderer renderer;
  raster::Targets views = target.Views();
  renderer.Draw(state, views, stream, {D3DPT_TRIANGLELIST, 1, 0, 0, 0});
  auto expected = [&](float px, float py) {
    float dx = (px - 32) / 32, dy = -(py - 32) / 32;  // view-space direction at z = 1
    if (dy >= 0) return false;
    float t = -1 / dy;  // depth where the ray meets y = -1
    if (t < zn || t > zf) return false;
    float x = t * dx, z = t;
    for (int i = 0; i < 3; ++i) {  // inside the clockwise (x, z) triangle
      const float* a = tri[i];
      const float* b = tri[(i + 1) % 3];
      if ((b[0] - a[0]) * (z - a[1]) - (b[1] - a[1]) * (x - a[0]) > 0) return false;
    }
    return true;
  };
  int drawn = 0, checked = 0;
  for (uint32_t y = 0; y < 64; ++y) {
    for (uint32_t x = 0; x < 64; ++x) {
      bool e = expected(float(x), float(y));
      // Pixels whose neighbourhood straddles a boundary are left out of the check.
      bool sure = e == expected(x - 0.5f, y - 0.5f) && e == expected(x + 0.5f, y + 0.5f) &&
                  e == expected(x + 0.5f, y - 0.5f) && e == expected(x - 0.5f, y + 0.5f);
      if (!sure) continue;
      ++checked;
      EXPECT_EQ(target.At(x, y) == kRed, e) << x << "," << y;
      drawn += e;
    }
  }
  EXPECT_GT(drawn, 500);  // rows just below the camera: the near clip made them
  EXPECT_GT(checked, 3000);
}

// A textured, perspective scene big enough to cross many row bands, drawn with
// `threads` threads into a target of `samples` samples per pixel.
std::vector<uint32_t> ThreadScene(uint32_t threads, uint32_t samples) {
  std::vector<uint32_t> texels(64 * 64);
  for (uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xff000000u | (i * 2654435761u >> 8);
  raster_test::Texture texture(64, 64, texels);
  std::vector<ScreenVertex> fan = {{5, 7, 0.2f, 1.0f, 0xffffffffu, 0, 0},
                                   {150, 20, 0.4f, 0.25f, 0xff8040c0u, 3, 0},
                                   {140, 130, 0.9f, 0.1f, 0xff20ff20u, 3, 2},
                                   {12, 110, 0.5f, 0.5f, 0xff0000ffu, 0, 2}};
  {
    Target target(160, 140, 0, samples);
    raster::PipelineState state = raster_test::TextureState(target, &texture.view);
    state.samplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    state.samplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
    state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    state.stageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    raster::Renderer renderer;
    renderer.SetThreadCount(threads);
    Draw(renderer, state, target, fan, D3DPT_TRIANGLEFAN, 2);
    // Then a textured strip whose triangles overlap, depth test ALWAYS: the picture shows
    // whether the threads' shares of the triangle setup are drawn in the draw's order.
    state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
    state.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
    std::vector<ScreenVertex> strip;
    for (int i = 0; i < 24; ++i) {
      float x = 10.0f + 5.0f * i, y = (i % 2) ? 125.0f : 15.0f + 3.0f * (i % 5);
      strip.push_back({x + ((i % 3) - 1) * 30.0f, y, 0.5f, 1.0f, 0, 0.1f * i, float(i % 2)});
    }
    Draw(renderer, state, target, strip, D3DPT_TRIANGLESTRIP, 22);
    return target.color;
  }
}

TEST(Rasterizer, ResultsDoNotDependOnTheThreadCount) {
  for (uint32_t samples : {1u, 4u, 8u}) {
    std::vector<uint32_t> first = ThreadScene(1, samples);
    for (uint32_t threads : {2u, 3u, 5u}) {
      EXPECT_EQ(ThreadScene(threads, samples), first) << threads << " threads, " << samples << " samples";
    }
  }
}

TEST(Rasterizer, SamplesLieAtTheStandardPositions) {
  // A rectangle whose right edge lies 3.5/16 pixel right of column 10's centre and whose
  // bottom edge as far below row 20's: a sample is covered when its offset (in 1/16
  // pixel) is below 3.5 on that axis.
  const std::vector<std::vector<std::pair<int, int>>> patterns = {
      {{4, 4}, {-4, -4}},
      {{-2, -6}, {6, -2}, {-6, 2}, {2, 6}},
      {{1, -3}, {-1, 3}, {5, 1}, {-3, -5}, {-5, 5}, {-7, -1}, {3, 7}, {7, -7}}};
  for (const auto& pattern : patterns) {
    uint32_t n = uint32_t(pattern.size());
    Target target(32, 32, 0xff000000u, n);
    raster::Renderer renderer;
    float edge = 3.5f / 16;
    Draw(renderer, raster_test::ColorState(target), target, Rect(2, 2, 10 + edge, 20 + edge, 0xffffffffu), D3DPT_TRIANGLESTRIP, 2);
    for (uint32_t s = 0; s < n; ++s) {
      bool left = pattern[s].first < 3.5, above = pattern[s].second < 3.5;
      EXPECT_EQ(target.SampleAt(10, 10, s), left ? 0xffffffffu : 0xff000000u) << n << " samples, sample " << s;
      EXPECT_EQ(target.SampleAt(5, 20, s), above ? 0xffffffffu : 0xff000000u) << n << " samples, sample " << s;
      EXPECT_EQ(target.SampleAt(10, 20, s), left && above ? 0xffffffffu : 0xff000000u) << n << " samples";
      EXPECT_EQ(target.SampleAt(9, 19, s), 0xffffffffu);
      EXPECT_EQ(target.SampleAt(11, 19, s), 0xff000000u);
    }
  }
}

}  // namespace

namespace {

// A triangle set up from three screen points, clockwise or not, without culling.
raster::Triangle ScreenTriangle(const float (&points)[3][2]) {
  raster::ScreenVertex corners[3] = {};
  for (int i = 0; i < 3; ++i) corners[i].x = points[i][0], corners[i].y = points[i][1], corners[i].q = 1.0f;
  raster::Triangle t;
  raster::Scissor scissor{-5000, -5000, 5000, 5000};
  EXPECT_TRUE(raster::SetupTriangle(corners[0], corners[1], corners[2], D3DCULL_NONE, scissor,
                                    raster::kAllVaryings, &t));
  return t;
}

TEST(Rasterizer, RowsSteppedOneAfterAnotherMatchEachRowWorkedOutAlone) {
  // Steep, shallow, horizontal and near-vertical edges, left and right of the origin,
  // thin slivers and subpixel corners; each walked from its top row and from a row in
  // its middle, at the pixel centre and at sample offsets.
  const float kTriangles[][3][2] = {
      {{1.3f, 2.7f}, {21.6f, 1.2f}, {19.2f, 22.9f}},      {{-310.25f, -40.5f}, {-2.0f, 3.0f}, {-300.0f, 411.75f}},
      {{0.0f, 0.0f}, {700.0f, 0.0f}, {0.0f, 3.0f}},       {{5.5f, -2.0f}, {5.75f, 900.3f}, {4.9f, 450.0f}},
      {{100.0f, 100.0f}, {90.1f, 163.7f}, {-37.3f, 99.9f}}, {{0.1f, 0.2f}, {1000.7f, 1.1f}, {2.2f, 0.9f}},
      {{-4000.5f, 12.0f}, {3999.25f, 13.5f}, {0.0f, 1500.125f}}};
  const int32_t kSamples[][2] = {{0, 0}, {-96, 32}, {112, -80}};
  for (const auto& points : kTriangles) {
    raster::Triangle t = ScreenTriangle(points);
    for (const auto& sample : kSamples) {
      for (int32_t start : {t.top, (t.top + t.bottom) / 2}) {
        raster::RowWalk walk(t, start, sample[0], sample[1]);
        for (int32_t y = start; y <= t.bottom; ++y, walk.Next()) {
          int32_t left = 0, right = 0, aloneLeft = 0, aloneRight = 0;
          bool stepped = walk.Span(&left, &right);
          bool alone = raster::RowWalk(t, y, sample[0], sample[1]).Span(&aloneLeft, &aloneRight);
          ASSERT_EQ(stepped, alone) << points[0][0] << " row " << y;
          if (stepped) {
            ASSERT_EQ(std::make_pair(left, right), std::make_pair(aloneLeft, aloneRight)) << y;
          }
        }
      }
    }
  }
}

}  // namespace

namespace {

// A lit tube of quads, open to the inside, seen from just outside it: its far side
// faces the camera, the near side faces away and is culled, and the quads nearest the
// camera reach behind it and are clipped. Vertices are shared between culled, clipped
// and drawn triangles.
struct LitVertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR color;
};

struct LitRing {
  std::vector<LitVertex> vertices;
  std::vector<uint16_t> indices;
};

LitRing MakeRing() {
  LitRing ring;
  constexpr int kSectors = 10, kRings = 6;
  for (int r = 0; r <= kRings; ++r) {
    for (int s = 0; s <= kSectors; ++s) {
      float angle = 6.2831855f * float(s) / kSectors, z = -2.0f + 3.0f * float(r);
      float x = 3.0f * cosf(angle), y = 3.0f * sinf(angle);
      D3DCOLOR color = 0xff000000u | uint32_t(40 * r) << 16 | uint32_t(25 * s) << 8 | 0x80u;
      ring.vertices.push_back({x, y, z, -cosf(angle), -sinf(angle), 0.0f, color});
    }
  }
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSectors; ++s) {
      uint16_t a = uint16_t(r * (kSectors + 1) + s), b = uint16_t(a + kSectors + 1);
      for (uint16_t i : {a, b, uint16_t(a + 1), uint16_t(a + 1), b, uint16_t(b + 1)}) ring.indices.push_back(i);
    }
  }
  return ring;
}

// The ring drawn with triangles `first` .. `first + count - 1` per call, `count` at a time.
std::vector<uint32_t> DrawRing(const LitRing& ring, uint32_t trianglesPerCall, DWORD cullMode) {
  Target target(96, 80);
  raster::PipelineState state = raster_test::ColorState(target);
  state.projection = Perspective(0.8f, 0.5f, 40);
  state.view = {};
  state.view._11 = state.view._22 = state.view._33 = state.view._44 = 1;
  state.view._41 = -3.5f;  // the camera just outside the ring
  state.renderStates[D3DRS_LIGHTING] = TRUE;
  state.renderStates[D3DRS_CULLMODE] = cullMode;
  state.renderStates[D3DRS_AMBIENT] = 0xff202020u;
  state.material.Diffuse = state.material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  state.lights[0] = {};
  state.lights[0].Type = D3DLIGHT_DIRECTIONAL;
  state.lights[0].Diffuse = {0.9f, 0.8f, 0.7f, 1.0f};
  state.lights[0].Direction = {0.3f, -0.5f, 0.8f};
  state.lightCount = 1;
  raster::VertexStream stream{reinterpret_cast<const uint8_t*>(ring.vertices.data()),
                              uint32_t(ring.vertices.size() * sizeof(LitVertex)), sizeof(LitVertex),
                              D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE};
  raster::IndexStream index{reinterpret_cast<const uint8_t*>(ring.indices.data()), uint32_t(ring.indices.size()),
                            false};
  raster::Renderer renderer;
  raster::Targets views = target.Views();
  uint32_t triangles = uint32_t(ring.indices.size() / 3);
  for (uint32_t first = 0; first < triangles; first += trianglesPerCall) {
    renderer.DrawIndexed(state, views, stream, index, {D3DPT_TRIANGLELIST, trianglesPerCall, 0, 0, 3 * first});
  }
  return target.color;
}

TEST(Rasterizer, VerticesSharedByCulledClippedAndDrawnTrianglesAreLitAsAlone) {
  // Drawn whole, a vertex may first be met by a culled triangle (placed, not lit) or a
  // clipped one, and lit later; drawn a triangle per call, each is worked out at once.
  LitRing ring = MakeRing();
  std::vector<uint32_t> whole = DrawRing(ring, uint32_t(ring.indices.size() / 3), D3DCULL_CCW);
  EXPECT_EQ(whole, DrawRing(ring, 1, D3DCULL_CCW));
  std::vector<uint32_t> bothSides = DrawRing(ring, uint32_t(ring.indices.size() / 3), D3DCULL_NONE);
  EXPECT_EQ(bothSides, DrawRing(ring, 1, D3DCULL_NONE));
  size_t drawn = 0, more = 0;
  for (size_t i = 0; i < whole.size(); ++i) {
    drawn += whole[i] != 0;
    more += bothSides[i] != whole[i];
  }
  EXPECT_GT(drawn, whole.size() / 4) << "the far side fills much of the view";
  EXPECT_GT(more, 100u) << "the near side, culled, shows without culling";
  EXPECT_GT(drawn, 0u) << more;
}

}  // namespace
