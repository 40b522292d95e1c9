// The movie writer library, loaded before the loop, and the programs started after a
// complete recording (player, editor, converter) as the output keywords ask.
#pragma once

#include "frame_capture.h"

// Loads "AVI2.dll" and looks up its two functions into `capture`. On failure the
// message has been shown and the program ends its run.
bool LoadMovieWriter(FrameCapture& capture);

// After the loop: starts what `outputKinds` (CP932 keywords) asks for, only when the
// recording is complete and "non" is absent (false otherwise). Programs that cannot
// start are not reported.
bool StartAfterRecordingPrograms(const FrameCapture& capture, const char* outputKinds);
