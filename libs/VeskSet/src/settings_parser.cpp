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
    {OptionId::Help, 'h', "help", false},
    {OptionId::Version, 0, "version", false},
};

// The longest outputKinds text asks for everything and names the longest format.
static_assert(kKeywordPlay.size() + kKeywordEdit.size() + kKeywordConvert.size() +
                      std::max({kKeywordGif.size(), kKeywordMng.size(), kKeywordMpeg.size()}) + 1 <=
                  sizeof(RecordingSettings::outputKinds),
              "every combination of keywords must fit outputKinds with its zero");

constexpr size_t kPathField = sizeof(RecordingSettings::movieFile);
static_assert(sizeof(RecordingSettings::textureFile) == kPathField);

// Everything the options decide, before it is laid out in the record.
struct Choices {
  std::string movie{kDefaultMovie};      // CP932
  std::string texture{kDefaultTexture};  // CP932
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
};

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

// A whole decimal number in [low, high]: optional '-', digits, nothing else.
std::optional<int> ParseWhole(std::string_view text, int low, int high) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
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
  Parser(std::string_view program, std::string& message) : program_(program), message_(message) {}

  ParseResult Run(const std::vector<std::string>& args) {
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
        case OptionId::Coarse:
          choices_.fineMesh = false;
          break;
        case OptionId::ChooseDevice:
          choices_.chooseDevice = true;
          break;
        default:
          if (!TakeValue(option->id, spelled, *value)) return ParseResult::Invalid;
          break;
      }
    }
    return ParseResult::Filled;
  }

  // Lays the choices out in a record whose bytes are all zero.
  bool Fill(RecordingSettings& settings) {
    settings.width = choices_.width;
    settings.height = choices_.height;
    settings.frameCount = choices_.frames;
    settings.eyeHeight = choices_.eyeHeight;
    settings.spinForward = choices_.spinForward ? 1 : 0;
    settings.highTessellation = choices_.fineMesh ? 1 : 0;
    settings.chooseDevice = choices_.chooseDevice ? 1 : 0;

    // A format alone asks for a conversion; the converter needs nothing else.
    bool convert = choices_.convert || !choices_.format.empty();
    std::string kinds;
    if (choices_.play) kinds += kKeywordPlay;
    if (choices_.edit) kinds += kKeywordEdit;
    if (convert) kinds += kKeywordConvert;
    kinds += choices_.format;
    if (kinds.empty()) kinds = kKeywordNothing;

    // The text fields were checked when they were taken; a failure here is a fault of
    // this parser, reported rather than truncated.
    if (!CopyText(settings.movieFile, choices_.movie) ||
        !CopyText(settings.textureFile, choices_.texture) ||
        !CopyText(settings.outputKinds, kinds)) {
      Fail("internal error: a text does not fit its field");
      return false;
    }
    return true;
  }

 private:
  ParseResult Fail(const std::string& what) {
    message_ = std::string(program_) + ": " + what;
    return ParseResult::Invalid;
  }

  static std::string Allowed(OptionId id) {
    switch (id) {
      case OptionId::Movie:
      case OptionId::Texture:
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
        return "gif, mng or mpeg";
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
    std::optional<std::string> cp932 = win32ext::Utf8ToCp932(value);
    if (!cp932) {
      Fail(std::string(spelled) + " must be text that code page 932 can represent; " +
           Quote(value) + " is not");
      return false;
    }
    if (cp932->size() + 1 > kPathField) {
      Fail(std::string(spelled) + " must be " + Allowed(OptionId::Movie) + "; this one takes " +
           std::to_string(cp932->size()));
      return false;
    }
    into = std::move(*cp932);
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
      case OptionId::Format:
        if (value == "gif") {
          choices_.format = kKeywordGif;
        } else if (value == "mng") {
          choices_.format = kKeywordMng;
        } else if (value == "mpeg") {
          choices_.format = kKeywordMpeg;
        } else {
          return Reject(id, spelled, value);
        }
        return true;
      default:
        return Reject(id, spelled, value);
    }
  }

  std::string Usage() const {
    std::string p(program_);
    return "Usage: " + p +
           " [options]\n"
           "Records a spinning, textured globe as a movie.\n"
           "\n"
           "  -o, --movie FILE      movie file to write (default globe.avi)\n"
           "  -t, --texture FILE    picture for the globe's surface, looked up in the media\n"
           "                        folders (default globe.png)\n"
           "  -s, --size WxH        window client size, each side 100 to 16384 (default 640x480)\n"
           "  -n, --frames N        frames to record, 1 to 99999 (default 64)\n"
           "      --eye-height N    camera height, -1000 to 1000, in steps of 0.0349 globe radii\n"
           "                        above the equator plane (default 0)\n"
           "      --spin DIRECTION  forward or backward (default forward)\n"
           "      --coarse          coarse globe mesh (default fine)\n"
           "      --choose-device   open the device settings dialog before recording\n"
           "      --then ACTIONS    after a complete recording: any of play, edit and convert,\n"
           "                        comma separated (default nothing)\n"
           "      --format FORMAT   convert to gif, mng or mpeg (MPEG-1); implies convert\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "\n"
           "Options also take their value as --option=VALUE, short ones as -oVALUE.\n"
           "File names may take at most 259 bytes once in code page 932; vesk itself records\n"
           "into movie paths of at most 134 bytes.\n";
  }

  std::string_view program_;
  std::string& message_;
  Choices choices_;
};

}  // namespace

ParseResult ParseSettings(const std::vector<std::string>& args, RecordingSettings& settings,
                          std::string& message, std::string_view programName) {
  std::memset(&settings, 0, sizeof settings);
  message.clear();
  Parser parser(programName, message);
  ParseResult result = parser.Run(args);
  if (result == ParseResult::Filled && !parser.Fill(settings)) {
    std::memset(&settings, 0, sizeof settings);
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
