// The editor's window over the editing model. Frames are decoded when shown (through
// the small cache); playback advances one frame a tick at the edited rate. While a save
// runs, the window keeps drawing its progress but takes no input.
#include "editor_window.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "converter_launch.h"
#include "edit_model.h"
#include "export_job.h"
#include "movie_saver.h"
#include "rate_field.h"
#include "writer_library.h"

namespace editor {
namespace {

FrameRate RateOf(const movie::MovieInfo& info) {
  if (info.rateNum > 0 && info.rateDen > 0) return {info.rateNum, info.rateDen};
  return {10, 1};
}

double FramesPerSecond(FrameRate rate) { return static_cast<double>(rate.num) / rate.den; }

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string Format(const char* format, double a, double b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

class EditorWindow {
 public:
  EditorWindow(const std::string& path, std::unique_ptr<FrameCache> source)
      : path_(path),
        source_(std::move(source)),
        model_(source_->Info().frameCount, RateOf(source_->Info())) {
    Build();
    Refresh();
    if (source_->Info().truncated)
      SetStatus("The movie ends early: " + std::to_string(model_.Count()) +
                " frames can be read");
  }

  int Run() {
    gtk_widget_show_all(window_);
    gtk_widget_grab_focus(picture_);
    gtk_main();
    return 0;
  }

 private:
  // ---- Building -------------------------------------------------------------------
  void Build() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    const movie::MovieInfo& info = source_->Info();
    const double fit = std::min({1.0, 1280.0 / info.width, 800.0 / info.height});
    gtk_window_set_default_size(GTK_WINDOW(window_), std::max(480, int(info.width * fit)),
                                std::max(200, int(info.height * fit)) + 90);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_container_add(GTK_CONTAINER(window_), column);
    picture_ = gtk_drawing_area_new();
    gtk_widget_set_size_request(picture_, 160, 120);
    gtk_widget_set_vexpand(picture_, TRUE);
    g_signal_connect(picture_, "draw", G_CALLBACK(OnDraw), this);
    // The picture holds the keyboard focus, so that the keys reach the editor; a click
    // on it takes the focus back from the rate field.
    gtk_widget_set_can_focus(picture_, TRUE);
    gtk_widget_add_events(picture_, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(picture_, "button-press-event", G_CALLBACK(OnPictureClick), nullptr);
    gtk_box_pack_start(GTK_BOX(column), picture_, TRUE, TRUE, 0);

    slider_ = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 1, 2, 1);
    gtk_scale_set_draw_value(GTK_SCALE(slider_), FALSE);
    gtk_widget_set_can_focus(slider_, FALSE);
    g_signal_connect(slider_, "value-changed", G_CALLBACK(OnSlider), this);
    g_signal_connect_after(slider_, "draw", G_CALLBACK(OnSliderDrawn), this);
    gtk_box_pack_start(GTK_BOX(column), slider_, FALSE, FALSE, 0);

    GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_container_set_border_width(GTK_CONTAINER(bar), 4);
    gtk_box_pack_start(GTK_BOX(column), bar, FALSE, FALSE, 0);
    AddButton(bar, "media-skip-backward-symbolic", "First frame (Home)",
              [](EditorWindow* w) { w->Seek(0); });
    AddButton(bar, "media-seek-backward-symbolic", "Previous frame (Left)",
              [](EditorWindow* w) { w->Step(-1); });
    playButton_ = AddButton(bar, "media-playback-start-symbolic", "Play or pause (Space)",
                            [](EditorWindow* w) { w->TogglePlay(); });
    AddButton(bar, "media-seek-forward-symbolic", "Next frame (Right)", [](EditorWindow* w) { w->Step(1); });
    AddButton(bar, "media-skip-forward-symbolic", "Last frame (End)",
              [](EditorWindow* w) { w->Seek(w->model_.Count() - 1); });
    frameLabel_ = gtk_label_new("");
    gtk_box_pack_start(GTK_BOX(bar), frameLabel_, FALSE, FALSE, 8);
    marksLabel_ = gtk_label_new("");
    gtk_box_pack_start(GTK_BOX(bar), marksLabel_, FALSE, FALSE, 8);

    GtkWidget* menu = gtk_menu_new();
    AddMenuItem(menu, "Save As…", [](EditorWindow* w) { w->SaveAs(); });
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    AddMenuItem(menu, "Export GIF", [](EditorWindow* w) { w->Export(ExportFormat::Gif); });
    AddMenuItem(menu, "Export MNG", [](EditorWindow* w) { w->Export(ExportFormat::Mng); });
    AddMenuItem(menu, "Export MPEG-1", [](EditorWindow* w) { w->Export(ExportFormat::Mpeg1); });
    AddMenuItem(menu, "Export MP4", [](EditorWindow* w) { w->Export(ExportFormat::Mp4); });
    AddMenuItem(menu, "Export WebM", [](EditorWindow* w) { w->Export(ExportFormat::Webm); });
    AddMenuItem(menu, "Export APNG", [](EditorWindow* w) { w->Export(ExportFormat::Apng); });
    AddMenuItem(menu, "Export WebP", [](EditorWindow* w) { w->Export(ExportFormat::Webp); });
    gtk_widget_show_all(menu);
    GtkWidget* menuButton = gtk_menu_button_new();
    gtk_button_set_label(GTK_BUTTON(menuButton), "Save As / Export");
    gtk_widget_set_can_focus(menuButton, FALSE);
    gtk_menu_button_set_popup(GTK_MENU_BUTTON(menuButton), menu);
    gtk_box_pack_end(GTK_BOX(bar), menuButton, FALSE, FALSE, 0);

    rateSpin_ = gtk_spin_button_new_with_range(kMinFps, kMaxFps, 1);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(rateSpin_), 3);
    gtk_widget_set_tooltip_text(rateSpin_, "Frames per second of the saved movie");
    // A refused text changes nothing (by default the field would take its lowest value).
    gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(rateSpin_), GTK_UPDATE_IF_VALID);
    g_signal_connect(rateSpin_, "input", G_CALLBACK(OnRateTyped), this);
    g_signal_connect(rateSpin_, "value-changed", G_CALLBACK(OnRate), this);
    gtk_box_pack_end(GTK_BOX(bar), rateSpin_, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(bar), gtk_label_new("fps"), FALSE, FALSE, 0);

