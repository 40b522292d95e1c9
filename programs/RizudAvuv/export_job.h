// Export: the converter run on the edit as it stands. Unsaved edits go to a hidden
// temporary movie beside the opened one (removed when the job ends), so the opened
// movie is never touched; the converter writes only the format's file beside it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "converter_launch.h"
#include "edit_model.h"
#include "frame_cache.h"
#include "writer_library.h"

namespace editor {

class ExportJob {
 public:
  // Starts the converter on moviePath, or on a temporary movie of the edit when it has
  // unsaved changes (saved through writer, which may be null without them). Null with
  // *error set when it cannot start.
  static std::unique_ptr<ExportJob> Start(FrameCache& source, const EditModel& edit,
                                          const std::string& moviePath, ExportFormat format,
                                          const WriterLibrary* writer,
                                          const std::string& converterPath, std::string* error);
  ~ExportJob();  // removes the temporary movie; the caller has reaped the converter
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  pid_t Child() const { return child_; }
  const std::string& Output() const { return output_; }

 private:
  ExportJob() = default;
  pid_t child_ = -1;
  std::string output_;
  std::string temporaryMovie_;
};

// The converter's output beside the movie: its name with the format's extension.
std::string ExportOutput(const std::string& moviePath, ExportFormat format);

}  // namespace editor
