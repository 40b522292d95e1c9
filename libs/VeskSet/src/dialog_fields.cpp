// The checks and the helper texts of the settings window.
#include "dialog_fields.h"

#include <strings.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "choices.h"
#include "image_file.h"
#include "media_search.h"
#include "settings_parser.h"
#include "win32ext.h"

namespace veskset {
namespace {

constexpr size_t kRecordPathBytes = 259;  // a path field of the record, less its zero
// What the program's texture loader accepts.
constexpr uint32_t kMaxPictureSide = 16384;
constexpr uintmax_t kMaxPictureBytes = uintmax_t{1} << 30;

// The converter's extensions, each with the format it names (index into kFormatChoices).
constexpr struct {
  std::string_view extension;
  int format;
} kConverterExtensions[] = {{".gif", 0}, {".mng", 1}, {".mpg", 2}, {".mpeg", 2},
                            {".mp4", 3}, {".webm", 4}, {".webp", 6}};

bool EndsWithNoCase(std::string_view name, std::string_view ending) {
  return name.size() > ending.size() &&
         strncasecmp(name.data() + name.size() - ending.size(), ending.data(), ending.size()) == 0;
}

// "59.0 MB": three significant digits are all an estimate is worth.
std::string ByteText(double bytes) {
  constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  size_t unit = 0;
  while (bytes >= 1000.0 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000.0;
    ++unit;
  }
  int digits = unit == 0 || bytes >= 100.0 ? 0 : bytes >= 10.0 ? 1 : 2;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f %s", digits, bytes, kUnits[unit]);
  return text;
}

std::string Decimal(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

// Converts a typed path of at most maxBytes in CP932, or says why it cannot be one.
std::optional<std::string> ToCp932(std::string_view utf8, size_t maxBytes, std::string& problem) {
  if (utf8.empty()) {
    problem = "name a file";
    return std::nullopt;
  }
  std::string cp932 = win32ext::Utf8ToCp932(utf8);
  if (cp932.size() > maxBytes) {
    problem = "too long: at most " + std::to_string(maxBytes) + " bytes in code page 932, this takes " +
              std::to_string(cp932.size());
    return std::nullopt;
  }
  return cp932;
}

// An absolute folder as the window shows it: the home folder as "~".
std::string ShownFolder(const std::filesystem::path& absolute) {
  std::string folder = absolute.lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const char* home = std::getenv("HOME");
  std::string_view homeFolder = home ? home : "";
  while (homeFolder.size() > 1 && homeFolder.back() == '/') homeFolder.remove_suffix(1);
  if (homeFolder.size() > 1 && folder.starts_with(homeFolder) &&
      (folder.size() == homeFolder.size() || folder[homeFolder.size()] == '/')) {
    folder = "~" + folder.substr(homeFolder.size());
  }
  return folder;
}

// Why no movie can be written into the folder (UTF-8, "" for the current one), or ""
// when it can: it must take a new file and have room for `bytes`.
std::string FolderProblem(const std::filesystem::path& folder, uint64_t bytes) {
  std::string name = folder.empty() ? "." : folder.string();
  std::error_code code;
  std::string shown = ShownFolder(std::filesystem::absolute(name, code));
  if (access(name.c_str(), W_OK | X_OK) != 0) {
    return "cannot write in " + shown + ": " + (errno == EROFS ? "read-only file system" : std::strerror(errno));
  }
  struct statvfs space {};
  if (bytes > 0 && statvfs(name.c_str(), &space) == 0) {
    uint64_t room = uint64_t(space.f_bavail) * space.f_frsize;
    if (room < bytes) return "only " + ByteText(double(room)) + " free in " + shown + ", the movie takes about " +
                             ByteText(double(bytes));
  }
  return "";
}

// The picture file decoded, shrunk for the window; the last one is kept, so that
// typing elsewhere in the window does not decode it again.
struct DecodedPicture {
  std::string path;
  uintmax_t size = 0;
  std::filesystem::file_time_type time;
  int side = 0;
  std::string problem;
  Preview preview;
};

Preview Shrunk(const d3dximage::ImageLevel& level, int side) {
  Preview preview;
  double scale = std::min({1.0, double(side) / level.width, double(side) / level.height});
  preview.width = std::max(1, int(std::lround(level.width * scale)));
  preview.height = std::max(1, int(std::lround(level.height * scale)));
  preview.rgb.resize(size_t(preview.width) * preview.height * 3);
  uint8_t* out = preview.rgb.data();
  for (int y = 0; y < preview.height; ++y) {
    uint32_t sy = uint32_t(uint64_t(y) * level.height / uint64_t(preview.height));
    for (int x = 0; x < preview.width; ++x) {
      uint32_t sx = uint32_t(uint64_t(x) * level.width / uint64_t(preview.width));
      uint32_t argb = level.argb[size_t(sy) * level.width + sx];
      *out++ = uint8_t(argb >> 16);
      *out++ = uint8_t(argb >> 8);
      *out++ = uint8_t(argb);
    }
  }
  return preview;
}

std::string DecodeProblem(const std::string& path, int side, Preview& preview) {
  std::error_code code;
  uintmax_t size = std::filesystem::file_size(path, code);
  if (code) return "cannot be read: " + code.message();
  if (size > kMaxPictureBytes) return "too large: more than " + ByteText(double(kMaxPictureBytes));
  std::vector<uint8_t> bytes(size);
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size))) return "cannot be read";
  d3dximage::ImageFile file;
  switch (d3dximage::DecodeImageFile(bytes, file, kMaxPictureSide)) {
    case d3dximage::DecodeResult::Ok: break;
    case d3dximage::DecodeResult::NotThisFormat: return "not a picture (JPEG, PNG, BMP, TGA, DDS or PPM)";
    case d3dximage::DecodeResult::InvalidData: return "damaged or cut short: it cannot be decoded";
    case d3dximage::DecodeResult::OutOfMemory: return "too large to decode";
  }
  if (file.levels.empty() || file.levels[0].width == 0 || file.levels[0].height == 0) return "holds no picture";
  if (side > 0) preview = Shrunk(file.levels[0], side);
  return "";
}

