// VoridEdadide: converts a recorded movie to GIF, MNG or MPEG-1. Parses the command
// line, runs the conversion with the progress display that fits where it runs, and
// reports: one line on standard error for a problem, exit status 0, 1 or 2.
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}
#include <gif_lib.h>

#include <atomic>

#include "command_line.h"
#include "display_present.h"
#include "progress_line.h"
#include "progress_window.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnStopSignal(int) { stopRequested = true; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // Past a file size limit a write then fails with EFBIG, reported like a full disk,
  // instead of the signal killing the program with its temporary file left behind.
  signal(SIGXFSZ, SIG_IGN);
}

int Report(const convert::Outcome& outcome, bool terminal) {
  using convert::Outcome;
  switch (outcome.status) {
    case Outcome::kFailed:
      fprintf(stderr, "VoridEdadide: %s: %s\n", outcome.errorFile.c_str(), outcome.error.c_str());
      return 1;
    case Outcome::kCancelled:
      fprintf(stderr, "VoridEdadide: %s; %s was not written\n", stopRequested ? "stopped" : "cancelled",
              outcome.output.c_str());
      return stopRequested ? 1 : 0;
    case Outcome::kDone:
      if (outcome.truncated)
        fprintf(stderr, "VoridEdadide: %s: the movie is cut short; converted the %lld frames that are there\n",
                outcome.input.c_str(), static_cast<long long>(outcome.frames));
      if (terminal)
        fprintf(stderr, "VoridEdadide: wrote %s (%lld frames, %.1f MB)\n", outcome.output.c_str(),
                static_cast<long long>(outcome.frames), static_cast<double>(outcome.bytes) / 1e6);
      return 0;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The reader and the encoders say what went wrong themselves.
  av_log_set_level(AV_LOG_QUIET);
  std::string error;
  const auto line = convert::ParseCommandLine({argv + 1, argv + argc}, &error);
  if (!line) {
    fprintf(stderr, "VoridEdadide: %s\nTry \"VoridEdadide --help\".\n", error.c_str());
    return 2;
  }
  if (line->action == convert::CommandLine::kHelp) {
    fputs(convert::UsageText(), stdout);
    return 0;
  }
  if (line->action == convert::CommandLine::kVersion) {
    printf("VoridEdadide %s (libavcodec %s, giflib %d.%d.%d)\n", VORIDEDADIDE_VERSION, AV_STRINGIFY(LIBAVCODEC_VERSION),
           GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE);
    return 0;
  }
  CatchStopSignals();
  const bool terminal = isatty(STDERR_FILENO) == 1;
  if (!terminal && win32ext::DisplayPresent() && convert::WindowAvailable(&argc, &argv)) {
    const convert::Outcome outcome = convert::ConvertInWindow(line->request, stopRequested);
    return Report(outcome, false);
  }
  convert::ProgressLine progress(terminal);
  const convert::Outcome outcome = convert::Convert(line->request, [&progress](const convert::Progress& p) {
    progress.Update(p);
    return !stopRequested.load();
  });
  progress.Clear();
  return Report(outcome, terminal);
}
