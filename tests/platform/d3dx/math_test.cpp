// D3DX math against values derived by hand and against properties: orthonormal
// look-at matrices, the projection's depth range, quaternions as axis rotations, and
// outputs that alias inputs.
#include <gtest/gtest.h>

#include <cmath>

#include "d3dx9math.h"

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectMatrixNear(const D3DXMATRIX& actual, const float (&expected)[16]) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(actual.m[i / 4][i % 4], expected[i], kTolerance) << "element " << i;
  }
}

void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected) {
  ExpectMatrixNear(actual, reinterpret_cast<const float(&)[16]>(expected.m));
}

D3DXVECTOR4 Transform(float x, float y, float z, const D3DXMATRIX& m) {
  D3DXVECTOR3 v(x, y, z);
  D3DXVECTOR4 out;
  D3DXVec3Transform(&out, &v, &m);
  return out;
}

TEST(D3dxMath, BasicMatricesHaveTheirRowVectorLayout) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, 1, 2, 3);
  ExpectMatrixNear(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
  D3DXMatrixScaling(&m, 2, 3, 4);
  ExpectMatrixNear(m, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});
  // A quarter turn about Y takes +X to -Z and +Z to +X (left-handed).
  D3DXMatrixRotationY(&m, static_cast<float>(M_PI / 2));
  D3DXVECTOR4 x = Transform(1, 0, 0, m);
  EXPECT_NEAR(x.z, -1, kTolerance);
  EXPECT_NEAR(x.x, 0, kTolerance);
  D3DXVECTOR4 z = Transform(0, 0, 1, m);
  EXPECT_NEAR(z.x, 1, kTolerance);
  // A quarter turn about X takes +Y to +Z and +Z to -Y.
  EXPECT_EQ(D3DXMatrixRotationX(nullptr, 1.0f), nullptr);
  D3DXMatrixRotationX(&m, static_cast<float>(M_PI / 2));
  D3DXVECTOR4 y = Transform(0, 1, 0, m);
  EXPECT_NEAR(y.z, 1, kTolerance);
  EXPECT_NEAR(y.y, 0, kTolerance);
  z = Transform(0, 0, 1, m);
  EXPECT_NEAR(z.y, -1, kTolerance);
  EXPECT_NEAR(Transform(1, 0, 0, m).x, 1, kTolerance);
}

TEST(D3dxMath, MultiplyAppliesTheFirstMatrixFirstAndMayOverwriteAnInput) {
  D3DXMATRIX scale, move, product;
  D3DXMatrixScaling(&scale, 2, 2, 2);
  D3DXMatrixTranslation(&move, 10, 0, 0);
  D3DXMatrixMultiply(&product, &scale, &move);
  EXPECT_NEAR(Transform(1, 0, 0, product).x, 12, kTolerance);  // scaled, then moved
  D3DXMatrixMultiply(&scale, &scale, &move);                  // out is the first input
  ExpectMatrixNear(scale, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 10, 0, 0, 1});
  D3DXMatrixTranslation(&move, 1, 0, 0);
  D3DXMATRIX twice = move;
  D3DXMatrixMultiply(&twice, &twice, &twice);                 // both inputs are the output
  EXPECT_NEAR(twice._41, 2, kTolerance);
  EXPECT_EQ(D3DXMatrixMultiply(nullptr, &move, &move), nullptr);
}

TEST(D3dxMath, LookAtIsOrthonormalAndPutsTheTargetOnThePositiveZAxis) {
  D3DXVECTOR3 eye(0, 1.5f, -3), at(0, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  ASSERT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      float dot = view.m[0][i] * view.m[0][j] + view.m[1][i] * view.m[1][j] +
                  view.m[2][i] * view.m[2][j];
      EXPECT_NEAR(dot, i == j ? 1 : 0, kTolerance);
    }
  }
  D3DXVECTOR4 target = Transform(0, 0, 0, view);
  EXPECT_NEAR(target.x, 0, kTolerance);
  EXPECT_NEAR(target.y, 0, kTolerance);
  EXPECT_NEAR(target.z, std::sqrt(1.5f * 1.5f + 9), kTolerance);
  D3DXVECTOR4 atEye = Transform(eye.x, eye.y, eye.z, view);
  EXPECT_NEAR(atEye.z, 0, kTolerance);
}

