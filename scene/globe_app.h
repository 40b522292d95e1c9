// GlobeApp: the program's scene. A textured unit sphere, spinning about its vertical
// axis in front of a backdrop mesh drawn around the camera, turned and moved by mouse
// drags; it replaces the shell's hooks.
#pragma once

#include "app_shell.h"
#include "camera_path.h"
#include "d3dx9.h"
#include "earth_layers.h"
#include "mesh_container.h"
#include "sphere_rotator.h"

class TextFont;

// The globe's vertex: position (= normal), normal, sphere-map pair, map pair.
struct GlobeVertex {
  float x, y, z;
  float nx, ny, nz;
  float sphereU, sphereV;
  float mapU, mapV;
};
static_assert(sizeof(GlobeVertex) == 40);
constexpr DWORD kGlobeFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;

// Bands from pole to pole and sectors around the axis of one globe strip.
struct GlobeTessellation {
  int bands;
  int sectors;
};

// The spin of the globe in radians, for the whole process; never reduced.
extern float spinAngle;

class GlobeApp : public AppShell {
 public:
  GlobeApp();
  // Frees the font and the mesh when FinalCleanup never ran (a failed start).
  ~GlobeApp() override;

  HRESULT ConfirmDevice(D3DCAPS9* caps, DWORD behavior, D3DFORMAT adapterFormat,
                        D3DFORMAT backBufferFormat) override;
  HRESULT OneTimeSceneInit() override;
  HRESULT InitDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;
  HRESULT FinalCleanup() override;
  LRESULT MsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) override;
  // Counts the frame, and writes its view to the camera path being saved.
  void FrameCaptured(int32_t number) override;
  // Renames the saved camera path into place; false, with one line on standard error,
  // when it cannot be. True when no path is being saved.
  bool SaveCameraPath();

  HRESULT CreateGlobeVertexBuffer();
  void FillGlobeVertices();
  // Render's first part: the backdrop mesh around the eye, with its transforms and states.
  void DrawBackdrop();
  // The first bump-map format the created device can use, or D3DFMT_UNKNOWN.
  D3DFORMAT ChooseBumpFormat();

  bool spinForward = true;
  float eyeY = 0.0f;
  float eyeZ = 0.0f;
  TextFont* font = nullptr;
  SphereRotator rotator;
  IDirect3DTexture9* globeTexture = nullptr;
  MeshContainer* mesh = nullptr;
  D3DXMATRIX world{};
  D3DXMATRIX view{};
  D3DXMATRIX projection{};
  D3DFORMAT bumpFormat = D3DFMT_UNKNOWN;
  IDirect3DVertexBuffer9* vertexBuffer = nullptr;
  GlobeTessellation tessellation{};  // the bands and sectors of vertexBuffer
  int vertexCount = 0;
  int highTessellation = 1;
  char textureFile[260] = {};
  // Extensions; zero and empty leave the scene as the 560-byte record alone makes it.
  float tiltDegrees = 0.0f;             // lean of the spin axis towards the viewer
  std::vector<CameraView> cameraPath;   // views to record instead of the spin and the mouse
  CameraPathWriter pathWriter;          // open while the views are saved
  char savePathFile[260] = {};          // its CP932 name, for messages
  CameraView shownView;                 // what the last FrameMove made the transforms of
  int64_t loopPosition = 0;             // a loop's steps from its first frame, modulo its frames
  EarthLayers layers;  // the chosen look beyond the plain globe

 private:
  void Spin();
  void FollowCameraPath();
  bool FormatPasses(const D3DCAPS9& deviceCaps, D3DFORMAT adapterFormat, D3DFORMAT format);
  void SetBackdropStates(const D3DXMATRIX& backdropView);
  void SetGlobeStates();
  void ResetStates();
};
