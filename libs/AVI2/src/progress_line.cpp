// What the movie writer's progress line says, redrawn at most a few times a second.
#include "progress_line.h"

#include <stdio.h>
#include <unistd.h>

#include <string>

namespace avi2 {
namespace {

constexpr double kRedrawSeconds = 0.25;

std::string Text(uint32_t frames, uint64_t bytes, double elapsed) {
  const double fps = elapsed > 0 ? frames / elapsed : 0.0;
  char text[96];
  snprintf(text, sizeof text, "%u frames, %.1f MB, %.1f fps", frames, static_cast<double>(bytes) / 1e6, fps);
  return text;
}

}  // namespace

// The first redraw waits a moment, so that the rate has a time to be measured over.
ProgressLine::ProgressLine() : line_("AVI2", isatty(STDERR_FILENO) == 1, kRedrawSeconds, true) {}

void ProgressLine::Update(uint32_t frames, uint64_t bytes) {
  if (line_.Due()) line_.Show(Text(frames, bytes, line_.Elapsed()));
}

void ProgressLine::Clear() { line_.Clear(); }

void ProgressLine::Finish(uint32_t frames, uint64_t bytes) { line_.Show(Text(frames, bytes, line_.Elapsed()), "\n"); }

}  // namespace avi2
