// SIGINT, SIGTERM and SIGHUP end the editor as they would anyway, but first remove the
// temporary file of a save in progress, so that no half movie is left beside the target.
#pragma once

namespace editor {

// Installs the handlers; once, at start.
void CatchStopSignals();
// The file a stop signal removes: a save's temporary file while it is written, or none
// (null). The path is copied; one longer than the system's path limit is not kept.
void SetStopCleanup(const char* path);

}  // namespace editor
