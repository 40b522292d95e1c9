// The export job: the temporary movie of an unsaved edit and the converter started on it.
#include "export_job.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

#include "movie_saver.h"
#include "stop_signals.h"

namespace editor {

std::string ExportOutput(const std::string& moviePath, ExportFormat format) {
  const size_t slash = moviePath.rfind('/');
  const size_t dot = moviePath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? moviePath.substr(0, dot) : moviePath) + ExportExtension(format);
}

std::unique_ptr<ExportJob> ExportJob::Start(FrameCache& source, const EditModel& edit,
                                            const std::string& moviePath, ExportFormat format,
                                            const WriterLibrary* writer,
                                            const std::string& converterPath, std::string* error) {
  std::unique_ptr<ExportJob> job(new ExportJob());
  job->output_ = ExportOutput(moviePath, format);
  std::string input = moviePath;
  if (edit.Modified()) {
    if (writer == nullptr) {
      *error = "the movie writer is needed for the unsaved changes";
      return nullptr;
    }
    const std::filesystem::path folder = std::filesystem::path(moviePath).parent_path();
    std::string name = ((folder.empty() ? std::filesystem::path(".") : folder) / ".RizudAvuv-export-XXXXXX").string();
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      *error = "cannot create a file beside the movie: " + std::string(strerror(errno));
      return nullptr;
    }
    close(fd);
    job->temporaryMovie_ = name;
    if (!SaveMovie(source, edit, name, *writer, nullptr, error)) return nullptr;
    SetStopCleanup(name.c_str());
    input = name;
  }
  job->child_ = StartConverter(converterPath, input, job->output_, format, error);
  if (job->child_ < 0) return nullptr;
  return job;
}

ExportJob::~ExportJob() {
  if (temporaryMovie_.empty()) return;
  SetStopCleanup(nullptr);
  unlink(temporaryMovie_.c_str());
}

}  // namespace editor
