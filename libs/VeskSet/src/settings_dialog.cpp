// The GTK3 window of the settings library. Every change of a field checks the whole
// window again (CheckDialog), marks the bad fields, shows why beside them and offers
// "Record" only when nothing is wrong. Return records from any field but a button.
// The notes keep one width, so the window does not change width as they come and go;
// a problem is shown whole, wrapped, in the error colour.
#include "settings_dialog.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "VeskSet.h"
#include "dialog_fields.h"
#include "display_present.h"

namespace veskset {
namespace {

struct Window {
  GtkWidget* dialog = nullptr;
  GtkWidget* movie = nullptr;
  GtkWidget* movieNote = nullptr;
  GtkWidget* picture = nullptr;
  GtkWidget* pictureNote = nullptr;
  GtkWidget* picturePreview = nullptr;
  GtkWidget* sizePreset = nullptr;
  GtkWidget* width = nullptr;
  GtkWidget* height = nullptr;
  GtkWidget* sizeNote = nullptr;
  GtkWidget* frames = nullptr;
  GtkWidget* framesNote = nullptr;
  GtkWidget* eyeHeight = nullptr;
  GtkWidget* eyeNote = nullptr;
  GtkWidget* forward = nullptr;
  GtkWidget* backward = nullptr;
  GtkWidget* fine = nullptr;
  GtkWidget* coarse = nullptr;
  GtkWidget* antialias = nullptr;
  GtkWidget* chooseDevice = nullptr;
  GtkWidget* play = nullptr;
  GtkWidget* edit = nullptr;
  GtkWidget* convert = nullptr;
  GtkWidget* format = nullptr;
  GtkWidget* tilt = nullptr;
  GtkWidget* tiltNote = nullptr;
  GtkWidget* loop = nullptr;
  GtkWidget* turns = nullptr;
  GtkWidget* turnsNote = nullptr;
  GtkWidget* steer = nullptr;
  GtkWidget* sun = nullptr;
  GtkWidget* sunDegrees = nullptr;
  GtkWidget* sunNote = nullptr;
  GtkWidget* night = nullptr;
  GtkWidget* chooseNight = nullptr;
  GtkWidget* nightNote = nullptr;
  GtkWidget* clouds = nullptr;
  GtkWidget* cloudsFile = nullptr;
  GtkWidget* chooseClouds = nullptr;
  GtkWidget* cloudsNote = nullptr;
  GtkWidget* atmosphere = nullptr;
  Choices choices;
  bool filling = false;  // set while the window itself writes fields
  int offeredFormat = -1;  // the conversion last offered for the typed movie name
};

std::string Text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
bool Active(GtkWidget* toggle) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle)); }

DialogTexts ReadFields(const Window& w) {
  DialogTexts texts;
  texts.movie = Text(w.movie);
  texts.picture = Text(w.picture);
  texts.width = Text(w.width);
  texts.height = Text(w.height);
  texts.frames = Text(w.frames);
  texts.eyeHeight = Text(w.eyeHeight);
  texts.spinForward = Active(w.forward);
  texts.fineMesh = Active(w.fine);
  texts.chooseDevice = Active(w.chooseDevice);
  texts.play = Active(w.play);
  texts.edit = Active(w.edit);
  texts.convert = Active(w.convert);
  texts.format = gtk_combo_box_get_active(GTK_COMBO_BOX(w.format));
  texts.tilt = Text(w.tilt);
  texts.loop = Active(w.loop);
  texts.turns = Text(w.turns);
  texts.steer = Active(w.steer);
  texts.sun = Active(w.sun);
  texts.sunDegrees = Text(w.sunDegrees);
  texts.night = Text(w.night);
  texts.clouds = Active(w.clouds);
  texts.cloudsFile = Text(w.cloudsFile);
  texts.atmosphere = Active(w.atmosphere);
  texts.antialias = gtk_combo_box_get_active(GTK_COMBO_BOX(w.antialias));
  return texts;
}

void MarkField(GtkWidget* field, bool bad) {
  GtkStyleContext* style = gtk_widget_get_style_context(field);
  bad ? gtk_style_context_add_class(style, "error") : gtk_style_context_remove_class(style, "error");
}

