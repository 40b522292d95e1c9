// Which devices the scene accepts, and which bump format it picks, against scripted
// capabilities and format answers.
#include <gtest/gtest.h>

#include <set>

#include "globe_app.h"

namespace {

// Answers CheckDeviceFormat from a set of supported formats; nothing else is asked.
class ScriptedDirect3D final : public IDirect3D9 {
 public:
  std::set<D3DFORMAT> supported;
  int formatChecks = 0;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  UINT GetAdapterCount() override { return 0; }
  HRESULT GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override { return D3DERR_INVALIDCALL; }
  UINT GetAdapterModeCount(UINT, D3DFORMAT) override { return 0; }
  HRESULT EnumAdapterModes(UINT, D3DFORMAT, UINT, D3DDISPLAYMODE*) override { return D3DERR_INVALIDCALL; }
  HRESULT GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override { return D3DERR_INVALIDCALL; }
  HRESULT CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, BOOL) override { return D3DERR_INVALIDCALL; }
  HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT adapter, DWORD usage, D3DRESOURCETYPE type,
                            D3DFORMAT format) override {
    ++formatChecks;
    bool asked = adapter == D3DFMT_X8R8G8B8 && usage == 0 && type == D3DRTYPE_TEXTURE;
    return asked && supported.count(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  HRESULT CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE, DWORD*) override {
    return D3DERR_INVALIDCALL;
  }
  HRESULT CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
    return D3DERR_INVALIDCALL;
  }
  HRESULT GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) override { return D3DERR_INVALIDCALL; }
  HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) override {
    return D3DERR_INVALIDCALL;
  }
};

struct BumpCase {
  DWORD opCaps;
  std::set<D3DFORMAT> formats;
  HRESULT confirm;
  D3DFORMAT chosen;
};

TEST(BumpChecks, AcceptanceAndChoiceFollowCapsAndFormats) {
  const DWORD plain = D3DTEXOPCAPS_BUMPENVMAP, luminance = D3DTEXOPCAPS_BUMPENVMAPLUMINANCE;
  const BumpCase cases[] = {
      {plain, {D3DFMT_V8U8}, S_OK, D3DFMT_V8U8},
      {plain | luminance, {D3DFMT_V8U8, D3DFMT_L6V5U5, D3DFMT_X8L8V8U8}, S_OK, D3DFMT_V8U8},
      {0, {D3DFMT_V8U8, D3DFMT_L6V5U5, D3DFMT_X8L8V8U8}, E_FAIL, D3DFMT_UNKNOWN},
      {luminance, {D3DFMT_V8U8}, E_FAIL, D3DFMT_UNKNOWN},
      {luminance, {D3DFMT_X8L8V8U8}, S_OK, D3DFMT_X8L8V8U8},
      {luminance, {D3DFMT_L6V5U5, D3DFMT_X8L8V8U8}, S_OK, D3DFMT_L6V5U5},
  };
  for (const BumpCase& c : cases) {
    ScriptedDirect3D direct3d;
    direct3d.supported = c.formats;
    GlobeApp app;
    app.direct3D = &direct3d;
    app.caps.TextureOpCaps = c.opCaps;
    app.settings.isWindowed = true;
    app.settings.windowedDisplayMode.Format = D3DFMT_X8R8G8B8;
    D3DCAPS9 caps = app.caps;
    EXPECT_EQ(app.ConfirmDevice(&caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5),
              c.confirm)
        << "op caps " << c.opCaps;
    direct3d.formatChecks = 0;
    EXPECT_EQ(app.ChooseBumpFormat(), c.chosen) << "op caps " << c.opCaps;
    EXPECT_EQ(direct3d.formatChecks, 3) << "all three formats are always tested";
    app.direct3D = nullptr;
  }
}

}  // namespace
