// Loading a .x mesh file from memory into the merged mesh D3DXLoadMeshFromXA builds
// its ID3DXMesh from. No file system and no device here.
#pragma once

#include <cstdint>
#include <span>

#include "xfile/mesh_build.h"

namespace d3dxfile {

enum class XFileResult { Ok, InvalidData, OutOfMemory };

// Any encoding: text, binary (32- or 64-bit floats), MSZIP-compressed either. `out` is
// written only on success.
XFileResult LoadXFile(std::span<const uint8_t> bytes, XMesh& out);

}  // namespace d3dxfile
