// Everything the settings library decides, before it is laid out in the 560-byte record:
// the values, their ranges and defaults, and the CP932 keywords of the after-recording
// actions. The command line, the settings file and the window all fill a Choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veskset {

inline constexpr std::string_view kVersion = "1.0.0";

// Ranges the options accept, inclusive.
inline constexpr int kMinSide = 100;
inline constexpr int kMaxSide = 16384;
inline constexpr int kMinFrames = 1;
inline constexpr int kMaxFrames = 99999;
inline constexpr int kMinEyeHeight = -1000;
inline constexpr int kMaxEyeHeight = 1000;
inline constexpr int kMaxLoopTurns = 100;  // 0: no loop, the fixed step
inline constexpr double kMaxTiltDegrees = 90.0;  // either way
inline constexpr int kMinSunDegrees = 0;
inline constexpr int kMaxSunDegrees = 360;
// Samples per pixel that smooth edges may ask for; 0 is none.
inline constexpr int kAntialiasChoices[] = {0, 2, 4, 8};

// The program keeps the movie path in 135 bytes with its zero, so a longer one cannot
// be recorded into although the record's field would hold it.
inline constexpr size_t kMaxRecordedMoviePath = 134;

// Defaults of the text fields (ASCII, so the same bytes in CP932).
inline constexpr std::string_view kDefaultMovie = "globe.avi";
inline constexpr std::string_view kDefaultTexture = "globe.png";

// The CP932 keywords the program's after-recording step looks for in outputKinds.
inline constexpr std::string_view kKeywordNothing = "non";
inline constexpr std::string_view kKeywordPlay = "\x8D\xC4\x90\xB6";     // 再生 (play)
inline constexpr std::string_view kKeywordEdit = "\x95\xD2\x8F\x57";     // 編集 (edit)
inline constexpr std::string_view kKeywordConvert = "\x95\xCF\x8A\xB7";  // 変換 (convert)
inline constexpr std::string_view kKeywordGif = "GIF";
inline constexpr std::string_view kKeywordMng = "MNG";
inline constexpr std::string_view kKeywordMpeg = "MPEG";
// The formats people post, which the program tests after the three above.
inline constexpr std::string_view kKeywordMp4 = "MP4";
inline constexpr std::string_view kKeywordWebm = "WEBM";
inline constexpr std::string_view kKeywordApng = "APNG";
inline constexpr std::string_view kKeywordWebp = "WEBP";

// Each conversion format as --format and the settings file spell it, its keyword, and
// its name in the settings window's list (in this order).
struct FormatChoice {
  std::string_view option, keyword, name;
};
inline constexpr FormatChoice kFormatChoices[] = {
    {"gif", kKeywordGif, "GIF"},   {"mng", kKeywordMng, "MNG"},    {"mpeg", kKeywordMpeg, "MPEG-1"},
    {"mp4", kKeywordMp4, "MP4"},   {"webm", kKeywordWebm, "WebM"}, {"apng", kKeywordApng, "APNG"},
    {"webp", kKeywordWebp, "WebP"}};

// The pace of a recording, as RecordingExtras::pace holds it.
enum class Pace : uint32_t { Unchosen = 0, Fast = 1, Live = 2 };

// Texts are CP932, as they go into the record.
struct Choices {
  std::string movie{kDefaultMovie};
  std::string texture{kDefaultTexture};
  int width = 640;
  int height = 480;
  int frames = 64;
  int eyeHeight = 0;
  bool spinForward = true;
  bool fineMesh = true;
  bool chooseDevice = false;
  bool play = false;
  bool edit = false;
  bool convert = false;
  std::string_view format;  // one of the format keywords, or empty
  // Beyond the 560-byte record (RecordingExtras).
  int loopTurns = 0;
  double tiltDegrees = 0.0;
  Pace pace = Pace::Unchosen;
  std::string savePath;  // camera path files, CP932; empty for none
  std::string path;
  // The Earth's look; the texts are empty for the defaults (night.jpg, no clouds).
  bool sun = false;
  int sunDegrees = 60;
  std::string night;
  std::string clouds;
  bool atmosphere = false;
  int antialias = 0;  // one of kAntialiasChoices

  bool operator==(const Choices&) const = default;
};

}  // namespace veskset
