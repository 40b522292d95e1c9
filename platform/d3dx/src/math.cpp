// D3DX math. Each function computes into a local first, so the output may alias an
// input.
#include <cmath>

#include "d3dx9math.h"

namespace {

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v) {
  float length = std::sqrt(Dot(v, v));
  if (length == 0.0f) return {0.0f, 0.0f, 0.0f};
  return {v.x / length, v.y / length, v.z / length};
}

D3DXMATRIX Rows(float a11, float a12, float a13, float a14, float a21, float a22, float a23,
                float a24, float a31, float a32, float a33, float a34, float a41, float a42,
                float a43, float a44) {
  D3DXMATRIX r;
  const float values[16] = {a11, a12, a13, a14, a21, a22, a23, a24,
                            a31, a32, a33, a34, a41, a42, a43, a44};
  for (int i = 0; i < 16; ++i) r.m[i / 4][i % 4] = values[i];
  return r;
}

}  // namespace

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] +
                  m1->m[i][2] * m2->m[2][j] + m1->m[i][3] * m2->m[3][j];
    }
  }
  *out = r;
  return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
  if (!out) return nullptr;
  *out = Rows(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
  if (!out) return nullptr;
  *out = Rows(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
  if (!out) return nullptr;
  float c = std::cos(angle), s = std::sin(angle);
  *out = Rows(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
  if (!out) return nullptr;
  float c = std::cos(angle), s = std::sin(angle);
  *out = Rows(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
  if (!out || !q) return nullptr;
  float x = q->x, y = q->y, z = q->z, w = q->w;
  *out = Rows(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
              2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
              2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
              0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
  if (!out || !eye || !at || !up) return nullptr;
  D3DXVECTOR3 zAxis = Normalized({at->x - eye->x, at->y - eye->y, at->z - eye->z});
  D3DXVECTOR3 xAxis = Normalized(Cross(*up, zAxis));
  D3DXVECTOR3 yAxis = Cross(zAxis, xAxis);
  *out = Rows(xAxis.x, yAxis.x, zAxis.x, 0, xAxis.y, yAxis.y, zAxis.y, 0, xAxis.z, yAxis.z,
              zAxis.z, 0, -Dot(xAxis, *eye), -Dot(yAxis, *eye), -Dot(zAxis, *eye), 1);
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear,
                                       float zFar) {
  if (!out) return nullptr;
  float yScale = 1.0f / std::tan(fovY / 2);
  float xScale = yScale / aspect;
  float depth = zFar / (zFar - zNear);
  *out = Rows(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, depth, 1, 0, 0, -zNear * depth, 0);
  return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1,
                                       const D3DXQUATERNION* q2) {
  if (!out || !q1 || !q2) return nullptr;
  const D3DXQUATERNION a = *q2, b = *q1;  // the Hamilton product a b
  *out = {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
  return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
  if (!out || !v) return nullptr;
  *out = Normalized(*v);
  return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  float x = v->x, y = v->y, z = v->z;
  *out = {x * m->_11 + y * m->_21 + z * m->_31 + m->_41, x * m->_12 + y * m->_22 + z * m->_32 + m->_42,
          x * m->_13 + y * m->_23 + z * m->_33 + m->_43, x * m->_14 + y * m->_24 + z * m->_34 + m->_44};
  return out;
}
