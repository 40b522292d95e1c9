// Virtual-sphere rotation and panning from mouse messages.
#include "sphere_rotator.h"

#include <cmath>

namespace {

// One rotator exists; the press point and the last pan position are kept once.
D3DXVECTOR3 downPoint(0, 0, 0);
int lastX = 0;
int lastY = 0;

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixScaling(&m, 1, 1, 1);
  return m;
}

}  // namespace

void SphereRotator::Reset() {
  panScale = 1.0f;
  downOrientation = orientation = {0, 0, 0, 1};
  rotation = pan = panStep = Identity();
  dragging = 0;
}

void SphereRotator::Resize(int newWidth, int newHeight, float newRadius) {
  width = newWidth;
  height = newHeight;
  radius = newRadius;
}

D3DXVECTOR3 SphereRotator::ProjectToSphere(int x, int y) const {
  if (width <= 0 || height <= 0) return {0.0f, 0.0f, 1.0f};  // no window size yet: the centre
  float sx = float(width / 2 - x) / (radius * float(width) * 0.5f);
  float sy = float(y - height / 2) / (radius * float(height) * 0.5f);
  float d = sx * sx + sy * sy;
  if (d > 1.0f) {
    float length = std::sqrt(d);
    return {sx / length, sy / length, 0.0f};
  }
  return {sx, sy, std::sqrt(1.0f - d)};
}

D3DXQUATERNION SphereRotator::ArcQuaternion(const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
  D3DXVECTOR3 a, b, h;
  D3DXVec3Normalize(&a, &from);
  D3DXVec3Normalize(&b, &to);
  D3DXVECTOR3 sum(a.x + b.x, a.y + b.y, a.z + b.z);
  D3DXVec3Normalize(&h, &sum);
  return {a.y * h.z - a.z * h.y, a.z * h.x - a.x * h.z, a.x * h.y - a.y * h.x, a.x * h.x + a.y * h.y + a.z * h.z};
}

void SphereRotator::Pan(WPARAM buttons, int x, int y) {
  if (width <= 0 || height <= 0) return;  // no window size yet
  float dy = float(lastY - y) * panScale / float(height);
  if (buttons & MK_RBUTTON) {
    float dx = float(lastX - x) * panScale / float(width);
    D3DXMatrixTranslation(&panStep, -2.0f * dx, 2.0f * dy, 0.0f);
  } else {
    D3DXMatrixTranslation(&panStep, 0.0f, 0.0f, 5.0f * dy);
  }
  D3DXMatrixMultiply(&pan, &pan, &panStep);
  lastX = x;
  lastY = y;
}

int SphereRotator::HandleMouse(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  int x = int(int16_t(LOWORD(lParam)));
  int y = int(int16_t(HIWORD(lParam)));
  switch (message) {
    case WM_LBUTTONDOWN:
      dragging = 1;
      downPoint = ProjectToSphere(x, y);
      downOrientation = orientation;
      return 1;
    case WM_LBUTTONUP:
      dragging = 0;
      return 1;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      lastX = x;
      lastY = y;
      return 1;
    case WM_MOUSEMOVE:
      if (wParam & MK_LBUTTON) {
        if (dragging) {
          D3DXQUATERNION step = ArcQuaternion(downPoint, ProjectToSphere(x, y));
          D3DXQuaternionMultiply(&orientation, &downOrientation, &step);
        }
        D3DXMatrixRotationQuaternion(&rotation, &orientation);
        dragging = 1;
      } else if (wParam & (MK_RBUTTON | MK_MBUTTON)) {
        Pan(wParam, x, y);
      }
      return 1;
    default:
      return 0;
  }
}
