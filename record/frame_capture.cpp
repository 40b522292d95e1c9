// Frame grabbing, BMP files and the calls of the movie writer, frame by frame.
#include "frame_capture.h"

#include <cstdio>
#include <cstring>

#include "d3dx9.h"
#include "windows.h"

FrameCapture frameCapture;

namespace {

// "作成失敗" (could not create) in CP932.
const char kCreateFailed[] = "\x8D\xEC\x90\xAC\x8E\xB8\x94\x73";

void ShowFailure(const char* text) { MessageBoxA(nullptr, text, nullptr, MB_OK); }

}  // namespace

FrameCapture::FrameCapture() = default;

FrameCapture::~FrameCapture() {
  if (movieLibrary) FreeLibrary(movieLibrary);
}

bool FrameCapture::SetOutputPath(const char* path) {
  if (!path || std::strlen(path) >= sizeof outputPath) return false;
  std::strcpy(outputPath, path);
  return true;
}

bool FrameCapture::GrabImage(const char* fileName) {
  if (FAILED(device->GetFrontBufferData(0, surface))) {
    ShowFailure("GetFrontBufferData fail");
    return false;
  }
  if (FAILED(D3DXSaveSurfaceToFileA(fileName, D3DXIFF_BMP, surface, nullptr, &sourceRect))) {
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