// A note beside a field: the problem in the error colour, or the helpful text.
void ShowNote(GtkWidget* note, GtkWidget* field, const std::string& problem, const std::string& info) {
  if (field) MarkField(field, !problem.empty());
  if (problem.empty()) {
    gtk_label_set_text(GTK_LABEL(note), info.c_str());
  } else {
    char* markup = g_markup_printf_escaped("<span foreground=\"#c01c28\">%s</span>", problem.c_str());
    gtk_label_set_markup(GTK_LABEL(note), markup);
    g_free(markup);
  }
}

// The screen the window is on (the first monitor before it is shown).
ScreenSize ScreenOf(GtkWidget* dialog) {
  GdkDisplay* display = gtk_widget_get_display(dialog);
  GdkWindow* window = gtk_widget_get_window(dialog);
  GdkMonitor* monitor = window ? gdk_display_get_monitor_at_window(display, window) : nullptr;
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {};
  GdkRectangle area;
  gdk_monitor_get_geometry(monitor, &area);
  return {area.width, area.height};
}

void ShowPreview(GtkWidget* image, const Preview& preview) {
  if (preview.rgb.empty()) {
    gtk_image_clear(GTK_IMAGE(image));
    return;
  }
  GBytes* bytes = g_bytes_new(preview.rgb.data(), preview.rgb.size());
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, FALSE, 8, preview.width,
                                                preview.height, preview.width * 3);
  gtk_image_set_from_pixbuf(GTK_IMAGE(image), pixbuf);
  g_object_unref(pixbuf);
  g_bytes_unref(bytes);
}

// A movie name typed with a converter's extension ticks that conversion, once: the user
// may untick it again.
void OfferConversion(Window& w, int format) {
  if (format == w.offeredFormat) return;
  w.offeredFormat = format;
  if (format < 0) return;
  w.filling = true;
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.convert), TRUE);
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.format), format);
  w.filling = false;
}

void Refresh(Window& w) {
  if (w.filling) return;
  DialogProblems problems = CheckDialog(ReadFields(w), w.choices, ScreenOf(w.dialog));
  OfferConversion(w, problems.movieFormat);
  if (problems.movieFormat >= 0) problems = CheckDialog(ReadFields(w), w.choices, ScreenOf(w.dialog));
  const Choices& c = w.choices;
  std::string movieInfo = problems.movieInfo.empty() ? "" : problems.movieInfo + "; ";
  ShowNote(w.movieNote, w.movie, problems.movie,
           movieInfo + MovieSizeText(c.width, c.height, c.frames) + ", " +
               MovieFolderText(WithAviExtension(Text(w.movie))));
  ShowNote(w.pictureNote, w.picture, problems.picture, problems.pictureInfo);
  ShowPreview(w.picturePreview, problems.picturePreview);
  MarkField(w.width, problems.badWidth);
  MarkField(w.height, problems.badHeight);
  ShowNote(w.sizeNote, nullptr, problems.size, problems.sizeInfo);
  ShowNote(w.framesNote, w.frames, problems.frames, LengthText(c.frames));
  ShowNote(w.eyeNote, w.eyeHeight, problems.eyeHeight, AngleText(c.eyeHeight));
  gtk_widget_set_sensitive(w.format, Active(w.convert));
  ShowNote(w.tiltNote, w.tilt, problems.tilt, "");
  ShowNote(w.turnsNote, w.turns, problems.turns, "");
  gtk_widget_set_sensitive(w.turns, Active(w.loop));
  bool sun = Active(w.sun), clouds = Active(w.clouds);
  for (GtkWidget* part : {w.sunDegrees, w.night, w.chooseNight}) gtk_widget_set_sensitive(part, sun);
  for (GtkWidget* part : {w.cloudsFile, w.chooseClouds}) gtk_widget_set_sensitive(part, clouds);
  ShowNote(w.sunNote, w.sunDegrees, problems.sunDegrees, sun ? SunText(c.sunDegrees) : "");
  ShowNote(w.nightNote, w.night, problems.night, sun ? problems.nightInfo : "");
  ShowNote(w.cloudsNote, w.cloudsFile, problems.clouds, clouds ? problems.cloudsInfo : "");
  gtk_dialog_set_response_sensitive(GTK_DIALOG(w.dialog), GTK_RESPONSE_ACCEPT, !problems.Any());
}

void OnChanged(GtkWidget*, gpointer data) { Refresh(*static_cast<Window*>(data)); }

