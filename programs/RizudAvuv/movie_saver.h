// Saving an edit: every frame of the result read from the source movie in its order
// and handed to the movie writer's MemoryToAvifile, one frame in memory at a time. The
// movie goes to a temporary file beside the target, renamed over the target only after
// every frame was read and written, so that a failure leaves the target as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "edit_model.h"
#include "frame_cache.h"
#include "writer_library.h"

namespace editor {

// Called after each frame written: (frames done, frames in all).
using SaveProgress = std::function<void(int64_t, int64_t)>;

// target is a UTF-8 path; a failure leaves the reason in *error and no temporary file.
bool SaveMovie(FrameCache& source, const EditModel& edit, const std::string& target,
               const WriterLibrary& writer, const SaveProgress& progress, std::string* error);

// The name Save As proposes for a copy of the edit: beside the movie, "-edited" added to
// its name (then "-edited-2" and on) so that it names no file that exists.
std::string EditedCopyName(const std::string& moviePath);

}  // namespace editor
