// Parses vesk's command line into a RecordingSettings record: options in short, long
// and --long=value spellings, range checks, UTF-8 to CP932 conversion of file names and
// the outputKinds keywords. Left to right; the first bad argument or --help/--version ends it.
#include "settings_parser.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32ext.h"

namespace veskset {
namespace {

enum class OptionId {
  Movie,
  Texture,
  Size,
  Frames,
  EyeHeight,
  Spin,
  Coarse,
  ChooseDevice,
  Then,
  Format,
  Turns,
  Tilt,
  Pace,
  SavePath,
  Path,
  Antialias,
  Dialog,
  NoDialog,
  Sun,
  Night,
  Clouds,
  Atmosphere,
  Help,
  Version,
};

struct OptionInfo {
  OptionId id;
  char shortName;  // 0: long spelling only
  std::string_view longName;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {OptionId::Movie, 'o', "movie", true},
    {OptionId::Texture, 't', "texture", true},
    {OptionId::Size, 's', "size", true},
    {OptionId::Frames, 'n', "frames", true},
    {OptionId::EyeHeight, 0, "eye-height", true},
    {OptionId::Spin, 0, "spin", true},
    {OptionId::Coarse, 0, "coarse", false},
    {OptionId::ChooseDevice, 0, "choose-device", false},
    {OptionId::Then, 0, "then", true},
    {OptionId::Format, 0, "format", true},
    {OptionId::Turns, 0, "turns", true},
    {OptionId::Tilt, 0, "tilt", true},
    {OptionId::Pace, 0, "pace", true},
    {OptionId::SavePath, 0, "save-path", true},
    {OptionId::Path, 0, "path", true},
    {OptionId::Antialias, 0, "antialias", true},
    {OptionId::Dialog, 0, "dialog", false},
    {OptionId::NoDialog, 0, "no-dialog", false},
    {OptionId::Sun, 0, "sun", true},
    {OptionId::Night, 0, "night", true},
    {OptionId::Clouds, 0, "clouds", true},
    {OptionId::Atmosphere, 0, "atmosphere", false},
    {OptionId::Help, 'h', "help", false},
    {OptionId::Version, 0, "version", false},
};

// The longest outputKinds text asks for everything and names the longest format.
constexpr size_t LongestFormatKeyword() {
  size_t longest = 0;
  for (const FormatChoice& format : kFormatChoices) longest = std::max(longest, format.keyword.size());
  return longest;
}
static_assert(kKeywordPlay.size() + kKeywordEdit.size() + kKeywordConvert.size() + LongestFormatKeyword() + 1 <=
                  sizeof(RecordingSettings::outputKinds),
              "every combination of keywords must fit outputKinds with its zero");

constexpr size_t kPathField = sizeof(RecordingSettings::movieFile);
static_assert(sizeof(RecordingSettings::textureFile) == kPathField);

const OptionInfo* FindLong(std::string_view name) {
  for (const OptionInfo& option : kOptions) {
    if (option.longName == name) return &option;
  }
  return nullptr;
}

const OptionInfo* FindShort(char name) {
  for (const OptionInfo& option : kOptions) {
    if (option.shortName != 0 && option.shortName == name) return &option;
  }
  return nullptr;
}

// Echoes user text inside a message: quoted, control bytes escaped so the message stays
// one line, and cut (at a character start) so a huge argument gives a short line.
std::string Quote(std::string_view text) {
  constexpr size_t kMaxEcho = 64;
  bool cut = false;
  if (text.size() > kMaxEcho) {
    size_t end = kMaxEcho;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
    cut = true;
  }
  std::string quoted = "'";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    } else {
      quoted += c;
    }
  }
  quoted += cut ? "...'" : "'";
  return quoted;
}

// Copies text and its zero into a field whose remaining bytes are already zero.
template <size_t N>
bool CopyText(char (&field)[N], std::string_view text) {
  if (text.size() + 1 > N) return false;
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = '\0';
  return true;
}

