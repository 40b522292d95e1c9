// The globe as one triangle strip over a unit sphere, band by band from the north
// pole, rewritten every frame because its sphere-map coordinates follow the camera.
#include <cmath>

#include "globe_app.h"

namespace {

GlobeTessellation TessellationOf(int highTessellation) {
  return highTessellation ? GlobeTessellation{15, 30} : GlobeTessellation{5, 10};
}

// The sphere-map pair of a normal treated as a point under `m`.
void SphereMap(const D3DXMATRIX& m, GlobeVertex& vertex) {
  D3DXVECTOR3 n(vertex.nx, vertex.ny, vertex.nz);
  D3DXVECTOR4 p;
  D3DXVec3Transform(&p, &n, &m);
  float k = 1.37f / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z + p.w * p.w);
  vertex.sphereU = 0.5f + k * p.x;
  vertex.sphereV = 0.5f - k * p.y;
}

GlobeVertex RingVertex(float r, float y, float sinPhi, float cosPhi, float u, float v, const D3DXMATRIX& m) {
  GlobeVertex vertex{r * sinPhi, y, r * cosPhi, r * sinPhi, y, r * cosPhi, 0, 0, u, v};
  SphereMap(m, vertex);
  return vertex;
}

}  // namespace

HRESULT GlobeApp::CreateGlobeVertexBuffer() {
  if (vertexBuffer) {
    vertexBuffer->Release();
    vertexBuffer = nullptr;
  }
  // The fill and the draw follow the buffer's own tessellation, whatever
  // highTessellation says later.
  tessellation = TessellationOf(highTessellation);
  vertexCount = 2 * tessellation.bands * (tessellation.sectors + 1);
  HRESULT result = device->CreateVertexBuffer(UINT(vertexCount) * sizeof(GlobeVertex), D3DUSAGE_WRITEONLY,
                                              kGlobeFvf, D3DPOOL_MANAGED, &vertexBuffer, nullptr);
  return FAILED(result) ? E_FAIL : S_OK;
}

void GlobeApp::FillGlobeVertices() {
  D3DXMATRIX m;
  D3DXMatrixMultiply(&m, &world, &view);
  GlobeVertex* out = nullptr;
  if (!vertexBuffer || FAILED(vertexBuffer->Lock(0, 0, reinterpret_cast<void**>(&out), 0))) return;
  const GlobeTessellation t = tessellation;
  const float dTheta = 3.1415927f / float(t.bands);
  const float dPhi = 6.2831855f / float(t.sectors);
  for (int i = 0; i < t.bands; ++i) {
    float theta0 = float(i) * dTheta, theta1 = float(i + 1) * dTheta;
    float r0 = std::sin(theta0), r1 = std::sin(theta1), y0 = std::cos(theta0), y1 = std::cos(theta1);
    float v0 = float(i) / float(t.bands), v1 = float(i + 1) / float(t.bands);
    for (int j = 0; j <= t.sectors; ++j) {
      float phi = float(j) * dPhi, sinPhi = std::sin(phi), cosPhi = std::cos(phi);
      float u = 1.0f - float(j) / float(t.sectors);
      *out++ = RingVertex(r0, y0, sinPhi, cosPhi, u, v0, m);
      *out++ = RingVertex(r1, y1, sinPhi, cosPhi, u, v1, m);
    }
  }
  vertexBuffer->Unlock();
}