void OnPreset(GtkComboBox* combo, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  int index = gtk_combo_box_get_active(combo);
  bool custom = index < 0 || index >= int(std::size(kSizePresets));
  gtk_widget_set_sensitive(w.width, custom);
  gtk_widget_set_sensitive(w.height, custom);
  if (!custom) {
    w.filling = true;
    gtk_entry_set_text(GTK_ENTRY(w.width), std::to_string(kSizePresets[index].width).c_str());
    gtk_entry_set_text(GTK_ENTRY(w.height), std::to_string(kSizePresets[index].height).c_str());
    w.filling = false;
  }
  Refresh(w);
}

// A chosen file inside the current folder is kept short, as the default is.
std::string ShortPath(const char* chosen) {
  std::filesystem::path path(chosen);
  std::error_code code;
  if (path.parent_path() == std::filesystem::current_path(code)) return path.filename().string();
  return path.string();
}

void OnChooseMovie(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  GtkWidget* chooser = gtk_file_chooser_dialog_new("Movie file", GTK_WINDOW(w.dialog),
                                                   GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                                   GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
  gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
  std::filesystem::path current(WithAviExtension(Text(w.movie)));
  std::error_code code;
  std::filesystem::path folder = std::filesystem::absolute(current, code).parent_path();
  gtk_file_chooser_set_current_folder(files, folder.c_str());
  gtk_file_chooser_set_current_name(files, current.filename().c_str());
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, "AVI movies");
  gtk_file_filter_add_pattern(filter, "*.avi");
  gtk_file_filter_add_pattern(filter, "*.AVI");
  gtk_file_chooser_add_filter(files, filter);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (char* name = gtk_file_chooser_get_filename(files)) {
      gtk_entry_set_text(GTK_ENTRY(w.movie), WithAviExtension(ShortPath(name)).c_str());
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
}

void OnPreview(GtkFileChooser* files, gpointer data) {
  GtkWidget* preview = GTK_WIDGET(data);
  char* name = gtk_file_chooser_get_preview_filename(files);
  GdkPixbuf* pixbuf = name ? gdk_pixbuf_new_from_file_at_size(name, 192, 192, nullptr) : nullptr;
  g_free(name);
  gtk_image_set_from_pixbuf(GTK_IMAGE(preview), pixbuf);
  if (pixbuf) g_object_unref(pixbuf);
  gtk_file_chooser_set_preview_widget_active(files, pixbuf != nullptr);
}

// A picture chosen into `entry`.
void ChoosePicture(Window& w, GtkWidget* entry, const char* title) {
  GtkWidget* chooser = gtk_file_chooser_dialog_new(title, GTK_WINDOW(w.dialog),
                                                   GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                                   GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
  GtkFileFilter* pictures = gtk_file_filter_new();
  gtk_file_filter_set_name(pictures, "Pictures (JPEG, PNG, BMP, TGA, DDS, PPM/PGM/PBM, DIB)");
  for (std::string_view kind : kPicturePatterns) {
    std::string lower = "*." + std::string(kind), upper = lower;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    gtk_file_filter_add_pattern(pictures, lower.c_str());
    gtk_file_filter_add_pattern(pictures, upper.c_str());
  }
  gtk_file_chooser_add_filter(files, pictures);
  GtkFileFilter* all = gtk_file_filter_new();
  gtk_file_filter_set_name(all, "All files");
  gtk_file_filter_add_pattern(all, "*");
  gtk_file_chooser_add_filter(files, all);
  GtkWidget* preview = gtk_image_new();
  gtk_file_chooser_set_preview_widget(files, preview);
  g_signal_connect(chooser, "update-preview", G_CALLBACK(OnPreview), preview);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (char* name = gtk_file_chooser_get_filename(files)) {
      gtk_entry_set_text(GTK_ENTRY(entry), ShortPath(name).c_str());
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
}

void OnChoosePicture(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  ChoosePicture(w, w.picture, "Globe picture");
}

void OnChooseNight(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  ChoosePicture(w, w.night, "Night picture");
}

void OnChooseClouds(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  ChoosePicture(w, w.cloudsFile, "Cloud picture");
}

void OnEarth(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  gtk_entry_set_text(GTK_ENTRY(w.picture), std::string(kEarthPicture).c_str());
}

// Return on a field, a switch or a list records; on a push button it presses it.
gboolean OnKey(GtkWidget* dialog, GdkEventKey* event, gpointer) {
  if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter &&
      event->keyval != GDK_KEY_ISO_Enter)
    return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog));
  if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;
  GtkWidget* record = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  if (record && gtk_widget_is_sensitive(record)) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  return TRUE;
}