class Parser {
 public:
  // An empty program name leaves the prefix out of messages (settings file reasons).
  Parser(std::string_view program, std::string& message, Choices& choices)
      : program_(program), message_(message), choices_(choices) {}

  ParseResult Run(const std::vector<std::string>& args, CommandLineIntent& intent) {
    for (size_t i = 0; i < args.size(); ++i) {
      std::string_view arg = args[i];
      const OptionInfo* option = nullptr;
      std::string_view spelled;
      std::optional<std::string_view> value;
      if (arg.size() > 2 && arg.starts_with("--")) {
        size_t equals = arg.find('=');
        spelled = arg.substr(0, equals);
        if (equals != std::string_view::npos) value = arg.substr(equals + 1);
        option = FindLong(spelled.substr(2));
      } else if (arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') {
        spelled = arg.substr(0, 2);
        if (arg.size() > 2) value = arg.substr(2);
        option = FindShort(arg[1]);
      } else {
        return Fail("unexpected argument " + Quote(arg) +
                    "; settings are given as options (see --help)");
      }

      if (option == nullptr) {
        return Fail("unknown option " + Quote(arg.size() > 2 && arg[1] == '-' ? spelled : arg) +
                    " (see --help for the options)");
      }
      if (!option->takesValue && value) {
        return Fail(std::string(spelled) + " takes no value");
      }
      if (option->takesValue && !value) {
        if (i + 1 >= args.size())
          return Fail(std::string(spelled) + " needs a value: " + Allowed(option->id));
        value = args[++i];
      }

      switch (option->id) {
        case OptionId::Help:
          message_ = Usage();
          return ParseResult::Stop;
        case OptionId::Version:
          message_ =
              std::string(program_) + " (VeskSet settings library) " + std::string(kVersion) + "\n";
          return ParseResult::Stop;
        case OptionId::Dialog:
          intent.dialog = DialogRequest::Always;
          break;
        case OptionId::NoDialog:
          intent.dialog = DialogRequest::Never;
          break;
        case OptionId::Coarse:
          choices_.fineMesh = false;
          intent.recordingOptions = true;
          break;
        case OptionId::ChooseDevice:
          choices_.chooseDevice = true;
          intent.recordingOptions = true;
          break;
        case OptionId::Atmosphere:
          choices_.atmosphere = true;
          intent.recordingOptions = true;
          break;
        default:
          if (!TakeValue(option->id, spelled, *value)) return ParseResult::Invalid;
          intent.recordingOptions = true;
          break;
      }
    }
    return ParseResult::Filled;
  }

  // One key of the settings file. The switches are spelled yes or no there, and an
  // empty then, format, sun, night or clouds means none.
  bool Apply(std::string_view key, std::string_view value) {
    const OptionInfo* option = FindLong(key);
    bool isSwitch = option && (option->id == OptionId::Coarse || option->id == OptionId::ChooseDevice ||
                               option->id == OptionId::Atmosphere);
    // A camera path belongs to one recording and is never remembered.
    bool isPath = option && (option->id == OptionId::SavePath || option->id == OptionId::Path);
    if (option == nullptr || isPath || (!option->takesValue && !isSwitch)) {
      Fail("unknown setting " + Quote(key));
      return false;
    }
    if (isSwitch) {
      if (value != "yes" && value != "no") {
        Fail(std::string(key) + " must be yes or no, not " + Quote(value));
        return false;
      }
      bool yes = value == "yes";
      if (option->id == OptionId::Coarse) {
        choices_.fineMesh = !yes;
      } else if (option->id == OptionId::Atmosphere) {
        choices_.atmosphere = yes;
      } else {
        choices_.chooseDevice = yes;
      }
      return true;
    }
    if (value.empty() && option->id == OptionId::Sun) {
      choices_.sun = false;
      return true;
    }
    if (value.empty() && (option->id == OptionId::Night || option->id == OptionId::Clouds)) {
      (option->id == OptionId::Night ? choices_.night : choices_.clouds).clear();
      return true;
    }
    if (value.empty() && option->id == OptionId::Then) {
      choices_.play = choices_.edit = choices_.convert = false;
      return true;
    }
    if (value.empty() && option->id == OptionId::Format) {
      choices_.format = {};
      return true;
    }
    if (value.empty() && option->id == OptionId::Pace) {
      choices_.pace = Pace::Unchosen;
      return true;
    }
    return TakeValue(option->id, key, value);
  }

