// Direct3D 9 value types shared by the device and the D3DX functions.
#pragma once

#include "wintypes.h"

struct D3DVECTOR {
  float x;
  float y;
  float z;
};

struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
