// The D3DX utility functions of this program: math, textures and surfaces, meshes.
#pragma once

#include "d3dx9math.h"
#include "d3dx9mesh.h"
#include "d3dx9tex.h"
