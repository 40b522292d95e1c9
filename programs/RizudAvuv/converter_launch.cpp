// posix_spawn of the converter with an argument vector built here.
#include "converter_launch.h"

#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "win32ext.h"

extern char** environ;

namespace editor {

std::vector<std::string> ConverterArguments(const std::string& moviePath, ExportFormat format) {
  const char* formatSwitch = format == ExportFormat::Gif   ? "-GIF"
                             : format == ExportFormat::Mng ? "-MNG"
                                                           : "-MPEG1";
  return {"-i", moviePath, formatSwitch};
}

pid_t StartConverter(const std::string& converterPath, const std::string& moviePath,
                     ExportFormat format, std::string* error) {
  if (access(converterPath.c_str(), X_OK) != 0) {
    *error = "the converter " + converterPath + " cannot be run: " + strerror(errno);
    return -1;
  }
  std::vector<std::string> words{converterPath};
  for (std::string& argument : ConverterArguments(moviePath, format))
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