const DecodedPicture& Decoded(const std::string& found, int side) {
  static DecodedPicture last;
  std::error_code code;
  const std::string path = std::filesystem::absolute(found, code).string();
  uintmax_t size = std::filesystem::file_size(path, code);
  auto time = std::filesystem::last_write_time(path, code);
  if (last.path != path || last.size != size || last.time != time || last.side != side) {
    last = DecodedPicture{path, size, time, side, "", {}};
    last.problem = DecodeProblem(path, side, last.preview);
  }
  return last;
}

}  // namespace

int PresetIndex(int width, int height) {
  for (size_t i = 0; i < std::size(kSizePresets); ++i) {
    if (kSizePresets[i].width == width && kSizePresets[i].height == height) return static_cast<int>(i);
  }
  return -1;
}

NumberField CheckNumber(std::string_view text, int low, int high) {
  NumberField field;
  std::optional<int> value = ParseWhole(text, low, high);
  if (value) {
    field.value = *value;
  } else {
    field.problem = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  }
  return field;
}

int FormatOfName(std::string_view utf8) {
  for (const auto& known : kConverterExtensions) {
    if (EndsWithNoCase(utf8, known.extension)) return known.format;
  }
  return -1;
}

std::string WithAviExtension(std::string_view utf8) {
  std::string name(utf8);
  for (const auto& known : kConverterExtensions) {
    if (EndsWithNoCase(name, known.extension)) name.resize(name.size() - known.extension.size());
  }
  if (name.size() < 4 || strcasecmp(name.c_str() + name.size() - 4, ".avi") != 0) name += ".avi";
  return name;
}

TextField CheckMovie(std::string_view utf8, uint64_t bytes) {
  TextField field;
  std::optional<std::string> cp932 = ToCp932(utf8, kMaxRecordedMoviePath, field.problem);
  if (!cp932) return field;
  std::filesystem::path folder = std::filesystem::path(utf8).parent_path();
  std::error_code code;
  if (!folder.empty() && !std::filesystem::is_directory(folder, code)) {
    field.problem = "the folder " + folder.string() + " does not exist";
    return field;
  }
  if (std::filesystem::is_directory(std::filesystem::path(utf8), code)) {
    field.problem = "is a folder, not a file";
    return field;
  }
  field.problem = FolderProblem(folder, bytes);
  if (!field.problem.empty()) return field;
  if (std::filesystem::exists(std::filesystem::path(utf8), code)) field.info = "replaces the movie there";
  field.cp932 = std::move(*cp932);
  return field;
}

TextField CheckPicture(std::string_view utf8, Preview* preview, int previewSide) {
  TextField field;
  std::optional<std::string> cp932 = ToCp932(utf8, kRecordPathBytes, field.problem);
  if (!cp932) return field;
  char found[260];
  if (FAILED(FindMediaFile(found, sizeof found, cp932->c_str()))) {
    field.problem = "not found here or in the media folder";
    return field;
  }
  std::optional<std::string> foundPath = win32ext::ToSystemPath(found);
  if (!foundPath) {
    field.problem = "not found here or in the media folder";
    return field;
  }
  const DecodedPicture& decoded = Decoded(*foundPath, preview ? previewSide : 0);
  if (!decoded.problem.empty()) {
    field.problem = decoded.problem;
    return field;
  }
  if (preview) *preview = decoded.preview;
  std::error_code code;
  if (!std::filesystem::equivalent(*foundPath, std::filesystem::path(utf8), code)) {
    field.info = "found in " + ShownFolder(std::filesystem::absolute(*foundPath, code).parent_path());
  }
  field.cp932 = std::move(*cp932);
  return field;
}