 private:
  ParseResult Fail(const std::string& what) {
    message_ = program_.empty() ? what : std::string(program_) + ": " + what;
    return ParseResult::Invalid;
  }

  static std::string Allowed(OptionId id) {
    switch (id) {
      case OptionId::Movie:
      case OptionId::Texture:
      case OptionId::SavePath:
      case OptionId::Path:
      case OptionId::Night:
      case OptionId::Clouds:
        return "a file name of at most " + std::to_string(kPathField - 1) +
               " bytes in code page 932";
      case OptionId::Size:
        return "WIDTHxHEIGHT with each from " + std::to_string(kMinSide) + " to " +
               std::to_string(kMaxSide);
      case OptionId::Frames:
        return "a whole number from " + std::to_string(kMinFrames) + " to " +
               std::to_string(kMaxFrames);
      case OptionId::EyeHeight:
        return "a whole number from " + std::to_string(kMinEyeHeight) + " to " +
               std::to_string(kMaxEyeHeight);
      case OptionId::Spin:
        return "forward or backward";
      case OptionId::Then:
        return "play, edit and convert, comma separated";
      case OptionId::Format:
        return "gif, mng, mpeg, mp4, webm, apng or webp";
      case OptionId::Turns:
        return "a whole number from 0 to " + std::to_string(kMaxLoopTurns);
      case OptionId::Tilt:
        return "degrees from -90 to 90";
      case OptionId::Pace:
        return "fast or live";
      case OptionId::Sun:
        return "a whole number of degrees from " + std::to_string(kMinSunDegrees) + " to " +
               std::to_string(kMaxSunDegrees);
      case OptionId::Antialias:
        return "0, 2, 4 or 8";
      default:
        return "nothing";
    }
  }

  bool Reject(OptionId id, std::string_view spelled, std::string_view value) {
    Fail(std::string(spelled) + " must be " + Allowed(id) + ", not " + Quote(value));
    return false;
  }

  bool TakePath(std::string_view spelled, std::string_view value, std::string& into) {
    if (value.empty()) {
      Fail(std::string(spelled) + " must name a file, not an empty text");
      return false;
    }
    std::string cp932 = win32ext::Utf8ToCp932(value);
    if (cp932.size() + 1 > kPathField) {
      Fail(std::string(spelled) + " must be " + Allowed(OptionId::Movie) + "; this one takes " +
           std::to_string(cp932.size()));
      return false;
    }
    into = std::move(cp932);
    return true;
  }