GtkWidget* Entry(Window& w, const std::string& text, int widthChars) {
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
  gtk_entry_set_width_chars(GTK_ENTRY(entry), widthChars);
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  g_signal_connect(entry, "changed", G_CALLBACK(OnChanged), &w);
  return entry;
}

GtkWidget* Note() {
  GtkWidget* note = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(note), 0.0f);
  // Always 40 characters wide: a long text wraps (a long folder name anywhere) rather
  // than widening the window, and nothing is cut.
  gtk_label_set_width_chars(GTK_LABEL(note), 40);
  gtk_label_set_max_width_chars(GTK_LABEL(note), 40);
  gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(note), PANGO_WRAP_WORD_CHAR);
  return note;
}

GtkWidget* Toggle(Window& w, GtkWidget* toggle, bool active) {
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), active);
  g_signal_connect(toggle, "toggled", G_CALLBACK(OnChanged), &w);
  return toggle;
}

GtkWidget* Row(std::initializer_list<GtkWidget*> widgets) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  for (GtkWidget* widget : widgets) gtk_box_pack_start(GTK_BOX(box), widget, FALSE, FALSE, 0);
  return box;
}

// One line of the form: a label that names (and focuses) the field, then the field with
// its note right beside it.
void AddLine(GtkGrid* grid, int row, const char* label, GtkWidget* target, GtkWidget* fields) {
  GtkWidget* name = gtk_label_new_with_mnemonic(label);
  gtk_label_set_xalign(GTK_LABEL(name), 1.0f);
  if (target) gtk_label_set_mnemonic_widget(GTK_LABEL(name), target);
  gtk_grid_attach(grid, name, 0, row, 1, 1);
  gtk_grid_attach(grid, fields, 1, row, 1, 1);
}

GtkWidget* ChooseButton(Window& w, GCallback handler) {
  GtkWidget* button = gtk_button_new_with_label("Choose\u2026");
  g_signal_connect(button, "clicked", handler, &w);
  return button;
}

// The "Look" group: the globe's picture (any, or the Earth) and the parts of the look
// beyond it, each turned on by its switch with its default filled in.
GtkWidget* BuildLook(Window& w, const DialogTexts& texts) {
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 8);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 10);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
  GtkGrid* g = GTK_GRID(grid);

  w.picture = Entry(w, texts.picture, 32);
  GtkWidget* earth = gtk_button_new_with_label("Earth");
  gtk_widget_set_tooltip_text(earth, "The Earth's day picture (earth.jpg)");
  g_signal_connect(earth, "clicked", G_CALLBACK(OnEarth), &w);
  w.pictureNote = Note();
  w.picturePreview = gtk_image_new();
  gtk_widget_set_size_request(w.picturePreview, kPreviewSide, kPreviewSide);
  AddLine(g, 0, "Globe _picture:", w.picture,
          Row({w.picture, ChooseButton(w, G_CALLBACK(OnChoosePicture)), earth, w.picturePreview, w.pictureNote}));

  w.sun = Toggle(w, gtk_check_button_new_with_mnemonic("S_un at"), texts.sun);
  w.sunDegrees = Entry(w, texts.sunDegrees, 4);
  w.sunNote = Note();
  AddLine(g, 1, "Day and night:", nullptr,
          Row({w.sun, w.sunDegrees, gtk_label_new("degrees from the camera:"), w.sunNote}));

  w.night = Entry(w, texts.night, 32);
  w.chooseNight = ChooseButton(w, G_CALLBACK(OnChooseNight));
  w.nightNote = Note();
  AddLine(g, 2, "_Night picture:", w.night, Row({w.night, w.chooseNight, w.nightNote}));

  w.clouds = Toggle(w, gtk_check_button_new_with_mnemonic("Sho_w"), texts.clouds);
  w.cloudsFile = Entry(w, texts.cloudsFile, 25);
  w.chooseClouds = ChooseButton(w, G_CALLBACK(OnChooseClouds));
  w.cloudsNote = Note();
  AddLine(g, 3, "Clouds:", nullptr, Row({w.clouds, w.cloudsFile, w.chooseClouds, w.cloudsNote}));

  w.atmosphere = Toggle(w, gtk_check_button_new_with_mnemonic("Atmosphere _glow around the globe"), texts.atmosphere);
  AddLine(g, 4, "", nullptr, w.atmosphere);

  GtkWidget* frame = gtk_frame_new("Look");
  gtk_container_add(GTK_CONTAINER(frame), grid);
  return frame;
}

