// Export: the converter program VoridEdadide, found beside the editor, started on a
// saved movie with the switch of the chosen format. Started with posix_spawn, never
// through a shell; the caller reaps the child.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace editor {

enum class ExportFormat { Gif, Mng, Mpeg1, Mp4, Webm, Apng, Webp };

// The converter's arguments after its name: "-i", the movie, the format switch.
std::vector<std::string> ConverterArguments(const std::string& moviePath, ExportFormat format);

// The started converter's process id, or -1 with *error set.
pid_t StartConverter(const std::string& converterPath, const std::string& moviePath,
                     ExportFormat format, std::string* error);

// VoridEdadide beside the running editor.
std::string ConverterBesideEditor();

}  // namespace editor
