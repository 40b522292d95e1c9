// The stop signals' handler: unlink and re-raise, both safe inside a signal handler.
#include "stop_signals.h"

#include <limits.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace editor {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

char cleanupPath[PATH_MAX];
volatile sig_atomic_t haveCleanup = 0;

void OnStopSignal(int signal) {
  if (haveCleanup) unlink(cleanupPath);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

void SetStopCleanup(const char* path) {
  // The handler never sees a path half copied: the signals wait meanwhile.
  sigset_t stops, before;
  sigemptyset(&stops);
  for (int signal : kStopSignals) sigaddset(&stops, signal);
  sigprocmask(SIG_BLOCK, &stops, &before);
  haveCleanup = path != nullptr && strlen(path) < sizeof cleanupPath;
  if (haveCleanup) memcpy(cleanupPath, path, strlen(path) + 1);
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace editor
