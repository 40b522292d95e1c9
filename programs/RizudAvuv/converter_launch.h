// Export: the converter program VoridEdadide, found beside the editor, started on a
// saved movie with the output it is to write and the switch of the chosen format. Started with posix_spawn, never
// through a shell; the caller reaps the child.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace editor {

enum class ExportFormat { Gif, Mng, Mpeg1, Mp4, Webm, Apng, Webp };

// The extension of the format's files, with its dot.
const char* ExportExtension(ExportFormat format);

// The converter's arguments after its name: "-o", the output, "-i", the movie, the
// format switch.
std::vector<std::string> ConverterArguments(const std::string& moviePath, const std::string& outputPath,
                                            ExportFormat format);

// The started converter's process id, or -1 with *error set.
pid_t StartConverter(const std::string& converterPath, const std::string& moviePath,
                     const std::string& outputPath, ExportFormat format, std::string* error);

// VoridEdadide beside the running editor.
std::string ConverterBesideEditor();

}  // namespace editor