bool DialogProblems::Any() const {
  return !movie.empty() || !picture.empty() || !size.empty() || !frames.empty() || !eyeHeight.empty() ||
         !turns.empty() || !tilt.empty() || !sunDegrees.empty() || !night.empty() || !clouds.empty();
}

DialogTexts TextsFromChoices(const Choices& choices) {
  DialogTexts texts;
  texts.movie = win32ext::Cp932ToUtf8(choices.movie).value_or("");
  texts.picture = win32ext::Cp932ToUtf8(choices.texture).value_or("");
  texts.width = std::to_string(choices.width);
  texts.height = std::to_string(choices.height);
  texts.frames = std::to_string(choices.frames);
  texts.eyeHeight = std::to_string(choices.eyeHeight);
  texts.spinForward = choices.spinForward;
  texts.fineMesh = choices.fineMesh;
  texts.chooseDevice = choices.chooseDevice;
  texts.play = choices.play;
  texts.edit = choices.edit;
  texts.convert = choices.convert || !choices.format.empty();
  texts.format = 0;
  for (size_t i = 0; i < std::size(kFormatChoices); ++i)
    if (choices.format == kFormatChoices[i].keyword) texts.format = static_cast<int>(i);
  texts.loop = choices.loopTurns > 0;
  if (texts.loop) texts.turns = std::to_string(choices.loopTurns);
  texts.tilt = DecimalText(choices.tiltDegrees);
  texts.steer = choices.pace == Pace::Live;
  texts.sun = choices.sun;
  texts.sunDegrees = std::to_string(choices.sunDegrees);
  texts.night = choices.night.empty() ? std::string(kDefaultNight) : win32ext::Cp932ToUtf8(choices.night).value_or("");
  texts.clouds = !choices.clouds.empty();
  texts.cloudsFile =
      choices.clouds.empty() ? std::string(kDefaultClouds) : win32ext::Cp932ToUtf8(choices.clouds).value_or("");
  texts.atmosphere = choices.atmosphere;
  for (int i = 0; i < int(std::size(kAntialiasChoices)); ++i)
    if (kAntialiasChoices[i] == choices.antialias) texts.antialias = i;
  return texts;
}

namespace {

// The loop's turns count only when the loop is chosen; without steering the pace is
// what it was unless it was the live one.
void CheckExtensions(const DialogTexts& texts, Choices& choices, DialogProblems& problems) {
  if (texts.loop) {
    NumberField turns = CheckNumber(texts.turns, 1, kMaxLoopTurns);
    problems.turns = turns.problem;
    if (turns.problem.empty()) choices.loopTurns = turns.value;
  } else {
    choices.loopTurns = 0;
  }
  std::optional<double> tilt = ParseDecimal(texts.tilt, -kMaxTiltDegrees, kMaxTiltDegrees);
  if (tilt) {
    choices.tiltDegrees = *tilt;
  } else {
    problems.tilt = "degrees from -90 to 90";
  }
  if (texts.steer) {
    choices.pace = Pace::Live;
  } else if (choices.pace == Pace::Live) {
    choices.pace = Pace::Unchosen;
  }
}

// The parts of the look that are on are checked and taken (a bad field keeps "Record"
// from being offered); a part turned off is left out, whatever its fields hold.
void CheckLook(const DialogTexts& texts, Choices& choices, DialogProblems& problems) {
  choices.sun = false;
  if (texts.sun) {
    NumberField degrees = CheckNumber(texts.sunDegrees, kMinSunDegrees, kMaxSunDegrees);
    TextField night = CheckPicture(texts.night);
    problems.sunDegrees = degrees.problem;
    problems.night = night.problem;
    problems.nightInfo = night.info;
    if (degrees.problem.empty()) choices.sunDegrees = degrees.value;
    if (night.problem.empty()) choices.night = night.cp932 == kDefaultNight ? std::string() : night.cp932;
    choices.sun = true;
  }
  choices.clouds.clear();
  if (texts.clouds) {
    TextField clouds = CheckPicture(texts.cloudsFile);
    problems.clouds = clouds.problem;
    problems.cloudsInfo = clouds.info;
    choices.clouds = clouds.cp932;
  }
  choices.atmosphere = texts.atmosphere;
}

}  // namespace