void Build(Window& w) {
  const DialogTexts texts = TextsFromChoices(w.choices);
  // A radio button set while the window is built toggles its partner: no check runs
  // until every field exists.
  w.filling = true;
  w.dialog = gtk_dialog_new_with_buttons("Vesk", nullptr, GTK_DIALOG_MODAL, "_Cancel", GTK_RESPONSE_CANCEL,
                                         "_Record", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_resizable(GTK_WINDOW(w.dialog), FALSE);
  gtk_window_set_icon_name(GTK_WINDOW(w.dialog), "vesk");
  gtk_dialog_set_default_response(GTK_DIALOG(w.dialog), GTK_RESPONSE_ACCEPT);
  GtkWidget* record = gtk_dialog_get_widget_for_response(GTK_DIALOG(w.dialog), GTK_RESPONSE_ACCEPT);
  gtk_style_context_add_class(gtk_widget_get_style_context(record), "suggested-action");
  g_signal_connect(w.dialog, "key-press-event", G_CALLBACK(OnKey), nullptr);

  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 8);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 10);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
  GtkGrid* g = GTK_GRID(grid);

  w.movie = Entry(w, texts.movie, 32);
  GtkWidget* chooseMovie = gtk_button_new_with_label("Choose\u2026");
  g_signal_connect(chooseMovie, "clicked", G_CALLBACK(OnChooseMovie), &w);
  w.movieNote = Note();
  AddLine(g, 0, "_Movie file:", w.movie, Row({w.movie, chooseMovie, w.movieNote}));

  gtk_grid_attach(g, BuildLook(w, texts), 0, 1, 2, 1);

  w.sizePreset = gtk_combo_box_text_new();
  for (const SizePreset& preset : kSizePresets) {
    std::string name = std::to_string(preset.width) + " \u00D7 " + std::to_string(preset.height);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.sizePreset), name.c_str());
  }
  gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.sizePreset), "Custom");
  w.width = Entry(w, texts.width, 6);
  w.height = Entry(w, texts.height, 6);
  w.sizeNote = Note();
  AddLine(g, 2, "Window _size:", w.sizePreset,
          Row({w.sizePreset, w.width, gtk_label_new("\u00D7"), w.height, gtk_label_new("pixels"), w.sizeNote}));

  w.frames = Entry(w, texts.frames, 6);
  w.framesNote = Note();
  AddLine(g, 3, "_Frames:", w.frames, Row({w.frames, w.framesNote}));

  w.eyeHeight = Entry(w, texts.eyeHeight, 6);
  w.eyeNote = Note();
  w.tilt = Entry(w, texts.tilt, 6);
  w.tiltNote = Note();
  GtkWidget* tiltName = gtk_label_new_with_mnemonic("A_xis tilt:");
  gtk_label_set_mnemonic_widget(GTK_LABEL(tiltName), w.tilt);
  AddLine(g, 4, "Camera _height:", w.eyeHeight,
          Row({w.eyeHeight, w.eyeNote, tiltName, w.tilt, gtk_label_new("degrees towards you"), w.tiltNote}));

  w.forward = Toggle(w, gtk_radio_button_new_with_mnemonic(nullptr, "F_orward"), texts.spinForward);
  w.backward = Toggle(w, gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(w.forward), "_Backward"),
                      !texts.spinForward);
  AddLine(g, 5, "Spin:", nullptr, Row({w.forward, w.backward}));

  w.fine = Toggle(w, gtk_radio_button_new_with_mnemonic(nullptr, "F_ine"), texts.fineMesh);
  w.coarse = Toggle(w, gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(w.fine), "Co_arse"),
                    !texts.fineMesh);
  // Smooth edges share the mesh's line: both are about how the globe is drawn.
  w.antialias = gtk_combo_box_text_new();
  for (std::string_view name : kAntialiasNames)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.antialias), std::string(name).c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.antialias), texts.antialias);
  g_signal_connect(w.antialias, "changed", G_CALLBACK(OnChanged), &w);
  GtkWidget* smooth = gtk_label_new_with_mnemonic("Smoo_th edges:");
  gtk_label_set_mnemonic_widget(GTK_LABEL(smooth), w.antialias);
  AddLine(g, 6, "Globe mesh:", nullptr, Row({w.fine, w.coarse, smooth, w.antialias}));

  w.chooseDevice =
      Toggle(w, gtk_check_button_new_with_mnemonic("Choose the _Direct3D device first"), texts.chooseDevice);
  AddLine(g, 7, "", nullptr, w.chooseDevice);

  w.play = Toggle(w, gtk_check_button_new_with_mnemonic("P_lay"), texts.play);
  w.edit = Toggle(w, gtk_check_button_new_with_mnemonic("_Edit"), texts.edit);
  w.convert = Toggle(w, gtk_check_button_new_with_mnemonic("Con_vert to"), texts.convert);
  w.format = gtk_combo_box_text_new();
  for (const FormatChoice& format : kFormatChoices)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.format), std::string(format.name).c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.format), texts.format);
  g_signal_connect(w.format, "changed", G_CALLBACK(OnChanged), &w);
  AddLine(g, 8, "After recording:", nullptr, Row({w.play, w.edit, w.convert, w.format}));

  w.loop = Toggle(w, gtk_check_button_new_with_label("Seamless loop of"), texts.loop);
  w.turns = Entry(w, texts.turns, 4);
  w.turnsNote = Note();
  w.steer = Toggle(w, gtk_check_button_new_with_mnemonic("Steer while re_cording"), texts.steer);
  AddLine(g, 9, "Recording:", nullptr, Row({w.loop, w.turns, gtk_label_new("turns"), w.turnsNote, w.steer}));

  int preset = PresetIndex(w.choices.width, w.choices.height);
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.sizePreset), preset < 0 ? int(std::size(kSizePresets)) : preset);
  g_signal_connect(w.sizePreset, "changed", G_CALLBACK(OnPreset), &w);
  w.filling = false;
  OnPreset(GTK_COMBO_BOX(w.sizePreset), &w);

  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(w.dialog))), grid, TRUE, TRUE, 0);
  // The buttons keep the grid's margin from the window's edges.
  GtkWidget* buttons = gtk_widget_get_parent(record);
  gtk_widget_set_margin_end(buttons, 12);
  gtk_widget_set_margin_bottom(buttons, 12);
  gtk_widget_show_all(w.dialog);
  gtk_widget_grab_focus(w.frames);
}

