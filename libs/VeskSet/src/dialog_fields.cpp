// The checks and the helper texts of the settings window.
#include "dialog_fields.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "choices.h"
#include "media_search.h"
#include "settings_parser.h"
#include "win32ext.h"

namespace veskset {
namespace {

constexpr size_t kRecordPathBytes = 259;  // a path field of the record, less its zero

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

std::string WithAviExtension(std::string_view utf8) {
  std::string name(utf8);
  if (name.size() < 4 || strcasecmp(name.c_str() + name.size() - 4, ".avi") != 0) name += ".avi";
  return name;
}

TextField CheckMovie(std::string_view utf8) {
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
  field.cp932 = std::move(*cp932);
  return field;
}

TextField CheckPicture(std::string_view utf8) {
  TextField field;
  std::optional<std::string> cp932 = ToCp932(utf8, kRecordPathBytes, field.problem);
  if (!cp932) return field;
  char found[260];
  if (FAILED(FindMediaFile(found, sizeof found, cp932->c_str()))) {
    field.problem = "not found here or in the media folder";
    return field;
  }
  std::optional<std::string> foundPath = win32ext::ToSystemPath(found);
  std::error_code code;
  if (foundPath && !std::filesystem::equivalent(*foundPath, std::filesystem::path(utf8), code)) {
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

DialogProblems CheckDialog(const DialogTexts& texts, Choices& choices) {
  DialogProblems problems;
  TextField movie = CheckMovie(WithAviExtension(texts.movie));
  problems.movie = movie.problem;
  if (movie.problem.empty()) choices.movie = movie.cp932;
  TextField picture = CheckPicture(texts.picture);
  problems.picture = picture.problem;
  problems.pictureInfo = picture.info;
  if (picture.problem.empty()) choices.texture = picture.cp932;

  NumberField width = CheckNumber(texts.width, kMinSide, kMaxSide);
  NumberField height = CheckNumber(texts.height, kMinSide, kMaxSide);
  if (!width.problem.empty() || !height.problem.empty()) {
    problems.size = "width and height each " + (width.problem.empty() ? height.problem : width.problem);
  } else {
    choices.width = width.value;
    choices.height = height.value;
  }
  NumberField frames = CheckNumber(texts.frames, kMinFrames, kMaxFrames);
  problems.frames = frames.problem;
  if (frames.problem.empty()) choices.frames = frames.value;
  NumberField eye = CheckNumber(texts.eyeHeight, kMinEyeHeight, kMaxEyeHeight);
  problems.eyeHeight = eye.problem;
  if (eye.problem.empty()) choices.eyeHeight = eye.value;

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

std::string MovieSizeText(int width, int height, int frames) {
  double bytes = double(width) * double(height) * 3.0 * double(frames);
  constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  size_t unit = 0;
  while (bytes >= 1000.0 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000.0;
    ++unit;
  }
  // Three significant digits are all an estimate is worth.
  int digits = unit == 0 || bytes >= 100.0 ? 0 : bytes >= 10.0 ? 1 : 2;
  return "about " + Decimal(bytes, digits) + " " + kUnits[unit];
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
