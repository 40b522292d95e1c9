// Terminal progress of a conversion.
#include "progress_line.h"

#include <stdio.h>

namespace convert {

std::string ProgressText(const Progress& progress) {
  char text[96];
  snprintf(text, sizeof text, "frame %lld of %lld, %.1f MB", static_cast<long long>(progress.done),
           static_cast<long long>(progress.total), static_cast<double>(progress.bytes) / 1e6);
  return text;
}

ProgressLine::ProgressLine(bool enabled) : line_("VoridEdadide", enabled, 0.2, false) {}

void ProgressLine::Update(const Progress& progress) {
  if (progress.done == progress.total || line_.Due()) line_.Show(ProgressText(progress));
}

void ProgressLine::Clear() { line_.Clear(); }

}  // namespace convert