    statusLabel_ = gtk_label_new("I / O mark, Delete cuts, K keeps, R reverses, P ping-pongs");
    gtk_label_set_xalign(GTK_LABEL(statusLabel_), 0);
    gtk_label_set_ellipsize(GTK_LABEL(statusLabel_), PANGO_ELLIPSIZE_END);
    gtk_widget_set_margin_start(statusLabel_, 6);
    gtk_widget_set_margin_bottom(statusLabel_, 4);
    gtk_box_pack_start(GTK_BOX(column), statusLabel_, FALSE, FALSE, 0);
  }

  using Action = void (*)(EditorWindow*);
  struct Binding {
    EditorWindow* window;
    Action action;
  };

  // Symbolic icons take the text colour; the theme's coloured ones are pale grey and
  // make the buttons look disabled.
  GtkWidget* AddButton(GtkWidget* bar, const char* icon, const char* tooltip, Action action) {
    GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_set_can_focus(button, FALSE);
    Connect(button, "clicked", action);
    gtk_box_pack_start(GTK_BOX(bar), button, FALSE, FALSE, 0);
    return button;
  }

  void AddMenuItem(GtkWidget* menu, const char* label, Action action) {
    GtkWidget* item = gtk_menu_item_new_with_label(label);
    Connect(item, "activate", action);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }

  void Connect(GtkWidget* widget, const char* signal, Action action) {
    g_signal_connect_data(widget, signal, G_CALLBACK(OnAction), new Binding{this, action},
                          [](gpointer data, GClosure*) { delete static_cast<Binding*>(data); },
                          GConnectFlags(0));
  }

