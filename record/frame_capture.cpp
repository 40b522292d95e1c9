// Frame grabbing, BMP files and the calls of the movie writer, frame by frame.
#include "frame_capture.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "d3dx9.h"
#include "win32ext.h"
#include "windows.h"

FrameCapture frameCapture;

namespace {

// "作成失敗" (could not create) in CP932.
const char kCreateFailed[] = "\x8D\xEC\x90\xAC\x8E\xB8\x94\x73";

void ShowFailure(const char* text) { MessageBoxA(nullptr, text, nullptr, MB_OK); }

// The line on standard error beside a failed save's message box.
void ReportWriteFailure(const char* what, const char* path, const char* otherwise) {
  std::string problem = win32ext::WriteProblem(path);
  std::string name = win32ext::ToSystemPath(path).value_or(path);
  std::fprintf(stderr, "vesk: cannot %s '%s': %s\n", what, name.c_str(), problem.empty() ? otherwise : problem.c_str());
}

}  // namespace

FrameCapture::FrameCapture() = default;

FrameCapture::~FrameCapture() {
  if (movieLibrary) FreeLibrary(movieLibrary);
}

bool FrameCapture::SetOutputPath(std::string_view path) {
  if (path.size() >= sizeof outputPath || path.find('\0') != std::string_view::npos) return false;
  std::memcpy(outputPath, path.data(), path.size());
  outputPath[path.size()] = '\0';
  return true;
}

bool FrameCapture::UseDevice(IDirect3DDevice9* newDevice) {
  device = newDevice;
  if (surface) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    if (desc.Width == displayMode.Width && desc.Height == displayMode.Height) return true;
    surface->Release();
    surface = nullptr;
  }
  return SUCCEEDED(device->CreateOffscreenPlainSurface(displayMode.Width, displayMode.Height, D3DFMT_A8R8G8B8,
                                                       D3DPOOL_SCRATCH, &surface, nullptr));
}

bool FrameCapture::GrabImage(const char* fileName) {
  HRESULT result = device->GetFrontBufferData(0, surface);
  if (FAILED(result)) {
    std::fprintf(stderr, "vesk: cannot read the screen for frame %d (error 0x%08X)\n", frameNumber, unsigned(result));
    ShowFailure("GetFrontBufferData fail");
    return false;
  }
  if (FAILED(D3DXSaveSurfaceToFileA(fileName, D3DXIFF_BMP, surface, nullptr, &sourceRect))) {
    ReportWriteFailure("save the frame", fileName, "the disk may be full");
    ShowFailure("D3DXSaveSurfaceToFile");
    return false;
  }
  return true;
}

bool FrameCapture::CaptureFrame() {
  CreateDirectoryA("BMP", nullptr);
  CreateDirectoryA("AVI", nullptr);
  char* fileName = frameFileName;
  std::snprintf(fileName, sizeof frameFileName, "BMP\\Vesk%03d.bmp", frameNumber);
  if (!GrabImage(fileName)) {
    ShowFailure("GrabImage fail.");
    return false;
  }
  writerParams.imageFile = fileName;
  if (frameNumber == 1) {
    writerParams.movieFile = outputPath;
    writerParams.rate = 1000000;
    writerParams.scale = 100000;
    writerParams.reserved28 = writerParams.reserved32 = writerParams.reserved36 = writerParams.reserved40 = 0;
    writerParams.reserved56 = 0;
    if (bmpfileToAvifile(kMovieStart, writerParams) == 0) {
      ReportWriteFailure("create the movie", outputPath, "the movie writer refused it (see its message above)");
      ShowFailure(kCreateFailed);
      return false;
    }
  } else if (frameNumber >= frameCount) {
    bmpfileToAvifile(kMovieFinish, writerParams);
    finished = true;
    return false;
  } else {
    bmpfileToAvifile(kMovieAppend, writerParams);
  }
  DeleteFileA(fileName);
  ++frameNumber;
  return true;
}
