// Parsing the converter's words: the recorder's "-i PATH [FORMAT]" when PATH exists,
// else options anywhere and everything else the movie's path.
#include "command_line.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>

namespace convert {
namespace {

std::optional<Format> FormatSwitch(const std::string& word) {
  if (strcasecmp(word.c_str(), "-GIF") == 0) return Format::Gif;
  if (strcasecmp(word.c_str(), "-MNG") == 0) return Format::Mng;
  if (strcasecmp(word.c_str(), "-MPEG1") == 0 || strcasecmp(word.c_str(), "-MPEG") == 0)
    return Format::Mpeg1;
  if (strcasecmp(word.c_str(), "-MP4") == 0) return Format::Mp4;
  if (strcasecmp(word.c_str(), "-WEBM") == 0) return Format::Webm;
  if (strcasecmp(word.c_str(), "-APNG") == 0) return Format::Apng;
  if (strcasecmp(word.c_str(), "-WEBP") == 0) return Format::Webp;
  return std::nullopt;
}

// The output's extension picks the format when no switch does.
std::optional<Format> FormatOfName(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  const std::string extension = path.substr(dot);
  for (const Format format :
       {Format::Gif, Format::Mng, Format::Mpeg1, Format::Mp4, Format::Webm, Format::Apng, Format::Webp})
    if (strcasecmp(extension.c_str(), Extension(format)) == 0) return format;
  if (strcasecmp(extension.c_str(), ".mpeg") == 0) return Format::Mpeg1;
  return std::nullopt;
}

bool ParseQuality(const std::string& text, int* quality) {
  const char* end = text.data() + text.size();
  const auto [at, failure] = std::from_chars(text.data(), end, *quality);
  return failure == std::errc() && at == end && *quality >= 1 && *quality <= 100;
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// The recorder speaks Windows paths; '\' separates folders unless a file of that name
// exists as written.
std::string LocalPath(std::string path) {
  if (Exists(path)) return path;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string JoinWords(std::vector<std::string>::const_iterator first, std::vector<std::string>::const_iterator last) {
  std::string joined;
  for (auto word = first; word != last; ++word) joined += (word == first ? "" : " ") + *word;
  return joined;
}

// The recorder's own form, "-i" then the path's words, then perhaps one format switch:
// when those words name an existing file, they are the path whatever they look like,
// so a movie named "a -o b.avi" is converted, not taken as a request to write b.avi.
std::optional<CommandLine> RecorderForm(const std::vector<std::string>& words) {
  if (words.size() < 2 || words[0] != "-i") return std::nullopt;
  std::optional<Format> format = FormatSwitch(words.back());
  auto pathEnd = format && words.size() > 2 ? words.end() - 1 : words.end();
  if (!format || words.size() == 2) format.reset();
  const std::string path = LocalPath(JoinWords(words.begin() + 1, pathEnd));
  if (!Exists(path)) return std::nullopt;
  CommandLine line;
  line.request.input = path;
  line.request.format = format.value_or(Format::Gif);
  return line;
}

std::optional<CommandLine> Refuse(std::string* error, const std::string& reason) {
  *error = reason;
  return std::nullopt;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& words, std::string* error) {
  if (std::optional<CommandLine> recorded = RecorderForm(words)) return recorded;
  CommandLine line;
  std::optional<Format> format;
  std::vector<std::string> pathWords;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool hasValue = i + 1 < words.size();
    if (word == "--help" || word == "-h") {
      line.action = CommandLine::kHelp;
      return line;
    }
    if (word == "--version") {
      line.action = CommandLine::kVersion;
      return line;
    }
    if (auto chosen = FormatSwitch(word)) {
      format = chosen;
    } else if (word == "-i") {
      // Marks where the path starts; its words are collected below.
    } else if (word == "-o") {
      if (!hasValue) return Refuse(error, "-o needs a file name");
      line.request.output = words[++i];
    } else if (word == "--quality" || word.starts_with("--quality=")) {
      const bool joined = word.size() > 9;
      if (!joined && !hasValue) return Refuse(error, "--quality needs a number from 1 to 100");
      const std::string value = joined ? word.substr(10) : words[++i];
      if (!ParseQuality(value, &line.request.quality))
        return Refuse(error, "--quality needs a number from 1 to 100, not \"" + value + "\"");
    } else if (word.size() > 1 && word[0] == '-' && pathWords.empty()) {
      return Refuse(error, "unknown option \"" + word + "\"");
    } else {
      pathWords.push_back(word);
    }
  }
  if (pathWords.empty()) return Refuse(error, "no movie given (-i MOVIE)");
  line.request.input = LocalPath(JoinWords(pathWords.begin(), pathWords.end()));
  if (!format && !line.request.output.empty()) format = FormatOfName(line.request.output);
  line.request.format = format.value_or(Format::Gif);
  return line;
}

const char* UsageText() {
  return "Usage: VoridEdadide -i MOVIE.avi [-GIF | -MNG | -MPEG1 | -MP4 | -WEBM | -APNG | -WEBP]\n"
         "                   [-o OUTPUT] [--quality N]\n"
         "Converts a recorded movie to an animated GIF (the default), an MNG animation, an\n"
         "MPEG-1 movie, an MP4 (H.264) or WebM (VP9) movie, or an animated PNG or WebP,\n"
         "written beside the movie under the same name unless -o names it.\n"
         "\n"
         "  -i MOVIE       the movie; the words up to the next option are its path\n"
         "  -GIF, -MNG, -MPEG1, -MP4, -WEBM, -APNG, -WEBP\n"
         "                 the output format (with -o and no switch: from its extension;\n"
         "                 APNG is written as .png)\n"
         "  -o OUTPUT      where to write the result\n"
         "  --quality N    1 to 100, default 90, on each format's own scale:\n"
         "                 GIF    how closely frames follow the movie (a shown colour may\n"
         "                        be off by (100 - N) / 2 of 255 before it is redrawn)\n"
         "                 MPEG-1 quantiser 31 (N = 1) to 1 (N = 100)\n"
         "                 MP4    x264 CRF 51 (N = 1) to 14 (N = 100); 90 gives 18\n"
         "                 WEBM   VP9 CRF 63 (N = 1) to 15 (N = 100); 90 gives 20\n"
         "                 WEBP   libwebp quality N (lossy)\n"
         "                 MNG and APNG are lossless\n"
         "  --help         this text\n"
         "  --version      the program's version\n"
         "\n"
         "Exit status: 0 converted (or cancelled), 1 the conversion failed, 2 bad option.\n";
}

}  // namespace convert