  bool TakeThen(std::string_view spelled, std::string_view value) {
    bool play = false, edit = false, convert = false;
    size_t start = 0;
    while (true) {
      size_t comma = value.find(',', start);
      std::string_view item =
          value.substr(start, comma == std::string_view::npos ? value.npos : comma - start);
      if (item == "play") {
        play = true;
      } else if (item == "edit") {
        edit = true;
      } else if (item == "convert") {
        convert = true;
      } else {
        return Reject(OptionId::Then, spelled, value);  // also catches empty items
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    choices_.play = play;
    choices_.edit = edit;
    choices_.convert = convert;
    return true;
  }

  bool TakeValue(OptionId id, std::string_view spelled, std::string_view value) {
    switch (id) {
      case OptionId::Movie:
        return TakePath(spelled, value, choices_.movie);
      case OptionId::Texture:
        return TakePath(spelled, value, choices_.texture);
      case OptionId::Night:
        return TakePath(spelled, value, choices_.night);
      case OptionId::Clouds:
        return TakePath(spelled, value, choices_.clouds);
      case OptionId::Sun: {
        auto degrees = ParseWhole(value, kMinSunDegrees, kMaxSunDegrees);
        if (!degrees) return Reject(id, spelled, value);
        choices_.sun = true;
        choices_.sunDegrees = *degrees;
        return true;
      }
      case OptionId::Size: {
        size_t x = value.find('x');
        if (x == std::string_view::npos) return Reject(id, spelled, value);
        auto width = ParseWhole(value.substr(0, x), kMinSide, kMaxSide);
        auto height = ParseWhole(value.substr(x + 1), kMinSide, kMaxSide);
        if (!width || !height) return Reject(id, spelled, value);
        choices_.width = *width;
        choices_.height = *height;
        return true;
      }
      case OptionId::Frames: {
        auto frames = ParseWhole(value, kMinFrames, kMaxFrames);
        if (!frames) return Reject(id, spelled, value);
        choices_.frames = *frames;
        return true;
      }
      case OptionId::EyeHeight: {
        auto eye = ParseWhole(value, kMinEyeHeight, kMaxEyeHeight);
        if (!eye) return Reject(id, spelled, value);
        choices_.eyeHeight = *eye;
        return true;
      }
      case OptionId::Spin:
        if (value == "forward") {
          choices_.spinForward = true;
        } else if (value == "backward") {
          choices_.spinForward = false;
        } else {
          return Reject(id, spelled, value);
        }
        return true;
      case OptionId::Then:
        return TakeThen(spelled, value);
      case OptionId::Antialias: {
        auto samples = ParseWhole(value, 0, 8);
        if (!samples || std::find(std::begin(kAntialiasChoices), std::end(kAntialiasChoices), *samples) ==
                            std::end(kAntialiasChoices))
          return Reject(id, spelled, value);
        choices_.antialias = *samples;
        return true;
      }
      case OptionId::Format:
        for (const FormatChoice& format : kFormatChoices) {
          if (value == format.option) {
            choices_.format = format.keyword;
            return true;
          }
        }
        return Reject(id, spelled, value);
      case OptionId::Turns: {
        auto turns = ParseWhole(value, 0, kMaxLoopTurns);
        if (!turns) return Reject(id, spelled, value);
        choices_.loopTurns = *turns;
        return true;
      }
      case OptionId::Tilt: {
        auto tilt = ParseDecimal(value, -kMaxTiltDegrees, kMaxTiltDegrees);
        if (!tilt) return Reject(id, spelled, value);
        choices_.tiltDegrees = *tilt;
        return true;
      }
      case OptionId::Pace:
        if (value == "fast") {
          choices_.pace = Pace::Fast;
        } else if (value == "live") {
          choices_.pace = Pace::Live;
        } else {
          return Reject(id, spelled, value);
        }
        return true;
      case OptionId::SavePath:
        return TakePath(spelled, value, choices_.savePath);
      case OptionId::Path:
        return TakePath(spelled, value, choices_.path);
      default:
        return Reject(id, spelled, value);
    }
  }

  // The ranges and defaults come from where the checks and the choices take them.
  std::string Usage() const {
    using std::to_string;
    const std::string p(program_);
    const Choices defaults;
    auto range = [](int low, int high) { return to_string(low) + " to " + to_string(high); };
    return "Usage: " + p +
           " [options]\n"
           "Records a spinning, textured globe as a movie.\n"
           "\n"
           "  -o, --movie FILE      movie file to write (default " + defaults.movie + ")\n"
           "  -t, --texture FILE    picture for the globe's surface, looked up in the media\n"
           "                        folders (default " + defaults.texture + ")\n"
           "  -s, --size WxH        window client size, each side " + range(kMinSide, kMaxSide) +
           " (default " + to_string(defaults.width) + "x" + to_string(defaults.height) + ")\n"
           "  -n, --frames N        frames to record, " + range(kMinFrames, kMaxFrames) +
           " (default " + to_string(defaults.frames) + ")\n"
           "      --eye-height N    camera height, " + range(kMinEyeHeight, kMaxEyeHeight) +
           ", in steps of 0.0349 globe radii\n"
           "                        above the equator plane (default " + to_string(defaults.eyeHeight) + ")\n"
           "      --spin DIRECTION  forward or backward (default forward)\n"
           "      --coarse          coarse globe mesh (default fine)\n"
           "      --choose-device   open the device settings dialog before recording\n"
           "      --then ACTIONS    after a complete recording: any of play, edit and convert,\n"
           "                        comma separated (default nothing)\n"
           "      --format FORMAT   convert to gif, mng, mpeg (MPEG-1), mp4 (H.264), webm (VP9),\n"
           "                        apng or webp (animated PNG or WebP); implies convert\n"
           "      --antialias N     smooth edges with N samples per pixel: 0 (off), 2, 4 or 8\n"
           "                        (default 0)\n"
           "      --turns K         seamless loop: the frames make K whole turns (1 to 100),\n"
           "                        starting at spin angle 0 (default 0: 6.4 radians in all)\n"
           "      --tilt DEGREES    lean of the spin axis towards the viewer, -90 to 90\n"
           "                        (the Earth's is 23.44; default 0)\n"
           "      --pace PACE       fast (as fast as it can) or live (at the movie's 10 frames\n"
           "                        a second, to steer with the mouse); both count the frames\n"
           "      --save-path FILE  write every recorded frame's view to a camera path file\n"
           "      --path FILE       record the views of a camera path file instead of the spin\n"
           "                        and the mouse, as many frames as it holds\n"
           "      --sun DEGREES     light the globe by a sun fixed in the scene, DEGREES (0 to 360)\n"
           "                        from the camera around the axis: 0 lights the whole side\n"
           "                        in view, 90 its right half, 180 shows the night side\n"
           "      --night FILE      picture of the night side with --sun (default night.jpg)\n"
           "      --clouds FILE     picture of the cloud cover (its brightness), drifting over\n"
           "                        the ground (default none)\n"
           "      --atmosphere      a thin glow of atmosphere around the globe\n"
           "      --dialog          ask in the settings window even when options are given\n"
           "      --no-dialog       record at once with the options, without the window\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "\n"
           "With a display and no recording options, " + p +
           " asks for the settings in a window\n"
           "that starts from the last settings recorded (kept in $XDG_CONFIG_HOME/vesk/\n"
           "settings.ini); options given with --dialog preset its fields. Without a display\n"
           "the options alone are used.\n"
           "\n"
           "Options also take their value as --option=VALUE, short ones as -oVALUE.\n"
           "File names may take at most " + to_string(kPathField - 1) +
           " bytes once in code page 932; vesk itself records\n"
           "into movie paths of at most " + to_string(kMaxRecordedMoviePath) + " bytes.\n";
  }

  std::string_view program_;
  std::string& message_;
  Choices& choices_;
};

}  // namespace

std::optional<int> ParseWhole(std::string_view text, int low, int high) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<double> ParseDecimal(std::string_view text, double low, double high) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  if (!(value >= low && value <= high)) return std::nullopt;  // also refuses NaN
  return value;
}

