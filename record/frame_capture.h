// The recording: after every presented frame the front buffer is read into a scratch
// surface, the window's area is saved as a numbered BMP file, the file is handed to
// the movie writer (start, append, finish) and deleted again. A frame the writer cannot
// add ends the recording, unfinished. A window that has changed size (full screen) is
// scaled into the recording's size, so every frame shows the whole scene.
#pragma once

#include <string_view>

#include "AVI2.h"
#include "d3d9.h"

struct FrameCapture {
  FrameCapture();
  ~FrameCapture();
  FrameCapture(const FrameCapture&) = delete;
  FrameCapture& operator=(const FrameCapture&) = delete;

  // Copies the movie path into outputPath; false (nothing copied) when it does not fit,
  // so that a shortened path never names a file the user did not ask for.
  bool SetOutputPath(std::string_view path);
  // Reads the front buffer through `newDevice` from now on, into a scratch surface of
  // displayMode's size (made anew when there is none of that size); false when none
  // can be made.
  bool UseDevice(IDirect3DDevice9* newDevice);

  // True while the loop shall go on; false after the last frame or a shown error.
  bool CaptureFrame();
  // Copies the front buffer and saves the window's area of it as a BMP file.
  bool GrabImage(const char* fileName);
  // Where the window's picture is on the screen now: its client area, or sourceRect
  // when there is no window or it shows nothing (minimised).
  RECT WindowArea() const;
  // Scales `area` of the front-buffer copy into scaledSurface, of sourceRect's size.
  bool ScaleIntoRecordingSize(const RECT& area);
  // The writer could not add the current frame (errno `error`): finishes the movie when
  // it is still open, says so on standard error and in a box, and returns false.
  bool EndWithWriterFailure(int error, bool movieOpen);

  int32_t frameNumber = 0;
  int32_t frameCount = 0;
  bool finished = false;
  char outputPath[135] = {};
  IDirect3DDevice9* device = nullptr;
  IDirect3DSurface9* surface = nullptr;
  D3DDISPLAYMODE displayMode{};
  RECT sourceRect{};  // the window's place when the recording began: the movie's size
  HWND window = nullptr;
  IDirect3DSurface9* scaledSurface = nullptr;  // made when the window first changes size
  HMODULE movieLibrary = nullptr;
  MemoryToAvifileFunction memoryToAvifile = nullptr;
  BmpfileToAvifileFunction bmpfileToAvifile = nullptr;
  MovieWriterParams writerParams{};
  // The current frame's file name; writerParams.imageFile points here, so the kept
  // record never points at a buffer that is gone.
  char frameFileName[32] = {};
};

// The one recording of the process.
extern FrameCapture frameCapture;
