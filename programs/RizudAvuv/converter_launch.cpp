// posix_spawn of the converter with an argument vector built here.
#include "converter_launch.h"

#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "win32ext.h"

extern char** environ;

namespace editor {

namespace {

const char* FormatSwitch(ExportFormat format) {
  switch (format) {
    case ExportFormat::Gif: return "-GIF";
    case ExportFormat::Mng: return "-MNG";
    case ExportFormat::Mpeg1: return "-MPEG1";
    case ExportFormat::Mp4: return "-MP4";
    case ExportFormat::Webm: return "-WEBM";
    case ExportFormat::Apng: return "-APNG";
    case ExportFormat::Webp: return "-WEBP";
  }
  return "";
}

}  // namespace

const char* ExportExtension(ExportFormat format) {
  switch (format) {
    case ExportFormat::Gif: return ".gif";
    case ExportFormat::Mng: return ".mng";
    case ExportFormat::Mpeg1: return ".mpg";
    case ExportFormat::Mp4: return ".mp4";
    case ExportFormat::Webm: return ".webm";
    case ExportFormat::Apng: return ".png";
    case ExportFormat::Webp: return ".webp";
  }
  return "";
}

std::vector<std::string> ConverterArguments(const std::string& moviePath, const std::string& outputPath,
                                            ExportFormat format) {
  return {"-o", outputPath, "-i", moviePath, FormatSwitch(format)};
}

pid_t StartConverter(const std::string& converterPath, const std::string& moviePath,
                     const std::string& outputPath, ExportFormat format, std::string* error) {
  if (access(converterPath.c_str(), X_OK) != 0) {
    *error = "the converter " + converterPath + " cannot be run: " + strerror(errno);
    return -1;
  }
  std::vector<std::string> words{converterPath};
  for (std::string& argument : ConverterArguments(moviePath, outputPath, format))
    words.push_back(std::move(argument));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  // The editor's status line shows the export until the converter ends, so the converter
  // gets no display: its own window would stay open after the work, waiting for Close.
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "DISPLAY=", 8) != 0 && std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) != 0)
      environment.push_back(*entry);
  }
  environment.push_back(nullptr);
  pid_t child = -1;
  const int result =
      posix_spawn(&child, converterPath.c_str(), nullptr, nullptr, argv.data(), environment.data());
  if (result != 0) {
    *error = "cannot start " + converterPath + ": " + strerror(result);
    return -1;
  }
  return child;
}

std::string ConverterBesideEditor() { return win32ext::ExecutableDirectory() + "/VoridEdadide"; }

}  // namespace editor
