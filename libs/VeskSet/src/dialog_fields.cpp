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
  return !movie.empty() || !picture.empty() || !size.empty() || !frames.empty() || !eyeHeight.empty();
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
  texts.format = choices.format == kKeywordMng ? 1 : choices.format == kKeywordMpeg ? 2 : 0;
  for (int i = 0; i < int(std::size(kAntialiasChoices)); ++i)
    if (kAntialiasChoices[i] == choices.antialias) texts.antialias = i;
  return texts;
}

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
  constexpr std::string_view kFormats[] = {kKeywordGif, kKeywordMng, kKeywordMpeg};
  static_assert(std::size(kFormats) == std::size(kFormatNames));
  bool knownFormat = texts.format >= 0 && texts.format < int(std::size(kFormats));
  choices.format = texts.convert && knownFormat ? kFormats[texts.format] : std::string_view();
  bool knownAntialias = texts.antialias >= 0 && texts.antialias < int(std::size(kAntialiasChoices));
  choices.antialias = knownAntialias ? kAntialiasChoices[texts.antialias] : 0;
  return problems;
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