// Asks before a recording replaces an existing movie; true to go on.
bool ConfirmReplace(GtkWidget* parent, const std::string& movie) {
  std::error_code code;
  if (!std::filesystem::exists(std::filesystem::path(movie), code)) return true;
  GtkWidget* ask = gtk_message_dialog_new(GTK_WINDOW(parent), GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                          GTK_BUTTONS_NONE, "Replace the movie \u201C%s\u201D?",
                                          std::filesystem::path(movie).filename().c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(ask), "It exists already; the recording writes over it.");
  gtk_dialog_add_buttons(GTK_DIALOG(ask), "_Cancel", GTK_RESPONSE_CANCEL, "_Replace", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(ask), GTK_RESPONSE_ACCEPT);
  bool replace = gtk_dialog_run(GTK_DIALOG(ask)) == GTK_RESPONSE_ACCEPT;
  gtk_widget_destroy(ask);
  return replace;
}

bool RunSettingsDialog(Choices& choices) {
  Window w;
  w.choices = choices;
  Build(w);
  bool recorded = false;
  while (!recorded && gtk_dialog_run(GTK_DIALOG(w.dialog)) == GTK_RESPONSE_ACCEPT) {
    // Record is only sensitive with good fields; the check runs once more all the same.
    recorded = !CheckDialog(ReadFields(w), w.choices, ScreenOf(w.dialog)).Any() &&
               ConfirmReplace(w.dialog, WithAviExtension(Text(w.movie)));
  }
  gtk_widget_destroy(w.dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  if (recorded) choices = w.choices;
  return recorded;
}

}  // namespace
}  // namespace veskset

extern "C" VESKSET_API int VeskSetWindowCanShow() {
  return win32ext::DisplayPresent() && gtk_init_check(nullptr, nullptr);
}

extern "C" VESKSET_API int VeskSetWindowRun(veskset::Choices* choices) {
  return veskset::RunSettingsDialog(*choices);
}
