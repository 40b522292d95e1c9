// Frame grabbing, BMP files and the calls of the movie writer, frame by frame. A frame
// the writer cannot add ends the recording with the movie finished up to the frame
// before; the frame folder is never used through a symbolic link.
#include "frame_capture.h"

#include <errno.h>

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
// "書込失敗" (could not write) in CP932.
const char kWriteFailed[] = "\x8F\x91\x8D\x9E\x8E\xB8\x94\x73";
// The folder of the frame files, relative to the current one.
const char kFrameFolder[] = "BMP";

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

void ShowFailure(const char* text) { MessageBoxA(nullptr, text, nullptr, MB_OK); }

// The line on standard error beside a failed save's message box.
void ReportWriteFailure(const char* what, const char* path, const char* otherwise) {
  std::string problem = win32ext::WriteProblem(path);
  std::string name = win32ext::ToSystemPath(path).value_or(path);
  win32ext::ReportProblem("vesk: cannot %s '%s': %s\n", what, name.c_str(),
                          problem.empty() ? otherwise : problem.c_str());
}

// The writer sets errno from the system call that failed; 0 means it refused for a
// reason of its own, which it has printed.
std::string WriterReason(int error) {
  return error != 0 ? std::strerror(error) : "the movie writer refused it (see its message above)";
}

// Files in a frame folder that is a link would be written and deleted in whatever folder
// it leads to, so such a folder is refused.
bool FrameFolderIsALink() {
  if (!win32ext::IsSymbolicLink(kFrameFolder)) return false;
  win32ext::ReportProblem("vesk: cannot save the frames in '%s': it is a symbolic link, which is not followed\n",
                          kFrameFolder);
  return true;
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

RECT FrameCapture::WindowArea() const {
  RECT client{};
  POINT origin{0, 0};
  if (!window || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0 ||
      !ClientToScreen(window, &origin))
    return sourceRect;
  return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

bool FrameCapture::ScaleIntoRecordingSize(const RECT& area) {
  if (!scaledSurface &&
      FAILED(device->CreateOffscreenPlainSurface(UINT(Width(sourceRect)), UINT(Height(sourceRect)), D3DFMT_A8R8G8B8,
                                                 D3DPOOL_SCRATCH, &scaledSurface, nullptr)))
    return false;
  return SUCCEEDED(D3DXLoadSurfaceFromSurface(scaledSurface, nullptr, nullptr, surface, nullptr, &area,
                                              D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 0));
}

bool FrameCapture::GrabImage(const char* fileName) {
  if (FrameFolderIsALink()) {
    ShowFailure("D3DXSaveSurfaceToFile");
    return false;
  }
  HRESULT result = device->GetFrontBufferData(0, surface);
  if (FAILED(result)) {
    win32ext::ReportProblem("vesk: cannot read the screen for frame %d (error 0x%08X)\n", frameNumber,
                            unsigned(result));
    ShowFailure("GetFrontBufferData fail");
    return false;
  }
  // A window of another size than at the start (full screen, or resized) would give a
  // frame of another size, or a part of the picture: it is scaled to the movie's size.
  RECT area = WindowArea();
  IDirect3DSurface9* image = surface;
  const RECT* rect = &area;
  if (Width(area) != Width(sourceRect) || Height(area) != Height(sourceRect)) {
    if (!ScaleIntoRecordingSize(area)) {
      win32ext::ReportProblem("vesk: cannot scale the window's %dx%d picture to the movie's %dx%d for frame %d\n",
                              Width(area), Height(area), Width(sourceRect), Height(sourceRect), frameNumber);
      ShowFailure("D3DXSaveSurfaceToFile");
      return false;
    }
    image = scaledSurface;
    rect = nullptr;
  }
  if (FAILED(D3DXSaveSurfaceToFileA(fileName, D3DXIFF_BMP, image, nullptr, rect))) {
    ReportWriteFailure("save the frame", fileName, "the disk may be full");
    ShowFailure("D3DXSaveSurfaceToFile");
    return false;
  }
  return true;
}

bool FrameCapture::CaptureFrame() {
  CreateDirectoryA(kFrameFolder, nullptr);
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
    errno = 0;
    finished = bmpfileToAvifile(kMovieFinish, writerParams) != 0;
    if (!finished) EndWithWriterFailure(errno, false);
    return false;
  } else {
    errno = 0;
    if (bmpfileToAvifile(kMovieAppend, writerParams) == 0) return EndWithWriterFailure(errno, true);
  }
  if (!FrameFolderIsALink()) DeleteFileA(fileName);
  ++frameNumber;
  return true;
}

bool FrameCapture::EndWithWriterFailure(int error, bool movieOpen) {
  if (movieOpen) {
    // The movie so far is finished, so that it plays to the frame before this one.
    writerParams.imageFile = nullptr;
    bmpfileToAvifile(kMovieFinish, writerParams);
  }
  std::string name = win32ext::ToSystemPath(outputPath).value_or(outputPath);
  win32ext::ReportProblem("vesk: cannot add frame %d to the movie '%s': %s; the movie ends at frame %d\n",
                          frameNumber, name.c_str(), WriterReason(error).c_str(), frameNumber - 1);
  ShowFailure(kWriteFailed);
  return false;
}
