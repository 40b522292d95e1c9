// Everything the settings library decides, before it is laid out in the 560-byte record:
// the values, their ranges and defaults, and the CP932 keywords of the after-recording
// actions. The command line, the settings file and the window all fill a Choices.
#pragma once

#include <cstddef>
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
  int antialias = 0;        // one of kAntialiasChoices

  bool operator==(const Choices&) const = default;
};

}  // namespace veskset
