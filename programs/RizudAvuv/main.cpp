// RizudAvuv MOVIE: the editor's entry point. Joins the path words, needs a display,
// opens the movie and hands it to the window. Exit status 2 for no movie named or no
// display, 1 for a movie that cannot be opened, 0 once the window is closed.
#include <gtk/gtk.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>

#include "command_line.h"
#include "editor_window.h"
#include "frame_cache.h"
#include "stop_signals.h"

namespace {

// Enough for stepping back and forth around the current frame, within 64 MiB unless the
// frames are larger than half of that.
size_t CachedFrames(const movie::MovieInfo& info) {
  const size_t frameBytes = static_cast<size_t>(info.width) * info.height * 3;
  return std::clamp<size_t>((size_t{64} << 20) / std::max<size_t>(frameBytes, 1), 2, 16);
}

constexpr int64_t kMaxFrames = int64_t{1} << 22;  // 38 hours at 30 frames a second

std::unique_ptr<movie::MovieReader> OpenMovie(const std::string& path, std::string* error) {
  std::unique_ptr<movie::MovieReader> reader = movie::MovieReader::Open(path, error);
  if (reader && reader->Info().frameCount < 1) {
    *error = "the movie holds no frame";
    return nullptr;
  }
  // The edit list and its history hold a few bytes a frame; a file claiming more frames
  // than hours of video is refused rather than allowed to exhaust memory.
  if (reader && reader->Info().frameCount > kMaxFrames) {
    *error = std::to_string(reader->Info().frameCount) +
             " frames are more than the editor takes (" + std::to_string(kMaxFrames) + ")";
    return nullptr;
  }
  return reader;
}

void ShowOpenError(const std::string& text) {
  std::fprintf(stderr, "RizudAvuv: %s\n", text.c_str());
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), "RizudAvuv");
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string words = editor::JoinPathWords(argc, argv);
  if (words.empty()) {
    std::fputs("usage: RizudAvuv MOVIE.avi\n", stderr);
    return 2;
  }
  // GTK sees no arguments: the words are the movie's path, not options for it.
  int gtkArgc = 1;
  char** gtkArgv = argv;
  if (!gtk_init_check(&gtkArgc, &gtkArgv)) {
    std::fputs("RizudAvuv needs a display\n", stderr);
    return 2;
  }
  editor::CatchStopSignals();
  // The reader says what went wrong in its own messages; libav's lines would only
  // repeat them on standard error.
  av_log_set_level(AV_LOG_QUIET);
  const std::string path = editor::SystemMoviePath(words);
  std::string error;
  std::unique_ptr<movie::MovieReader> reader = OpenMovie(path, &error);
  if (!reader) {
    ShowOpenError("cannot open the movie " + path + ": " + error);
    return 1;
  }
  const size_t cached = CachedFrames(reader->Info());
  return editor::RunEditorWindow(
      path, std::make_unique<editor::FrameCache>(std::move(reader), cached));
}
