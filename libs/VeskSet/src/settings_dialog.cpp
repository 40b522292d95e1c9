// The GTK3 window of the settings library. Every change of a field checks the whole
// window again (CheckDialog), marks the bad fields, shows why beside them and offers
// "Record" only when nothing is wrong. Return records from any field but a button.
#include "settings_dialog.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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
  GtkWidget* chooseDevice = nullptr;
  GtkWidget* play = nullptr;
  GtkWidget* edit = nullptr;
  GtkWidget* convert = nullptr;
  GtkWidget* format = nullptr;
  Choices choices;
  bool filling = false;  // set while the window itself writes fields
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
  return texts;
}

// A note beside a field: the problem in the error colour, or the helpful text.
void ShowNote(GtkWidget* note, GtkWidget* field, const std::string& problem, const std::string& info) {
  GtkStyleContext* style = gtk_widget_get_style_context(field);
  if (problem.empty()) {
    gtk_style_context_remove_class(style, "error");
    gtk_label_set_text(GTK_LABEL(note), info.c_str());
  } else {
    gtk_style_context_add_class(style, "error");
    char* markup = g_markup_printf_escaped("<span foreground=\"#c01c28\">%s</span>", problem.c_str());
    gtk_label_set_markup(GTK_LABEL(note), markup);
    g_free(markup);
  }
}

void Refresh(Window& w) {
  if (w.filling) return;
  DialogProblems problems = CheckDialog(ReadFields(w), w.choices);
  const Choices& c = w.choices;
  ShowNote(w.movieNote, w.movie, problems.movie,
           MovieSizeText(c.width, c.height, c.frames) + ", " + MovieFolderText(WithAviExtension(Text(w.movie))));
  ShowNote(w.pictureNote, w.picture, problems.picture, problems.pictureInfo);
  ShowNote(w.sizeNote, w.width, problems.size, "");
  ShowNote(w.framesNote, w.frames, problems.frames, LengthText(c.frames));
  ShowNote(w.eyeNote, w.eyeHeight, problems.eyeHeight, AngleText(c.eyeHeight));
  gtk_widget_set_sensitive(w.format, Active(w.convert));
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

void OnChoosePicture(GtkButton*, gpointer data) {
  Window& w = *static_cast<Window*>(data);
  GtkWidget* chooser = gtk_file_chooser_dialog_new("Globe picture", GTK_WINDOW(w.dialog),
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
      gtk_entry_set_text(GTK_ENTRY(w.picture), ShortPath(name).c_str());
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
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
  // A long folder name is shortened in the middle rather than widening the window.
  gtk_label_set_ellipsize(GTK_LABEL(note), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_max_width_chars(GTK_LABEL(note), 40);
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

void Build(Window& w) {
  const DialogTexts texts = TextsFromChoices(w.choices);
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

  w.picture = Entry(w, texts.picture, 32);
  GtkWidget* choosePicture = gtk_button_new_with_label("Choose\u2026");
  g_signal_connect(choosePicture, "clicked", G_CALLBACK(OnChoosePicture), &w);
  w.pictureNote = Note();
  AddLine(g, 1, "Globe _picture:", w.picture, Row({w.picture, choosePicture, w.pictureNote}));

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
  AddLine(g, 4, "Camera _height:", w.eyeHeight, Row({w.eyeHeight, w.eyeNote}));

  w.forward = Toggle(w, gtk_radio_button_new_with_mnemonic(nullptr, "F_orward"), texts.spinForward);
  w.backward = Toggle(w, gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(w.forward), "_Backward"),
                      !texts.spinForward);
  AddLine(g, 5, "Spin:", nullptr, Row({w.forward, w.backward}));

  w.fine = Toggle(w, gtk_radio_button_new_with_mnemonic(nullptr, "F_ine"), texts.fineMesh);
  w.coarse = Toggle(w, gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(w.fine), "Co_arse"),
                    !texts.fineMesh);
  AddLine(g, 6, "Globe mesh:", nullptr, Row({w.fine, w.coarse}));

  w.chooseDevice =
      Toggle(w, gtk_check_button_new_with_mnemonic("Choose the _Direct3D device first"), texts.chooseDevice);
  AddLine(g, 7, "", nullptr, w.chooseDevice);

  w.play = Toggle(w, gtk_check_button_new_with_mnemonic("P_lay"), texts.play);
  w.edit = Toggle(w, gtk_check_button_new_with_mnemonic("_Edit"), texts.edit);
  w.convert = Toggle(w, gtk_check_button_new_with_mnemonic("Con_vert to"), texts.convert);
  w.format = gtk_combo_box_text_new();
  for (std::string_view name : kFormatNames)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.format), std::string(name).c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.format), texts.format);
  g_signal_connect(w.format, "changed", G_CALLBACK(OnChanged), &w);
  AddLine(g, 8, "After recording:", nullptr, Row({w.play, w.edit, w.convert, w.format}));

  int preset = PresetIndex(w.choices.width, w.choices.height);
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.sizePreset), preset < 0 ? int(std::size(kSizePresets)) : preset);
  g_signal_connect(w.sizePreset, "changed", G_CALLBACK(OnPreset), &w);
  OnPreset(GTK_COMBO_BOX(w.sizePreset), &w);

  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(w.dialog))), grid, TRUE, TRUE, 0);
  gtk_widget_show_all(w.dialog);
  gtk_widget_grab_focus(w.frames);
}

}  // namespace

bool DialogCanShow() {
  return win32ext::DisplayPresent() && gtk_init_check(nullptr, nullptr);
}

bool RunSettingsDialog(Choices& choices) {
  Window w;
  w.choices = choices;
  Build(w);
  bool recorded = gtk_dialog_run(GTK_DIALOG(w.dialog)) == GTK_RESPONSE_ACCEPT;
  if (recorded) {
    // Record is only sensitive with good fields; the check runs once more all the same.
    recorded = !CheckDialog(ReadFields(w), w.choices).Any();
  }
  gtk_widget_destroy(w.dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  if (recorded) choices = w.choices;
  return recorded;
}

}  // namespace veskset
