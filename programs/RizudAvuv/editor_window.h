// The editor's GTK3 window: the current frame scaled to fit, a timeline, the frame
// number and time, play and pause, the edits on keys and buttons, save, save as and
// export. It only shows and reports; the work is done by the model, cache and saver.
#pragma once

#include <memory>
#include <string>

#include "frame_cache.h"

namespace editor {

// Shows the window on the opened movie until the user closes it; gtk_init has run.
// Returns the process exit status.
int RunEditorWindow(const std::string& moviePath, std::unique_ptr<FrameCache> source);

}  // namespace editor
