// The entry point's hand-over of the settings record to the frame capture, the shell
// and the scene.
#pragma once

#include "VeskSet.h"
#include "globe_app.h"

// Copies every field of the record, and of the extras record, to its destination. False, with one line on
// standard error, when the movie path does not fit the capture (nothing is cut short), when
// the camera path to follow is damaged, or when the one to save cannot be made.
// Without extras (all zero) the program does what the 560-byte record alone asks.
bool DistributeSettings(const RecordingSettings& record, GlobeApp& app,
                        const RecordingExtras& extras = {});
