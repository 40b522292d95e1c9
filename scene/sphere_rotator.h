// SphereRotator: mouse drags as a rotation (left button, virtual sphere) and a
// translation (right button in the screen plane, middle button along the view) of the
// globe.
#pragma once

#include "d3dx9math.h"
#include "windows.h"

class SphereRotator {
 public:
  SphereRotator() { Reset(); }

  void Reset();
  void Resize(int width, int height, float radius);
  void SetPanScale(float scale) { panScale = scale; }
  int HandleMouse(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  D3DXVECTOR3 ProjectToSphere(int x, int y) const;
  static D3DXQUATERNION ArcQuaternion(const D3DXVECTOR3& from, const D3DXVECTOR3& to);

  int width = 0;
  int height = 0;
  float radius = 1.0f;
  float panScale = 1.0f;
  D3DXQUATERNION downOrientation{};
  D3DXQUATERNION orientation{};
  D3DXMATRIX rotation{};
  D3DXMATRIX pan{};
  D3DXMATRIX panStep{};
  int dragging = 0;

 private:
  void Pan(WPARAM buttons, int x, int y);
};