std::string DecimalText(double value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return error == std::errc{} ? std::string(buffer, end) : "0";
}

ParseResult ParseOptions(const std::vector<std::string>& args, Choices& choices,
                         CommandLineIntent& intent, std::string& message,
                         std::string_view programName) {
  message.clear();
  Parser parser(programName, message, choices);
  ParseResult result = parser.Run(args, intent);
  if (result != ParseResult::Filled) return result;
  std::string problem = HandOverProblem(choices);
  if (problem.empty()) return result;
  message = std::string(programName) + ": " + problem;
  return ParseResult::Invalid;
}

std::string HandOverProblem(const Choices& choices) {
  if (!choices.edit && !choices.convert && choices.format.empty()) return "";
  const std::string_view movie = choices.movie;
  const size_t lastWord = movie.rfind(' ');
  const bool rebuilt = !movie.empty() && movie.front() != ' ' && movie.back() != ' ' &&
                       movie.find("  ") == std::string_view::npos &&
                       movie.find_first_of("\t\"") == std::string_view::npos &&
                       !(lastWord != std::string_view::npos && movie[lastWord + 1] == '-');
  if (rebuilt) return "";
  return "the movie name " + Quote(win32ext::Cp932ToUtf8(movie).value_or(std::string(movie))) +
         " cannot be handed to the editor or the converter, which get it split into words at its "
         "spaces: use single spaces between words, no tab or quotation mark, and no last word "
         "starting with '-'";
}

