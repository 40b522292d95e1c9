// Camera paths: every recorded frame's view (spin angle, the rotator's orientation and
// pan, the eye) in a small text file a person can read and edit, and the reader that
// takes such a file back, as hostile input, to record the same motion again at any size.
//
//   vesk-camera-path 1
//   # spin  orientation x y z w  pan x y z  eye y z
//   0 0 0 0 1 0 0 0 0 -3
//
// One frame a line, ten numbers apart by spaces; '#' lines and blank lines are skipped.
// Numbers are written with nine significant digits, which read back as the same floats.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "d3dx9math.h"

// What a frame's world and view transforms are made of, besides the tilt.
struct CameraView {
  float spinAngle = 0.0f;
  D3DXQUATERNION orientation{0.0f, 0.0f, 0.0f, 1.0f};
  D3DXVECTOR3 pan{0.0f, 0.0f, 0.0f};
  float eyeY = 0.0f;
  float eyeZ = 0.0f;
};

inline constexpr std::string_view kCameraPathHeader = "vesk-camera-path 1";
// Limits of a file, checked before anything is allocated for it.
inline constexpr size_t kMaxCameraPathFrames = 99999;
inline constexpr size_t kMaxCameraPathBytes = 32u << 20;
inline constexpr size_t kMaxCameraPathLine = 1024;

// The line (with its '\n') of one view.
std::string CameraPathLine(const CameraView& view);
// The views of a file's text; false with error "line N: reason" when any line is bad.
bool ParseCameraPath(std::string_view text, std::vector<CameraView>& views, std::string& error);
// Reads and parses the file at a CP932 path; error says why not ("line N: ...", or what
// is wrong with the file as a whole).
bool ReadCameraPath(const char* cp932Path, std::vector<CameraView>& views, std::string& error);

// Writes a path frame by frame into a temporary file beside the target, renamed into
// place by Finish, so that no half-written path ever has the target's name.
class CameraPathWriter {
 public:
  CameraPathWriter() = default;
  ~CameraPathWriter();  // removes an unfinished temporary file
  CameraPathWriter(const CameraPathWriter&) = delete;
  CameraPathWriter& operator=(const CameraPathWriter&) = delete;

  // Makes the temporary file and writes the header; false with the reason in error.
  bool Open(const char* cp932Path, std::string& error);
  bool IsOpen() const { return file_ != nullptr; }
  void Append(const CameraView& view);
  // Writes out, closes and renames; false (nothing left behind) with the reason.
  bool Finish(std::string& error);

 private:
  void Discard();
  std::FILE* file_ = nullptr;
  std::string temporary_;
  std::string target_;
};