DialogProblems CheckDialog(const DialogTexts& texts, Choices& choices, ScreenSize screen) {
  DialogProblems problems;
  NumberField width = CheckNumber(texts.width, kMinSide, kMaxSide);
  NumberField height = CheckNumber(texts.height, kMinSide, kMaxSide);
  problems.badWidth = !width.problem.empty();
  problems.badHeight = !height.problem.empty();
  if (problems.badWidth && problems.badHeight) {
    problems.size = "width and height each " + width.problem;
  } else if (problems.badWidth || problems.badHeight) {
    problems.size = problems.badWidth ? "width: " + width.problem : "height: " + height.problem;
  } else {
    choices.width = width.value;
    choices.height = height.value;
    bool larger = (screen.width > 0 && width.value > screen.width) ||
                  (screen.height > 0 && height.value > screen.height);
    if (larger) problems.sizeInfo = kLargerThanScreen;
  }
  NumberField frames = CheckNumber(texts.frames, kMinFrames, kMaxFrames);
  problems.frames = frames.problem;
  if (frames.problem.empty()) choices.frames = frames.value;
  NumberField eye = CheckNumber(texts.eyeHeight, kMinEyeHeight, kMaxEyeHeight);
  problems.eyeHeight = eye.problem;
  if (eye.problem.empty()) choices.eyeHeight = eye.value;

  std::string movieName = WithAviExtension(texts.movie);
  TextField movie = CheckMovie(movieName, MovieBytes(choices.width, choices.height, choices.frames));
  problems.movie = movie.problem;
  problems.movieFormat = FormatOfName(texts.movie);
  if (movie.problem.empty()) {
    choices.movie = movie.cp932;
    std::string name = std::filesystem::path(movieName).filename().string();
    if (movieName != texts.movie) problems.movieInfo = "recorded as " + name;
    if (!movie.info.empty()) problems.movieInfo += (problems.movieInfo.empty() ? "" : ", ") + movie.info;
  }
  TextField picture = CheckPicture(texts.picture, &problems.picturePreview, kPreviewSide);
  problems.picture = picture.problem;
  problems.pictureInfo = picture.info;
  if (picture.problem.empty()) choices.texture = picture.cp932;

  choices.spinForward = texts.spinForward;
  choices.fineMesh = texts.fineMesh;
  choices.chooseDevice = texts.chooseDevice;
  choices.play = texts.play;
  choices.edit = texts.edit;
  choices.convert = texts.convert;
  bool knownFormat = texts.format >= 0 && texts.format < int(std::size(kFormatChoices));
  choices.format = texts.convert && knownFormat ? kFormatChoices[texts.format].keyword : std::string_view();
  bool knownAntialias = texts.antialias >= 0 && texts.antialias < int(std::size(kAntialiasChoices));
  choices.antialias = knownAntialias ? kAntialiasChoices[texts.antialias] : 0;
  if (problems.movie.empty()) problems.movie = HandOverProblem(choices);
  CheckExtensions(texts, choices, problems);
  CheckLook(texts, choices, problems);
  return problems;
}

std::string SunText(int degrees) {
  if (degrees <= 30 || degrees >= 330) return "the side in view in daylight";
  if (degrees >= 150 && degrees <= 210) return "the side in view at night";
  return std::string(degrees < 180 ? "the right" : "the left") + (degrees % 180 == 90 ? " half" : " side") +
         " in daylight";
}

uint64_t MovieBytes(int width, int height, int frames) {
  return uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) * 3u * uint64_t(std::max(frames, 0));
}

std::string MovieSizeText(int width, int height, int frames) {
  return "about " + ByteText(double(MovieBytes(width, height, frames)));
}

std::string MovieFolderText(std::string_view utf8Movie) {
  std::error_code code;
  return "in " + ShownFolder(std::filesystem::absolute(std::filesystem::path(utf8Movie), code).parent_path());
}

std::string LengthText(int frames) {
  return Decimal(frames / 10.0, 1) + " seconds at 10 frames per second";
}

std::string AngleText(int eyeHeight) {
  // The camera sits at (0, height x 0.034904446, -3) and looks at the globe's centre.
  double degrees = std::atan2(eyeHeight * double(0.034904446f), 3.0) * 180.0 / 3.14159265358979323846;
  if (eyeHeight == 0) return "seen level with the equator";
  return "seen from " + Decimal(std::fabs(degrees), 1) + "\u00B0 " +
         (degrees > 0 ? "above" : "below") + " the equator";
}

}  // namespace veskset
