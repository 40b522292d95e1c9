// The scene's resources over the device's life: text font, mesh, globe texture, vertex
// buffer, samplers and projection; the bump-map checks that decide which devices qualify;
// the scene's share of the window messages; and the saving of a camera path.
#include "globe_app.h"

#include <cstdio>
#include <new>

#include "media_texture.h"
#include "win32ext.h"
#include "text_font.h"

GlobeApp::GlobeApp() {
  windowTitle = "Quelmo: Direct3D Vesk";
  enumeration.usesDepthBuffer = true;
  showCursorWhenFullscreen = true;
  // Without the font the scene still runs; every hook skips a missing one.
  font = new (std::nothrow) TextFont("Arial", 12, FontBold);
}

GlobeApp::~GlobeApp() {
  delete font;
  delete mesh;
}

bool GlobeApp::FormatPasses(const D3DCAPS9& deviceCaps, D3DFORMAT adapterFormat, D3DFORMAT format) {
  return direct3D->CheckDeviceFormat(deviceCaps.AdapterOrdinal, deviceCaps.DeviceType, adapterFormat, 0,
                                     D3DRTYPE_TEXTURE, format) >= 0;
}

// Accepts devices that can bump-map with a signed format; the luminance formats first.
HRESULT GlobeApp::ConfirmDevice(D3DCAPS9* deviceCaps, DWORD, D3DFORMAT adapterFormat, D3DFORMAT) {
  if (deviceCaps->TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAPLUMINANCE) {
    if (FormatPasses(*deviceCaps, adapterFormat, D3DFMT_X8L8V8U8)) return S_OK;
    if (FormatPasses(*deviceCaps, adapterFormat, D3DFMT_L6V5U5)) return S_OK;
  }
  if ((deviceCaps->TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP) && FormatPasses(*deviceCaps, adapterFormat, D3DFMT_V8U8))
    return S_OK;
  return E_FAIL;
}

D3DFORMAT GlobeApp::ChooseBumpFormat() {
  D3DFORMAT adapterFormat = settings.CurrentDisplayMode().Format;
  bool v8u8 = FormatPasses(caps, adapterFormat, D3DFMT_V8U8);
  bool l6v5u5 = FormatPasses(caps, adapterFormat, D3DFMT_L6V5U5);
  bool x8l8v8u8 = FormatPasses(caps, adapterFormat, D3DFMT_X8L8V8U8);
  bool plain = caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP;
  bool luminance = caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAPLUMINANCE;
  if (v8u8 && plain) return D3DFMT_V8U8;
  if (l6v5u5 && luminance) return D3DFMT_L6V5U5;
  if (x8l8v8u8 && luminance) return D3DFMT_X8L8V8U8;
  return D3DFMT_UNKNOWN;
}

HRESULT GlobeApp::OneTimeSceneInit() {
  SetClassLongA(window, GCL_HCURSOR, LONG(reinterpret_cast<intptr_t>(LoadCursorA(nullptr, IDC_SIZEALL))));
  mesh = new (std::nothrow) MeshContainer("Backdrop_Mesh");
  return mesh ? S_OK : E_OUTOFMEMORY;
}

HRESULT GlobeApp::InitDeviceObjects() {
  if (font) font->InitDeviceObjects(device);
  HRESULT result = mesh->Create(device, "vesk.x");
  if (FAILED(result)) {
    ReportMediaFailure("backdrop mesh", "vesk.x", "not a valid .x file (damaged, or no mesh in it)", result);
    return ERR_MEDIA_NOT_FOUND;
  }
  result = CreateTextureFromMediaFile(device, textureFile, &globeTexture, D3DFMT_R5G6B5);
  if (FAILED(result)) {
    ReportMediaFailure("globe picture", textureFile, kUnreadablePicture, result);
    return ERR_MEDIA_NOT_FOUND;
  }
  if (layers.Chosen()) {
    result = layers.Create(device);
    if (FAILED(result)) return result;
  }
  bumpFormat = ChooseBumpFormat();
  if (bumpFormat == D3DFMT_UNKNOWN) return E_FAIL;
  return FAILED(CreateGlobeVertexBuffer()) ? E_FAIL : S_OK;
}

HRESULT GlobeApp::RestoreDeviceObjects() {
  if (font) font->RestoreDeviceObjects();
  mesh->RestoreDeviceObjects(device);
  for (DWORD sampler = 0; sampler < 3; ++sampler) {
    device->SetSamplerState(sampler, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetSamplerState(sampler, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    device->SetSamplerState(sampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(sampler, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  }
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  float aspect = float(backBufferDesc.Width) / float(backBufferDesc.Height);
  D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f, aspect, 0.1f, 225.0f);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  rotator.Resize(int(backBufferDesc.Width), int(backBufferDesc.Height), 3.0f);
  rotator.SetPanScale(1.0f);
  return S_OK;
}

HRESULT GlobeApp::InvalidateDeviceObjects() {
  if (font) font->InvalidateDeviceObjects();
  if (mesh) mesh->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT GlobeApp::DeleteDeviceObjects() {
  layers.Delete();
  if (globeTexture) globeTexture->Release();
  globeTexture = nullptr;
  if (font) font->DeleteDeviceObjects();
  if (mesh) mesh->Destroy();
  if (vertexBuffer) vertexBuffer->Release();
  vertexBuffer = nullptr;
  return S_OK;
}

HRESULT GlobeApp::FinalCleanup() {
  if (font) {
    font->InvalidateDeviceObjects();
    font->DeleteDeviceObjects();
  }
  delete font;
  font = nullptr;
  delete mesh;
  mesh = nullptr;
  return S_OK;
}

LRESULT GlobeApp::MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  rotator.HandleMouse(hWnd, message, wParam, lParam);
  if (message == WM_CONTEXTMENU) return 0;
  return AppShell::MsgProc(hWnd, message, wParam, lParam);
}

void GlobeApp::FrameCaptured(int32_t number) {
  AppShell::FrameCaptured(number);
  pathWriter.Append(shownView);
}

bool GlobeApp::SaveCameraPath() {
  if (!pathWriter.IsOpen()) return true;
  std::string error;
  if (pathWriter.Finish(error)) return true;
  std::string name = win32ext::ToSystemPath(savePathFile).value_or(savePathFile);
  std::fprintf(stderr, "vesk: cannot write the camera path '%s': %s\n", name.c_str(), error.c_str());
  return false;
}