  // ---- Showing --------------------------------------------------------------------
  // Brings every widget in line with the model and the position.
  void Refresh() {
    updating_ = true;
    const int64_t count = model_.Count();
    position_ = std::clamp<int64_t>(position_, 0, count - 1);
    const std::string title = (model_.Modified() ? "*" : "") + FileName(path_) + " — RizudAvuv";
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    gtk_range_set_range(GTK_RANGE(slider_), 1, static_cast<double>(std::max<int64_t>(count, 2)));
    gtk_widget_set_sensitive(slider_, count > 1);
    gtk_range_set_value(GTK_RANGE(slider_), static_cast<double>(position_ + 1));
    const FrameRate rate = model_.Rate();
    const std::string frame = "Frame " + std::to_string(position_ + 1) + " of " +
                              std::to_string(count) + "   " +
                              Format("%.2f s of %.2f s", position_ / FramesPerSecond(rate),
                                     count / FramesPerSecond(rate));
    gtk_label_set_text(GTK_LABEL(frameLabel_), frame.c_str());
    const FrameRange range = model_.Range();
    std::string marks;
    if (model_.InMark() || model_.OutMark())
      marks = "Range " + std::to_string(range.first + 1) + "–" + std::to_string(range.last + 1);
    gtk_label_set_text(GTK_LABEL(marksLabel_), marks.c_str());
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(rateSpin_), FramesPerSecond(rate));
    gtk_button_set_image(GTK_BUTTON(playButton_),
                         gtk_image_new_from_icon_name(playTimer_ ? "media-playback-pause-symbolic"
                                                                 : "media-playback-start-symbolic",
                                                      GTK_ICON_SIZE_BUTTON));
    gtk_widget_queue_draw(picture_);
    gtk_widget_queue_draw(slider_);
    updating_ = false;
  }

  void Draw(cairo_t* cairo) {
    const double width = gtk_widget_get_allocated_width(picture_);
    const double height = gtk_widget_get_allocated_height(picture_);
    cairo_set_source_rgb(cairo, 0.1, 0.1, 0.1);
    cairo_paint(cairo);
    std::string error;
    const int64_t index = model_.Frames()[static_cast<size_t>(position_)];
    const movie::Frame* frame = source_->Get(index, &error);
    if (frame == nullptr) {
      SetStatus("Frame " + std::to_string(index + 1) + " of the movie cannot be read: " + error);
      return;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(frame->rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8,
                                                 frame->width, frame->height, frame->width * 3,
                                                 nullptr, nullptr);
    const double scale = std::min(width / frame->width, height / frame->height);
    cairo_translate(cairo, (width - frame->width * scale) / 2,
                    (height - frame->height * scale) / 2);
    cairo_scale(cairo, scale, scale);
    gdk_cairo_set_source_pixbuf(cairo, pixbuf, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cairo), scale >= 2 ? CAIRO_FILTER_NEAREST
                                                                 : CAIRO_FILTER_GOOD);
    cairo_paint(cairo);
    g_object_unref(pixbuf);
  }

  // The marked range over the timeline's trough, from the in mark's frame to the out
  // mark's: an amber band with a bar at each end, apart from the blue of the played part.
  void DrawRange(GtkWidget* slider, cairo_t* cairo) {
    if (!model_.InMark() && !model_.OutMark()) return;
    const int64_t count = model_.Count();
    if (count < 2) return;
    GdkRectangle trough;
    gtk_range_get_range_rect(GTK_RANGE(slider), &trough);
    int sliderStart = 0, sliderEnd = 0;
    gtk_range_get_slider_range(GTK_RANGE(slider), &sliderStart, &sliderEnd);
    const double knob = sliderEnd - sliderStart;
    const double span = std::max(1.0, trough.width - knob);
    auto centre = [&](int64_t frame) { return trough.x + knob / 2 + span * frame / double(count - 1); };
    const FrameRange range = model_.Range();
    const double left = centre(range.first) - 2, right = centre(range.last) + 2;
    const double middle = trough.y + trough.height / 2.0;
    cairo_set_source_rgba(cairo, 0.90, 0.60, 0.04, 0.6);
    cairo_rectangle(cairo, left, middle - 4, right - left, 8);
    cairo_fill(cairo);
    cairo_set_source_rgb(cairo, 0.80, 0.45, 0.0);
    cairo_rectangle(cairo, left, middle - 9, 3, 18);
    cairo_rectangle(cairo, right - 3, middle - 9, 3, 18);
    cairo_fill(cairo);
  }

  void SetStatus(const std::string& text) {
    gtk_label_set_text(GTK_LABEL(statusLabel_), text.c_str());
  }

  // Errors also go to standard error, for a user who started the editor from a shell.
  void ShowError(const std::string& text) {
    std::fprintf(stderr, "RizudAvuv: %s\n", text.c_str());
    SetStatus(text);
    GtkWidget* dialog = gtk_message_dialog_new(GTK_WINDOW(window_), GTK_DIALOG_MODAL,
                                               GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                               text.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
  }

  // ---- Moving ---------------------------------------------------------------------
  void Seek(int64_t position) {
    position_ = position;
    Refresh();
  }
  void Step(int64_t delta) {
    StopPlaying();
    Seek(position_ + delta);
  }

  void TogglePlay() {
    if (playTimer_ != 0) {
      StopPlaying();
      Refresh();
      return;
    }
    if (position_ + 1 >= model_.Count()) position_ = 0;  // from the start again
    StartTimer();
    Refresh();
  }

  void StartTimer() {
    const double interval = 1000.0 / FramesPerSecond(model_.Rate());
    playTimer_ = g_timeout_add(static_cast<guint>(std::max(1.0, interval)), OnTick, this);
  }

  void StopPlaying() {
    if (playTimer_ != 0) g_source_remove(playTimer_);
    playTimer_ = 0;
  }

  bool Tick() {
    if (position_ + 1 >= model_.Count()) {
      playTimer_ = 0;
      Refresh();
      return false;
    }
    Seek(position_ + 1);
    return true;
  }

  // ---- Editing --------------------------------------------------------------------
  // After an edit the position stays where it was, or at the start of what was cut.
  void Edited(bool changed, const char* what) {
    if (!changed) {
      SetStatus(std::string("Nothing to ") + what);
      return;
    }
    if (playTimer_ != 0) {  // a new rate takes effect at once
      StopPlaying();
      StartTimer();
    }
    SetStatus("");
    Refresh();
  }

  void Cut() {
    const int64_t first = model_.Range().first;
    const bool changed = model_.CutRange();
    if (changed) position_ = first;
    Edited(changed, "cut (the range is the whole movie)");
  }

  void Keep() {
    const bool changed = model_.KeepRange();
    if (changed) position_ = 0;
    Edited(changed, "keep");
  }

  void SetRate(double fps) { Edited(model_.SetRate(RateFromFps(fps)), "change"); }

  // A typed rate that is no number in range is refused: the field shows the rate in
  // force again and the status line says why.
  gint RateTyped(GtkSpinButton* spin, gdouble* value) {
    std::string problem;
    std::optional<double> fps = ParseFps(gtk_entry_get_text(GTK_ENTRY(spin)), &problem);
    if (fps) {
      *value = *fps;
      return TRUE;
    }
    SetStatus(problem + "; the rate stays " + Format("%.3g fps", FramesPerSecond(model_.Rate()), 0));
    g_idle_add(OnRateRefused, this);
    return GTK_INPUT_ERROR;
  }

  // ---- Saving and exporting -------------------------------------------------------
  // The movie writer, loaded on first use; false (with the box) when it cannot be.
  bool HaveWriter(const std::string& what) {
    std::string error;
    if (!writer_) writer_ = WriterLibrary::Load(&error);
    if (!writer_) ShowError("cannot " + what + ": " + error);
    return writer_ != nullptr;
  }

  bool SaveTo(const std::string& target) {
    std::string error;
    if (!HaveWriter("save " + target)) return false;
    StopPlaying();
    saving_ = true;
    const bool saved = SaveMovie(*source_, model_, target, *writer_,
                                 [this](int64_t done, int64_t total) {
                                   SetStatus("Saving frame " + std::to_string(done) + " of " +
                                             std::to_string(total) + "…");
                                   while (gtk_events_pending()) gtk_main_iteration();
                                 }, &error);
    saving_ = false;
    if (!saved) {
      ShowError("cannot save " + target + ": " + error);
      return false;
    }
    path_ = target;
    model_.MarkSaved();
    SetStatus("Saved " + std::to_string(model_.Count()) + " frames to " + target);
    Refresh();
    return true;
  }

  void Save() {
    if (!model_.Modified()) {
      SetStatus("No changes to save");
      return;
    }
    SaveTo(path_);
  }

  void SaveAs() {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        "Save the movie as", GTK_WINDOW(window_), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    // A new name is proposed, and replacing any file that exists is asked about first.
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    const std::filesystem::path proposed = EditedCopyName(path_);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                        std::filesystem::absolute(proposed).parent_path().c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), proposed.filename().c_str());
    std::string target;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
      gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
      if (name != nullptr) target = name;
      g_free(name);
    }
    gtk_widget_destroy(chooser);
    if (!target.empty()) SaveTo(target);
  }

  // The converter writes only its own file: unsaved edits go to it through a temporary
  // movie, and the opened movie stays as it is, with its unsaved mark.
  void Export(ExportFormat format) {
    if (exportJob_) {
      SetStatus("An export is still running");
      return;
    }
    if (model_.Modified() && !HaveWriter("export " + path_)) return;
    std::string error;
    StopPlaying();
    saving_ = true;
    exportJob_ = ExportJob::Start(*source_, model_, path_, format, writer_.get(), ConverterBesideEditor(), &error);
    saving_ = false;
    if (!exportJob_) {
      ShowError("cannot export " + path_ + ": " + error);
      return;
    }
    SetStatus("Exporting to " + FileName(exportJob_->Output()) + "…");
    g_child_watch_add(exportJob_->Child(), OnConverterDone, this);
  }

  void ConverterDone(gint status) {
    const std::string output = exportJob_ ? exportJob_->Output() : path_;
    exportJob_.reset();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      SetStatus("Exported " + output);
    } else {
      ShowError("the converter failed on " + output + " (exit status " +
                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) +
                ")");
    }
  }

  // Unsaved edits: save, drop or stay.
  bool MayClose() {
    if (saving_) return false;
    if (!model_.Modified()) return true;
    GtkWidget* dialog = gtk_message_dialog_new(
        GTK_WINDOW(window_), GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
        "Save the changes to %s before closing?", FileName(path_).c_str());
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Close _without saving", GTK_RESPONSE_REJECT,
                           "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    const gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (answer == GTK_RESPONSE_ACCEPT) return SaveTo(path_);
    return answer == GTK_RESPONSE_REJECT;
  }

  void Quit() {
    if (!MayClose()) return;
    StopPlaying();
    gtk_main_quit();
  }

  // ---- Keys -----------------------------------------------------------------------
  bool Key(const GdkEventKey* event) {
    if (saving_) return true;
    const guint state = event->state & gtk_accelerator_get_default_mod_mask();
    const bool control = (state & GDK_CONTROL_MASK) != 0;
    const bool shift = (state & GDK_SHIFT_MASK) != 0;
    const guint key = gdk_keyval_to_lower(event->keyval);
    if (control) {
      switch (key) {
        case GDK_KEY_s: shift ? SaveAs() : Save(); return true;
        case GDK_KEY_z:
          Edited(shift ? model_.Redo() : model_.Undo(), shift ? "redo" : "undo");
          return true;
        case GDK_KEY_q: Quit(); return true;
        default: return false;
      }
    }
    if (gtk_widget_has_focus(rateSpin_) && key != GDK_KEY_Escape) return false;  // typing a rate
    switch (key) {
      case GDK_KEY_space: TogglePlay(); return true;
      case GDK_KEY_Left: Step(-1); return true;
      case GDK_KEY_Right: Step(1); return true;
      case GDK_KEY_Home: StopPlaying(); Seek(0); return true;
      case GDK_KEY_End: StopPlaying(); Seek(model_.Count() - 1); return true;
      case GDK_KEY_i: Edited(model_.MarkIn(position_), "mark"); return true;
      case GDK_KEY_o: Edited(model_.MarkOut(position_), "mark"); return true;
      case GDK_KEY_Delete: Cut(); return true;
      case GDK_KEY_k: Keep(); return true;
      case GDK_KEY_r: Edited(model_.ReverseRange(), "reverse"); return true;
      case GDK_KEY_p:
        Edited(model_.PingPongRange(), "ping-pong (the range needs three frames)");
        return true;
      case GDK_KEY_Escape:
        gtk_widget_grab_focus(picture_);
        Edited(model_.ClearMarks(), "clear");
        return true;
      default: return false;
    }
  }

  // ---- Signal handlers ------------------------------------------------------------
  static void OnAction(GtkWidget*, gpointer data) {
    auto* binding = static_cast<Binding*>(data);
    if (!binding->window->saving_) binding->action(binding->window);
  }
  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    return static_cast<EditorWindow*>(self)->Key(event);
  }
  static gboolean OnDraw(GtkWidget*, cairo_t* cairo, gpointer self) {
    static_cast<EditorWindow*>(self)->Draw(cairo);
    return TRUE;
  }
  static void OnSlider(GtkRange* range, gpointer self) {
    auto* window = static_cast<EditorWindow*>(self);
    if (window->updating_ || window->saving_) return;
    window->Seek(static_cast<int64_t>(std::lround(gtk_range_get_value(range))) - 1);
  }
  static void OnRate(GtkSpinButton* spin, gpointer self) {
    auto* window = static_cast<EditorWindow*>(self);
    if (window->updating_ || window->saving_) return;
    // The same rate again (the field shown anew) is no edit, and keeps the status line.
    const double fps = gtk_spin_button_get_value(spin);
    if (RateFromFps(fps) != window->model_.Rate()) window->SetRate(fps);
  }
  static gint OnRateTyped(GtkSpinButton* spin, gdouble* value, gpointer self) {
    return static_cast<EditorWindow*>(self)->RateTyped(spin, value);
  }
  static gboolean OnRateRefused(gpointer self) {
    static_cast<EditorWindow*>(self)->Refresh();
    return G_SOURCE_REMOVE;
  }
  static gboolean OnSliderDrawn(GtkWidget* slider, cairo_t* cairo, gpointer self) {
    static_cast<EditorWindow*>(self)->DrawRange(slider, cairo);
    return FALSE;
  }
  static gboolean OnPictureClick(GtkWidget* picture, GdkEventButton*, gpointer) {
    gtk_widget_grab_focus(picture);
    return FALSE;
  }
  static gboolean OnTick(gpointer self) { return static_cast<EditorWindow*>(self)->Tick(); }
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<EditorWindow*>(self)->Quit();
    return TRUE;
  }
  static void OnConverterDone(GPid child, gint status, gpointer self) {
    g_spawn_close_pid(child);
    static_cast<EditorWindow*>(self)->ConverterDone(status);
  }

  std::string path_;
  std::unique_ptr<FrameCache> source_;
  std::unique_ptr<WriterLibrary> writer_;
  std::unique_ptr<ExportJob> exportJob_;  // the export running, if any
  EditModel model_;
  int64_t position_ = 0;
  guint playTimer_ = 0;
  bool saving_ = false;
  bool updating_ = false;  // set while the widgets are brought in line with the model
  GtkWidget* window_ = nullptr;
  GtkWidget* picture_ = nullptr;
  GtkWidget* slider_ = nullptr;
  GtkWidget* frameLabel_ = nullptr;
  GtkWidget* marksLabel_ = nullptr;
  GtkWidget* rateSpin_ = nullptr;
  GtkWidget* statusLabel_ = nullptr;
  GtkWidget* playButton_ = nullptr;
};

}  // namespace

int RunEditorWindow(const std::string& moviePath, std::unique_ptr<FrameCache> source) {
  EditorWindow window(moviePath, std::move(source));
  return window.Run();
}

}  // namespace editor