bool ApplySetting(std::string_view key, std::string_view value, Choices& choices,
                  std::string& reason) {
  reason.clear();
  Choices changed = choices;
  Parser parser("", reason, changed);
  if (!parser.Apply(key, value)) return false;
  choices = std::move(changed);
  return true;
}

bool FillRecord(const Choices& choices, RecordingSettings& settings) {
  std::memset(&settings, 0, sizeof settings);
  settings.width = choices.width;
  settings.height = choices.height;
  settings.frameCount = choices.frames;
  settings.eyeHeight = choices.eyeHeight;
  settings.spinForward = choices.spinForward ? 1 : 0;
  settings.highTessellation = choices.fineMesh ? 1 : 0;
  settings.chooseDevice = choices.chooseDevice ? 1 : 0;

  // A format alone asks for a conversion; the converter needs nothing else.
  bool convert = choices.convert || !choices.format.empty();
  std::string kinds;
  if (choices.play) kinds += kKeywordPlay;
  if (choices.edit) kinds += kKeywordEdit;
  if (convert) kinds += kKeywordConvert;
  kinds += choices.format;
  if (kinds.empty()) kinds = kKeywordNothing;

  if (!CopyText(settings.movieFile, choices.movie) ||
      !CopyText(settings.textureFile, choices.texture) ||
      !CopyText(settings.outputKinds, kinds)) {
    std::memset(&settings, 0, sizeof settings);
    return false;
  }
  return true;
}

void FillExtras(const Choices& choices, RecordingExtras& extras) {
  RecordingExtras full{};
  full.size = sizeof full;
  full.loopTurns = uint32_t(choices.loopTurns);
  full.tiltDegrees = float(choices.tiltDegrees);
  full.pace = uint32_t(choices.pace);
  // The paths were checked against the field's size when they were taken.
  CopyText(full.savePathFile, choices.savePath);
  CopyText(full.pathFile, choices.path);
  full.sunOn = choices.sun ? 1 : 0;
  full.sunDegrees = choices.sun ? choices.sunDegrees : 0;
  full.atmosphere = choices.atmosphere ? 1 : 0;
  CopyText(full.nightFile, choices.night);
  CopyText(full.cloudsFile, choices.clouds);
  full.antialias = static_cast<uint32_t>(choices.antialias);
  uint32_t filled = std::min<uint32_t>(extras.size, sizeof full);
  std::memcpy(&extras, &full, filled);
  extras.size = filled;
}

ParseResult ParseSettings(const std::vector<std::string>& args, RecordingSettings& settings,
                          std::string& message, std::string_view programName) {
  std::memset(&settings, 0, sizeof settings);
  Choices choices;
  CommandLineIntent intent;
  ParseResult result = ParseOptions(args, choices, intent, message, programName);
  if (result != ParseResult::Filled) return result;
  if (!FillRecord(choices, settings)) {
    // The text fields were checked when they were taken; this is a fault of the parser,
    // reported rather than truncated.
    message = std::string(programName) + ": internal error: a text does not fit its field";
    return ParseResult::Invalid;
  }
  return result;
}

std::vector<std::string> SplitCommandLine(std::string_view raw) {
  std::vector<std::string> args;
  size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string_view::npos) end = raw.size();
    if (!first) args.emplace_back(raw.substr(start, end - start));
    first = false;
    start = end + 1;
  }
  return args;
}

std::string ProgramNameFromCommandLine(std::string_view raw) {
  std::string_view first = raw.substr(0, raw.find('\0'));
  size_t slash = first.rfind('/');
  if (slash != std::string_view::npos) first = first.substr(slash + 1);
  if (first.empty()) return "vesk";
  // It goes into one-line messages: no control bytes.
  std::string name(first);
  for (char& c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return name;
}

}  // namespace veskset
