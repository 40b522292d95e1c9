// A device that writes down every call the scene makes, with its arguments, and then
// passes the call on to a real device, so that tests can check the order of calls; and
// the texts it writes for the state calls. Tests derive from it to change what one
// call answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "d3d9.h"

class RecordingDevice : public IDirect3DDevice9 {
 public:
  explicit RecordingDevice(IDirect3DDevice9* real) : real_(real) {}
  std::vector<std::string> calls;
  // Runs when the device cursor is moved, before the move.
  std::function<void()> onCursorMove;

  ULONG AddRef() override { return real_->AddRef(); }
  ULONG Release() override { return real_->Release(); }
  HRESULT TestCooperativeLevel() override { return real_->TestCooperativeLevel(); }
  HRESULT GetDirect3D(IDirect3D9** d) override { return real_->GetDirect3D(d); }
  HRESULT GetDeviceCaps(D3DCAPS9* c) override { return real_->GetDeviceCaps(c); }
  HRESULT GetDisplayMode(UINT s, D3DDISPLAYMODE* m) override { return real_->GetDisplayMode(s, m); }
  HRESULT SetCursorProperties(UINT x, UINT y, IDirect3DSurface9* i) override {
    return real_->SetCursorProperties(x, y, i);
  }
  void SetCursorPosition(int x, int y, DWORD f) override {
    if (onCursorMove) onCursorMove();
    real_->SetCursorPosition(x, y, f);
  }
  BOOL ShowCursor(BOOL s) override { return real_->ShowCursor(s); }
  HRESULT Reset(D3DPRESENT_PARAMETERS* p) override { return real_->Reset(p); }
  HRESULT Present(const RECT* a, const RECT* b, HWND w, const void* r) override { return real_->Present(a, b, w, r); }
  HRESULT GetBackBuffer(UINT s, UINT i, D3DBACKBUFFER_TYPE t, IDirect3DSurface9** b) override {
    return real_->GetBackBuffer(s, i, t, b);
  }
  HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DTexture9** t,
                        HANDLE* s) override {
    return real_->CreateTexture(w, h, l, u, f, p, t, s);
  }
  HRESULT CreateVertexBuffer(UINT l, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer9** b, HANDLE* s) override {
    return real_->CreateVertexBuffer(l, u, f, p, b, s);
  }
  HRESULT CreateIndexBuffer(UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DIndexBuffer9** b, HANDLE* s) override {
    return real_->CreateIndexBuffer(l, u, f, p, b, s);
  }
  HRESULT CreateRenderTarget(UINT w, UINT h, D3DFORMAT f, D3DMULTISAMPLE_TYPE m, DWORD q, BOOL l,
                             IDirect3DSurface9** s, HANDLE* h2) override {
    return real_->CreateRenderTarget(w, h, f, m, q, l, s, h2);
  }
  HRESULT StretchRect(IDirect3DSurface9* s, const RECT* sr, IDirect3DSurface9* d, const RECT* dr,
                      D3DTEXTUREFILTERTYPE f) override {
    return real_->StretchRect(s, sr, d, dr, f);
  }
  HRESULT GetRenderTarget(DWORD i, IDirect3DSurface9** t) override { return real_->GetRenderTarget(i, t); }
  HRESULT GetFrontBufferData(UINT s, IDirect3DSurface9* d) override { return real_->GetFrontBufferData(s, d); }
  HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT f, D3DPOOL p, IDirect3DSurface9** s,
                                      HANDLE* h2) override {
    return real_->CreateOffscreenPlainSurface(w, h, f, p, s, h2);
  }
  HRESULT BeginScene() override { return Log("BeginScene", real_->BeginScene()); }
  HRESULT EndScene() override { return Log("EndScene", real_->EndScene()); }
  HRESULT Clear(DWORD c, const D3DRECT* r, DWORD f, D3DCOLOR col, float z, DWORD s) override {
    return Log("Clear", real_->Clear(c, r, f, col, z, s));
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX* m) override {
    return Log("SetTransform " + std::to_string(s), real_->SetTransform(s, m));
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) override { return real_->GetTransform(s, m); }
  HRESULT SetViewport(const D3DVIEWPORT9* v) override { return real_->SetViewport(v); }
  HRESULT GetViewport(D3DVIEWPORT9* v) override { return real_->GetViewport(v); }
  HRESULT SetMaterial(const D3DMATERIAL9* m) override {
    return Log("SetMaterial " + std::to_string(m->Diffuse.a), real_->SetMaterial(m));
  }
  HRESULT SetLight(DWORD i, const D3DLIGHT9* l) override { return real_->SetLight(i, l); }
  HRESULT LightEnable(DWORD i, BOOL e) override { return real_->LightEnable(i, e); }
  HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override {
    return Log("SetRenderState " + std::to_string(s) + " " + std::to_string(v), real_->SetRenderState(s, v));
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override { return real_->GetRenderState(s, v); }
  HRESULT BeginStateBlock() override { return real_->BeginStateBlock(); }
  HRESULT EndStateBlock(IDirect3DStateBlock9** b) override { return real_->EndStateBlock(b); }
  HRESULT SetTexture(DWORD s, IDirect3DBaseTexture9* t) override {
    return Log("SetTexture " + std::to_string(s) + (t ? " set" : " none"), real_->SetTexture(s, t));
  }
  HRESULT GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD* v) override {
    return real_->GetTextureStageState(s, t, v);
  }
  HRESULT SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v) override {
    return Log("SetTextureStageState " + std::to_string(s) + " " + std::to_string(t) + " " + std::to_string(v),
               real_->SetTextureStageState(s, t, v));
  }
  HRESULT GetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD* v) override { return real_->GetSamplerState(s, t, v); }
  HRESULT SetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD v) override {
    return Log("SetSamplerState " + std::to_string(s) + " " + std::to_string(t) + " " + std::to_string(v),
               real_->SetSamplerState(s, t, v));
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE t, UINT s, UINT c) override {
    return Log("DrawPrimitive " + std::to_string(t) + " " + std::to_string(s) + " " + std::to_string(c),
               real_->DrawPrimitive(t, s, c));
  }
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE t, INT b, UINT m, UINT n, UINT s, UINT c) override {
    return Log("DrawIndexedPrimitive", real_->DrawIndexedPrimitive(t, b, m, n, s, c));
  }
  HRESULT SetFVF(DWORD f) override { return Log("SetFVF " + std::to_string(f), real_->SetFVF(f)); }
  HRESULT SetStreamSource(UINT s, IDirect3DVertexBuffer9* b, UINT o, UINT st) override {
    return Log("SetStreamSource " + std::to_string(s) + " " + std::to_string(o) + " " + std::to_string(st),
               real_->SetStreamSource(s, b, o, st));
  }
  HRESULT SetIndices(IDirect3DIndexBuffer9* i) override { return Log("SetIndices", real_->SetIndices(i)); }

 private:
  HRESULT Log(std::string call, HRESULT result) {
    calls.push_back(std::move(call));
    return result;
  }
  IDirect3DDevice9* real_;
};

namespace recorded {

inline std::string State(const char* kind, DWORD a, DWORD b, DWORD c) {
  return std::string(kind) + " " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
}
inline std::string Rs(DWORD state, DWORD value) {
  return "SetRenderState " + std::to_string(state) + " " + std::to_string(value);
}
inline std::string Tss(DWORD stage, DWORD type, DWORD value) { return State("SetTextureStageState", stage, type, value); }
inline std::string Samp(DWORD sampler, DWORD type, DWORD value) { return State("SetSamplerState", sampler, type, value); }

}  // namespace recorded