TEST(D3dxMath, ThePerspectiveMapsNearToZeroAndFarToOne) {
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, static_cast<float>(M_PI / 4), 4.0f / 3.0f, 1, 100);
  D3DXVECTOR4 nearPoint = Transform(0, 0, 1, projection);
  D3DXVECTOR4 farPoint = Transform(0, 0, 100, projection);
  EXPECT_NEAR(nearPoint.z / nearPoint.w, 0, kTolerance);
  EXPECT_NEAR(farPoint.z / farPoint.w, 1, kTolerance);
  // The top of the field of view at distance d lands on y = 1.
  float d = 10;
  D3DXVECTOR4 top = Transform(0, d * std::tan(static_cast<float>(M_PI / 8)), d, projection);
  EXPECT_NEAR(top.y / top.w, 1, kTolerance);
  EXPECT_NEAR(projection._11 * 4.0f / 3.0f, projection._22, kTolerance);
}

// Rodrigues' rotation of v about a unit axis k: v cos + (k x v) sin + k (k.v)(1 - cos).
D3DXVECTOR3 Rotate(D3DXVECTOR3 v, D3DXVECTOR3 k, float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  float dot = v.x * k.x + v.y * k.y + v.z * k.z;
  D3DXVECTOR3 cross(k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x);
  return {v.x * c + cross.x * s + k.x * dot * (1 - c), v.y * c + cross.y * s + k.y * dot * (1 - c),
          v.z * c + cross.z * s + k.z * dot * (1 - c)};
}

TEST(D3dxMath, AQuaternionsMatrixIsTheRotationAboutItsAxis) {
  D3DXVECTOR3 axis(1, 2, 2);
  D3DXVec3Normalize(&axis, &axis);
  float angle = 0.7f;
  D3DXQUATERNION q{axis.x * std::sin(angle / 2), axis.y * std::sin(angle / 2),
                   axis.z * std::sin(angle / 2), std::cos(angle / 2)};
  D3DXMATRIX m;
  D3DXMatrixRotationQuaternion(&m, &q);
  for (D3DXVECTOR3 v : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0.3f, -2, 5)}) {
    D3DXVECTOR4 got = Transform(v.x, v.y, v.z, m);
    D3DXVECTOR3 want = Rotate(v, axis, angle);
    EXPECT_NEAR(got.x, want.x, kTolerance);
    EXPECT_NEAR(got.y, want.y, kTolerance);
    EXPECT_NEAR(got.z, want.z, kTolerance);
  }
  // About Y it is exactly D3DXMatrixRotationY.
  D3DXQUATERNION qy{0, std::sin(angle / 2), 0, std::cos(angle / 2)};
  D3DXMATRIX fromQ, direct;
  D3DXMatrixRotationQuaternion(&fromQ, &qy);
  D3DXMatrixRotationY(&direct, angle);
  ExpectMatrixNear(fromQ, direct);
}

TEST(D3dxMath, QuaternionProductIsTheFirstRotationFollowedByTheSecond) {
  D3DXQUATERNION aboutX{std::sin(0.3f), 0, 0, std::cos(0.3f)};
  D3DXQUATERNION aboutY{0, std::sin(0.4f), 0, std::cos(0.4f)};
  D3DXQUATERNION both;
  D3DXQuaternionMultiply(&both, &aboutX, &aboutY);
  D3DXMATRIX mx, my, chained, fromProduct;
  D3DXMatrixRotationQuaternion(&mx, &aboutX);
  D3DXMatrixRotationQuaternion(&my, &aboutY);
  D3DXMatrixMultiply(&chained, &mx, &my);
  D3DXMatrixRotationQuaternion(&fromProduct, &both);
  ExpectMatrixNear(fromProduct, chained);
  D3DXQuaternionMultiply(&aboutX, &aboutX, &aboutY);  // out is the first input
  EXPECT_NEAR(aboutX.x, both.x, kTolerance);
  EXPECT_NEAR(aboutX.w, both.w, kTolerance);
}

TEST(D3dxMath, NormalizingKeepsZeroAndRefusesNulls) {
  D3DXVECTOR3 zero(0, 0, 0), v(3, 0, 4);
  D3DXVec3Normalize(&zero, &zero);
  EXPECT_EQ(zero.x, 0);
  D3DXVec3Normalize(&v, &v);
  EXPECT_NEAR(v.x, 0.6f, kTolerance);
  EXPECT_NEAR(v.z, 0.8f, kTolerance);
  EXPECT_EQ(D3DXVec3Normalize(nullptr, &v), nullptr);
  EXPECT_EQ(D3DXVec3Transform(nullptr, &v, nullptr), nullptr);
  EXPECT_EQ(D3DXMatrixRotationQuaternion(nullptr, nullptr), nullptr);
}

}  // namespace
