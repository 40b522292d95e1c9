// The camera path text format: writing it frame by frame, and reading it back with
// every size, count and number checked before it is used.
#include "camera_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "win32ext.h"

namespace {

constexpr size_t kNumbersPerFrame = 10;
constexpr float kMaxMagnitude = 1.0e6f;     // spin and pan
constexpr float kMaxEyeDistance = 1000.0f;  // eye y and z
constexpr float kMinEyeOffAxis = 0.01f;     // eye z: on the axis the view has no "up"

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A token echoed in a message: at most 24 bytes, anything but printable ASCII escaped.
std::string Echo(std::string_view token) {
  std::string out = "'";
  for (size_t i = 0; i < token.size() && i < 24; ++i) {
    auto byte = static_cast<unsigned char>(token[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      out += char(byte);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    }
  }
  return out + (token.size() > 24 ? "...'" : "'");
}

bool HasControlBytes(std::string_view line) {
  for (char c : line) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) return true;
  }
  return false;
}

// One line's ten numbers into a view; the reason when they are not a view.
std::optional<std::string> ParseFrame(std::string_view line, CameraView& view) {
  float numbers[kNumbersPerFrame];
  size_t count = 0;
  while (true) {
    line = TrimSpaces(line);
    if (line.empty()) break;
    size_t end = line.find_first_of(" \t");
    std::string_view token = line.substr(0, end);
    line.remove_prefix(token.size());
    if (count == kNumbersPerFrame) {
      count = kNumbersPerFrame + 1;
      break;
    }
    float value = 0;
    auto [stop, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (stop != token.data() + token.size() || (error != std::errc{} && error != std::errc::result_out_of_range))
      return Echo(token) + " is not a number";
    if (error == std::errc::result_out_of_range) return Echo(token) + " is out of range";
    if (!std::isfinite(value)) return Echo(token) + " is not a finite number";
    numbers[count++] = value;
  }
  if (count != kNumbersPerFrame) {
    return "a frame is 10 numbers (spin, orientation x y z w, pan x y z, eye y z), this line has " +
           (count > kNumbersPerFrame ? std::string("more") : std::to_string(count));
  }
  view.spinAngle = numbers[0];
  view.orientation = {numbers[1], numbers[2], numbers[3], numbers[4]};
  view.pan = {numbers[5], numbers[6], numbers[7]};
  view.eyeY = numbers[8];
  view.eyeZ = numbers[9];
  for (int i : {0, 5, 6, 7}) {
    if (std::fabs(numbers[i]) > kMaxMagnitude) return "the spin and the pan must lie within -1e6 to 1e6";
  }
  double length = std::sqrt(double(numbers[1]) * numbers[1] + double(numbers[2]) * numbers[2] +
                            double(numbers[3]) * numbers[3] + double(numbers[4]) * numbers[4]);
  if (std::fabs(length - 1.0) > 1e-3) return "the orientation x y z w must have length 1 (a rotation)";
  if (std::fabs(view.eyeY) > kMaxEyeDistance || std::fabs(view.eyeZ) > kMaxEyeDistance)
    return "the eye must lie within -1000 to 1000";
  if (std::fabs(view.eyeZ) < kMinEyeOffAxis) return "the eye z must be at least 0.01 away from 0";
  return std::nullopt;
}

}  // namespace

std::string CameraPathLine(const CameraView& view) {
  char line[kMaxCameraPathLine];
  std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", double(view.spinAngle),
                double(view.orientation.x), double(view.orientation.y), double(view.orientation.z),
                double(view.orientation.w), double(view.pan.x), double(view.pan.y), double(view.pan.z),
                double(view.eyeY), double(view.eyeZ));
  return line;
}

bool ParseCameraPath(std::string_view text, std::vector<CameraView>& views, std::string& error) {
  views.clear();
  size_t lineNumber = 0;
  auto fail = [&](const std::string& reason) {
    error = "line " + std::to_string(lineNumber) + ": " + reason;
    views.clear();
    return false;
  };
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (line.size() > kMaxCameraPathLine)
      return fail("longer than " + std::to_string(kMaxCameraPathLine) + " bytes");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (HasControlBytes(line)) return fail("not text (control bytes), so not a camera path");
    if (lineNumber == 1) {
      if (TrimSpaces(line) != kCameraPathHeader)
        return fail("not a camera path: the first line must be '" + std::string(kCameraPathHeader) + "'");
      continue;
    }
    std::string_view content = TrimSpaces(line);
    if (content.empty() || content[0] == '#') continue;
    if (views.size() == kMaxCameraPathFrames)
      return fail("more than " + std::to_string(kMaxCameraPathFrames) + " frames");
    CameraView view;
    if (std::optional<std::string> reason = ParseFrame(content, view)) return fail(*reason);
    views.push_back(view);
  }
  if (lineNumber == 0) {
    lineNumber = 1;
    return fail("the file is empty, not a camera path");
  }
  if (views.empty()) return fail("the path ends before its first frame");
  return true;
}

bool ReadCameraPath(const char* cp932Path, std::vector<CameraView>& views, std::string& error) {
  std::optional<std::string> path = win32ext::ToSystemPath(cp932Path);
  if (!path) {
    error = "the name is not code page 932 text";
    return false;
  }
  std::string text;
  switch (win32ext::ReadSmallFile(*path, kMaxCameraPathBytes, text)) {
    case win32ext::SmallFileResult::Read:
      return ParseCameraPath(text, views, error);
    case win32ext::SmallFileResult::Missing:
      error = "no such file";
      return false;
    case win32ext::SmallFileResult::NotRegular:
      error = "not a regular file";
      return false;
    case win32ext::SmallFileResult::TooLarge:
      error = "larger than " + std::to_string(kMaxCameraPathBytes >> 20) + " MiB, which no camera path is";
      return false;
    case win32ext::SmallFileResult::Failed:
      break;
  }
  error = std::string("cannot be read: ") + std::strerror(errno);
  return false;
}

CameraPathWriter::~CameraPathWriter() { Discard(); }

void CameraPathWriter::Discard() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  unlink(temporary_.c_str());
}

bool CameraPathWriter::Open(const char* cp932Path, std::string& error) {
  Discard();
  std::optional<std::string> path = win32ext::ToSystemPath(cp932Path);
  if (!path) {
    error = "the name is not code page 932 text";
    return false;
  }
  // A folder or a FIFO in the target's place would only show at the rename, when the
  // recording is over.
  error = win32ext::WriteProblem(cp932Path);
  if (!error.empty()) return false;
  target_ = *path;
  temporary_ = target_ + ".XXXXXX";
  int fd = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // A path is the user's document, readable like the movie (mkostemp makes it private).
  fchmod(fd, 0644);
  file_ = fdopen(fd, "w");
  if (!file_) {
    error = std::strerror(errno);
    close(fd);
    unlink(temporary_.c_str());
    return false;
  }
  std::fprintf(file_, "%s\n# spin  orientation x y z w  pan x y z  eye y z\n",
               std::string(kCameraPathHeader).c_str());
  return true;
}

void CameraPathWriter::Append(const CameraView& view) {
  if (file_) std::fputs(CameraPathLine(view).c_str(), file_);
}

bool CameraPathWriter::Finish(std::string& error) {
  if (!file_) {
    error = "it was never opened";
    return false;
  }
  bool written = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
  int writeError = errno;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (written && rename(temporary_.c_str(), target_.c_str()) == 0) return true;
  error = std::strerror(written ? errno : writeError);
  unlink(temporary_.c_str());
  return false;
}
