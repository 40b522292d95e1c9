// GTK3 progress window. The conversion runs on its own thread; it reports through
// g_idle_add, so that every widget is touched on the GTK thread only.
#include "progress_window.h"

#include <gtk/gtk.h>

#include <thread>

#include "progress_line.h"

namespace convert {
namespace {

struct Window {
  GtkWidget* window = nullptr;
  GtkWidget* label = nullptr;
  GtkWidget* bar = nullptr;
  GtkWidget* button = nullptr;
  std::atomic<bool> cancel{false};
  bool finished = false;
  Outcome outcome;
};

struct Update {
  Window* window;
  Progress progress;
};

gboolean ShowProgress(gpointer data) {
  auto* update = static_cast<Update*>(data);
  const Progress& p = update->progress;
  GtkProgressBar* bar = GTK_PROGRESS_BAR(update->window->bar);
  gtk_progress_bar_set_fraction(bar, p.total > 0 ? static_cast<double>(p.done) / p.total : 0.0);
  gtk_progress_bar_set_text(bar, ProgressText(p).c_str());
  delete update;
  return G_SOURCE_REMOVE;
}

std::string Summary(const Outcome& outcome) {
  switch (outcome.status) {
    case Outcome::kDone:
      return "Saved to " + outcome.output + (outcome.truncated ? "\n(the movie is cut short: "
                                                                 "its remaining frames were converted)"
                                                               : "");
    case Outcome::kCancelled: return "Cancelled; nothing was saved.";
    case Outcome::kFailed: return outcome.errorFile + ": " + outcome.error;
  }
  return "";
}

gboolean ShowOutcome(gpointer data) {
  auto* w = static_cast<Window*>(data);
  w->finished = true;
  if (w->outcome.status == Outcome::kCancelled) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  gtk_label_set_text(GTK_LABEL(w->label), Summary(w->outcome).c_str());
  if (w->outcome.status == Outcome::kDone) gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w->bar), 1.0);
  gtk_button_set_label(GTK_BUTTON(w->button), "Close");
  return G_SOURCE_REMOVE;
}

// Cancel while working, Close when done; closing the window does the same.
void OnButton(GtkWidget*, gpointer data) {
  auto* w = static_cast<Window*>(data);
  if (w->finished) {
    gtk_main_quit();
    return;
  }
  w->cancel = true;
  gtk_widget_set_sensitive(w->button, FALSE);
}

gboolean OnDelete(GtkWidget* widget, GdkEvent*, gpointer data) {
  OnButton(widget, data);
  return TRUE;
}

// A signal cannot call GTK; a timer looks at the flag instead.
struct StopWatch {
  Window* window;
  const std::atomic<bool>* stop;
};

gboolean CheckStop(gpointer data) {
  auto* watch = static_cast<StopWatch*>(data);
  if (watch->stop->load()) {
    watch->window->cancel = true;
    if (watch->window->finished) gtk_main_quit();
  }
  return G_SOURCE_CONTINUE;
}

void Build(Window& w, const Request& request, const std::string& output) {
  w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(w.window), "VoridEdadide");
  gtk_window_set_default_size(GTK_WINDOW(w.window), 420, -1);
  gtk_container_set_border_width(GTK_CONTAINER(w.window), 12);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  const std::string text = "Converting " + request.input + "\nto " + output;
  w.label = gtk_label_new(text.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(w.label), TRUE);
  gtk_label_set_xalign(GTK_LABEL(w.label), 0.0f);
  w.bar = gtk_progress_bar_new();
  gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.bar), TRUE);
  w.button = gtk_button_new_with_label("Cancel");
  gtk_widget_set_halign(w.button, GTK_ALIGN_END);
  gtk_box_pack_start(GTK_BOX(box), w.label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), w.bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), w.button, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(w.window), box);
  g_signal_connect(w.button, "clicked", G_CALLBACK(OnButton), &w);
  g_signal_connect(w.window, "delete-event", G_CALLBACK(OnDelete), &w);
  gtk_widget_show_all(w.window);
}

}  // namespace

bool WindowAvailable(int* argc, char*** argv) { return gtk_init_check(argc, argv); }

Outcome ConvertInWindow(const Request& request, const std::atomic<bool>& stop) {
  Window w;
  Build(w, request, request.output.empty() ? DefaultOutput(request.input, request.format) : request.output);
  StopWatch watch{&w, &stop};
  const guint timer = g_timeout_add(100, CheckStop, &watch);
  std::thread worker([&w, &request] {
    w.outcome = Convert(request, [&w](const Progress& progress) {
      g_idle_add(ShowProgress, new Update{&w, progress});
      return !w.cancel.load();
    });
    g_idle_add(ShowOutcome, &w);
  });
  gtk_main();
  worker.join();
  g_source_remove(timer);
  // Updates still queued refer to the window; let them run before it goes.
  while (gtk_events_pending()) gtk_main_iteration();
  gtk_widget_destroy(w.window);
  return w.outcome;
}

}  // namespace convert
