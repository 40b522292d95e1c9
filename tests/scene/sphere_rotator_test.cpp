// The mouse rotator: projection onto the virtual sphere, the arc quaternion, and the
// drags that rotate and pan.
#include <gtest/gtest.h>

#include <cmath>

#include "sphere_rotator.h"

namespace {

LPARAM At(int x, int y) { return LPARAM(uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16); }

class SphereRotatorTest : public ::testing::Test {
 protected:
  void SetUp() override { rotator_.Resize(640, 480, 3.0f); }
  SphereRotator rotator_;
};

TEST_F(SphereRotatorTest, ProjectionOfCentreEdgeAndOutside) {
  D3DXVECTOR3 centre = rotator_.ProjectToSphere(320, 240);
  EXPECT_FLOAT_EQ(centre.x, 0.0f);
  EXPECT_FLOAT_EQ(centre.y, 0.0f);
  EXPECT_FLOAT_EQ(centre.z, 1.0f);
  EXPECT_FLOAT_EQ(rotator_.ProjectToSphere(639, 240).x, (320.0f - 639.0f) / 960.0f);
  rotator_.Resize(640, 480, 0.25f);
  D3DXVECTOR3 rim = rotator_.ProjectToSphere(0, 0);
  EXPECT_FLOAT_EQ(rim.z, 0.0f);
  EXPECT_NEAR(rim.x * rim.x + rim.y * rim.y, 1.0f, 1e-6f);
  EXPECT_GT(rim.x, 0.0f) << "x grows to the left";
  EXPECT_LT(rim.y, 0.0f) << "y grows downwards";
}

TEST_F(SphereRotatorTest, ArcQuaternionCarriesOnePointOntoTheOther) {
  D3DXQUATERNION same = SphereRotator::ArcQuaternion({0.3f, 0.2f, 0.9f}, {0.3f, 0.2f, 0.9f});
  EXPECT_NEAR(same.x, 0.0f, 1e-6f);
  EXPECT_NEAR(same.w, 1.0f, 1e-6f);
  D3DXQUATERNION quarter = SphereRotator::ArcQuaternion({1, 0, 0}, {0, 1, 0});
  EXPECT_NEAR(quarter.z, std::sqrt(0.5f), 1e-6f) << "a quarter turn about +z";
  EXPECT_NEAR(quarter.w, std::sqrt(0.5f), 1e-6f);
}

TEST_F(SphereRotatorTest, LeftDragRotatesFromThePressAndReturningRestoresIt) {
  EXPECT_EQ(rotator_.HandleMouse(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(320, 240)), 1);
  EXPECT_EQ(rotator_.dragging, 1);
  rotator_.HandleMouse(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(400, 240));
  EXPECT_GT(std::fabs(rotator_.orientation.y), 0.01f) << "a sideways drag turns about the vertical axis";
  rotator_.HandleMouse(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(320, 240));
  EXPECT_NEAR(rotator_.orientation.w, 1.0f, 1e-6f);
  EXPECT_NEAR(rotator_.rotation._11, 1.0f, 1e-6f);
  rotator_.HandleMouse(nullptr, WM_LBUTTONUP, 0, At(320, 240));
  EXPECT_EQ(rotator_.dragging, 0);
  EXPECT_EQ(rotator_.HandleMouse(nullptr, WM_MOUSEWHEEL, 0x00780000, At(320, 240)), 0) << "the wheel does nothing";
}

// A sideways drag, then one downwards: the second turn follows the first (the press's
// orientation times the drag's arc), and the rotation matrix is that orientation's.
TEST_F(SphereRotatorTest, ASecondDragTurnsOnFromWhereTheFirstLeftTheGlobe) {
  auto drag = [&](int x0, int y0, int x1, int y1) {
    rotator_.HandleMouse(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(x0, y0));
    rotator_.HandleMouse(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(x1, y1));
    rotator_.HandleMouse(nullptr, WM_LBUTTONUP, 0, At(x1, y1));
  };
  drag(320, 240, 620, 240);
  D3DXQUATERNION first = rotator_.orientation;
  drag(320, 60, 320, 420);
  D3DXQUATERNION arc = SphereRotator::ArcQuaternion(rotator_.ProjectToSphere(320, 60),
                                                    rotator_.ProjectToSphere(320, 420));
  D3DXQUATERNION expected, reversed;
  D3DXQuaternionMultiply(&expected, &first, &arc);
  D3DXQuaternionMultiply(&reversed, &arc, &first);
  ASSERT_GT(std::fabs(expected.z - reversed.z), 0.03f) << "the two turns must not commute for this test";
  EXPECT_NEAR(rotator_.orientation.x, expected.x, 1e-6f);
  EXPECT_NEAR(rotator_.orientation.y, expected.y, 1e-6f);
  EXPECT_NEAR(rotator_.orientation.z, expected.z, 1e-6f);
  EXPECT_NEAR(rotator_.orientation.w, expected.w, 1e-6f);
  D3DXMATRIX rotation;
  D3DXMatrixRotationQuaternion(&rotation, &expected);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(rotator_.rotation.m[i / 4][i % 4], rotation.m[i / 4][i % 4], 1e-6f) << i;
}

TEST_F(SphereRotatorTest, RightDragPansInTheScreenPlaneMiddleDragAlongTheView) {
  rotator_.HandleMouse(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, At(640, 240));
  rotator_.HandleMouse(nullptr, WM_MOUSEMOVE, MK_RBUTTON, At(0, 240));
  EXPECT_FLOAT_EQ(rotator_.pan._41, -2.0f) << "a full-width drag to the left";
  EXPECT_FLOAT_EQ(rotator_.pan._42, 0.0f);
  rotator_.HandleMouse(nullptr, WM_MBUTTONDOWN, MK_MBUTTON, At(0, 480));
  rotator_.HandleMouse(nullptr, WM_MOUSEMOVE, MK_MBUTTON, At(0, 0));
  EXPECT_FLOAT_EQ(rotator_.pan._43, 5.0f) << "a full-height drag upwards";
  EXPECT_EQ(rotator_.dragging, 0);
}

TEST(SphereRotatorBeforeResize, PressesBeforeAWindowSizeDoNotDivideByZero) {
  SphereRotator rotator;
  D3DXVECTOR3 p = rotator.ProjectToSphere(10, 10);
  EXPECT_FLOAT_EQ(p.z, 1.0f);
  rotator.HandleMouse(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
  rotator.HandleMouse(nullptr, WM_MOUSEMOVE, MK_RBUTTON, At(50, 50));
  EXPECT_FLOAT_EQ(rotator.pan._41, 0.0f);
}

}  // namespace
