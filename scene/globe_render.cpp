// Each frame: the spin (or a camera path's view) and transforms (FrameMove), then the
// backdrop mesh around the eye and the textured globe strip, or the sun-lit globe, and
// the chosen layers over it (Render). Nothing else is drawn: the backdrop, drawn with
// the depth test always passing, takes the place of a clear.
#include <algorithm>
#include <numbers>

#include "frame_capture.h"
#include "globe_app.h"

float spinAngle = 0.0f;

// A seamless loop counts its steps, so that the angle never drifts however many frames
// it has: frame N + 1 is frame 1 exactly. The shell's step is 0 before the first grab
// and the loop's step after each one, so only whether there is one counts here.
void GlobeApp::Spin() {
  if (loopTurns == 0) {
    spinAngle += spinForward ? elapsedTime : -elapsedTime;
    return;
  }
  if (elapsedTime == 0.0f) return;
  const int64_t frames = frameCapture.frameCount > 0 ? frameCapture.frameCount : 1;
  loopPosition = (loopPosition + (spinForward ? 1 : frames - 1)) % frames;
  spinAngle = float(2.0 * std::numbers::pi * double(loopPosition * loopTurns % frames) / double(frames));
}

// Frame n of the recording takes the path's view n (the last one for any frame after).
void GlobeApp::FollowCameraPath() {
  size_t number = frameCapture.frameNumber > 0 ? size_t(frameCapture.frameNumber) : 1;
  const CameraView& frame = cameraPath[std::min(number, cameraPath.size()) - 1];
  spinAngle = frame.spinAngle;
  rotator.orientation = frame.orientation;
  D3DXMatrixRotationQuaternion(&rotator.rotation, &frame.orientation);
  D3DXMatrixTranslation(&rotator.pan, frame.pan.x, frame.pan.y, frame.pan.z);
  eyeY = frame.eyeY;
  eyeZ = frame.eyeZ;
}

HRESULT GlobeApp::FrameMove() {
  if (!cameraPath.empty()) {
    FollowCameraPath();
  } else if (!rotator.dragging) {
    Spin();
  }
  D3DXMATRIX spin;
  D3DXMatrixRotationY(&spin, -spinAngle);
  if (tiltDegrees != 0.0f) {
    // The axis leans about the screen's horizontal; positive brings the north pole nearer.
    D3DXMATRIX tilt;
    D3DXMatrixRotationX(&tilt, -tiltDegrees * 0.017453292f);
    D3DXMatrixMultiply(&spin, &spin, &tilt);
  }
  D3DXMatrixMultiply(&world, &spin, &rotator.rotation);
  D3DXMatrixMultiply(&world, &world, &rotator.pan);
  D3DXVECTOR3 eye(0.0f, eyeY, eyeZ), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  shownView = {spinAngle, rotator.orientation, {rotator.pan._41, rotator.pan._42, rotator.pan._43}, eyeY, eyeZ};
  FillGlobeVertices();
  return S_OK;
}

void GlobeApp::SetBackdropStates(const D3DXMATRIX& backdropView) {
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, 10.0f, 10.0f, 10.0f);
  device->SetTransform(D3DTS_WORLD, &scale);
  device->SetTransform(D3DTS_VIEW, &backdropView);
  device->SetRenderState(D3DRS_WRAP0, 0);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  if (caps.TextureAddressCaps & D3DPTADDRESSCAPS_MIRROR) {
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  }
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
}

// The modulate setting is replaced before the draw, so the globe shows its texture unlit.
void GlobeApp::SetGlobeStates() {
  device->SetRenderState(D3DRS_WRAP0, D3DWRAPCOORD_0 | D3DWRAPCOORD_1);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTexture(0, globeTexture);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
  device->SetFVF(kGlobeFvf);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
}

void GlobeApp::ResetStates() {
  device->SetTexture(0, nullptr);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  for (DWORD stage = 1; stage <= 2; ++stage) {
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  }
}

// The backdrop follows only the camera's orientation: its view has no translation.
void GlobeApp::DrawBackdrop() {
  D3DXMATRIX backdropView = view;
  backdropView._41 = backdropView._42 = backdropView._43 = 0.0f;
  SetBackdropStates(backdropView);
  mesh->Render(device, true, true);
}

HRESULT GlobeApp::Render() {
  if (FAILED(device->BeginScene())) return S_OK;
  DrawBackdrop();
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &view);
  if (layers.look.sun) {
    layers.DrawLitGlobe(device, world, globeTexture);
  } else {
    SetGlobeStates();
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(GlobeVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, UINT(vertexCount - 2));
  }
  if (layers.Chosen()) layers.DrawOverGlobe(device, world, view, spinAngle);
  ResetStates();
  device->EndScene();
  return S_OK;
}
