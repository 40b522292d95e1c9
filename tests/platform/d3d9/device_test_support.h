// A window at a known place on the headless desktop with a windowed Direct3D device in
// it, for the device tests; released in reverse order, checking that nothing leaks.
#pragma once

#include <vector>

#include "d3d9.h"

namespace testsupport {

struct DeviceOptions {
  int x = 100, y = 60, width = 64, height = 48;
  D3DFORMAT backBufferFormat = D3DFMT_X8R8G8B8;
  UINT backBufferWidth = 0, backBufferHeight = 0;  // windowed: 0 takes the client area
  BOOL depthBuffer = TRUE;
  BOOL windowed = TRUE;
  DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
  D3DMULTISAMPLE_TYPE multiSample = D3DMULTISAMPLE_NONE;
  DWORD multiSampleQuality = 0;
};

class TestDevice {
 public:
  explicit TestDevice(const DeviceOptions& options = {});
  ~TestDevice();
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  HWND window = nullptr;
  IDirect3D9* direct3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS parameters{};
  HRESULT created = E_FAIL;
};

// A vertex buffer in the managed pool holding `bytes`, or null.
IDirect3DVertexBuffer9* MakeVertexBuffer(IDirect3DDevice9* device, const void* bytes, UINT size,
                                         D3DPOOL pool = D3DPOOL_MANAGED);
// The whole desktop as GetFrontBufferData gives it, 0xAARRGGBB, rows top to bottom.
std::vector<uint32_t> ReadFrontBuffer(const TestDevice& test);

// A pre-transformed vertex with one texture coordinate pair.
struct TexturedVertex {
  float x, y, z, rhw, u, v;
};
// Clears, draws each four vertices as a strip with `texture` (colour: the texture's,
// through a linear filter; the other states as they are set), presents, and returns
// the desktop.
std::vector<uint32_t> DrawTexturedQuads(const TestDevice& test, IDirect3DTexture9* texture,
                                        const std::vector<TexturedVertex>& vertices);

}  // namespace testsupport
