// posix_spawn of the converter with an argument vector built here.
#include "converter_launch.h"

#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "win32ext.h"

extern char** environ;

namespace editor {

const char* ExportExtension(ExportFormat format) {
  return format == ExportFormat::Gif ? ".gif" : format == ExportFormat::Mng ? ".mng" : ".mpg";
}

std::vector<std::string> ConverterArguments(const std::string& moviePath, const std::string& outputPath,
                                            ExportFormat format) {
  const char* formatSwitch = format == ExportFormat::Gif   ? "-GIF"
                             : format == ExportFormat::Mng ? "-MNG"
                                                           : "-MPEG1";
  return {"-o", outputPath, "-i", moviePath, formatSwitch};
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
  pid_t child = -1;
  const int result =
      posix_spawn(&child, converterPath.c_str(), nullptr, nullptr, argv.data(), environ);
  if (result != 0) {
    *error = "cannot start " + converterPath + ": " + strerror(result);
    return -1;
  }
  return child;
}

std::string ConverterBesideEditor() { return win32ext::ExecutableDirectory() + "/VoridEdadide"; }

}  // namespace editor
