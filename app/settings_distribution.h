// The entry point's hand-over of the settings record to the frame capture, the shell
// and the scene.
#pragma once

#include "VeskSet.h"
#include "globe_app.h"

// Copies every field of the record to its destination. False, with one line on
// standard error, when the movie path does not fit the capture (nothing is cut short).
bool DistributeSettings(const RecordingSettings& record, GlobeApp& app);
