// The GTK3 view of a dialog: a modal window centred over the owner, with one widget per
// control placed by dialog units. It mirrors the model (items, selection, checks,
// enabled state) and turns the user's GTK actions into the model's user actions, so the
// dialog procedure sees the messages it would see on Windows.
#include <gtk/gtk.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_model.h"
#include "gtk_toolkit.h"
#include "readable_text.h"
#include "window_model.h"

namespace win32impl {

namespace {

// "&Windowed" as GTK spells a mnemonic: "_Windowed"; "&&" is a plain '&'.
std::string MnemonicLabel(const std::string& cp932) {
  std::string text = ReadableUtf8(cp932), label;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      label += "__";
    } else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
      label += '&';
      ++i;
    } else {
      label += text[i] == '&' ? '_' : text[i];
    }
  }
  return label;
}

std::string PlainLabel(const std::string& cp932) {
  std::string label;
  for (char c : MnemonicLabel(cp932)) {
    if (c != '_' || (!label.empty() && label.back() == '_')) label += c;
  }
  return label;
}

// Compact widgets at the dialog font, so that controls keep the template's proportions.
// The rules apply to the dialog's window only.
const char* const kStyle =
    "#vesk-dialog, #vesk-dialog * { font-family: %s; font-size: %dpx; }\n"
    "#vesk-dialog button { min-height: 0; padding-top: 1px; padding-bottom: 1px; }\n"
    "#vesk-dialog combobox button { padding-left: 3px; padding-right: 1px; }\n"
    "#vesk-dialog radiobutton { padding: 0; }\n";

class GtkDialogView final : public DialogView {
 public:
  explicit GtkDialogView(Dialog& dialog);
  ~GtkDialogView() override;
  GtkDialogView(const GtkDialogView&) = delete;
  GtkDialogView& operator=(const GtkDialogView&) = delete;

  void Refresh() override;
  void Iterate(int timeoutMs) override;

 private:
  int PixelsX(LONG units) const { return static_cast<int>(units * units_.x / 4); }
  int PixelsY(LONG units) const { return static_cast<int>(units * units_.y / 8); }
  GtkWidget* MakeWidget(const Control& control, GSList** radioGroup);
  void Connect(GtkWidget* widget, size_t index);
  void ApplyStyle();
  void Place();
  void Show(Control& control, GtkWidget* widget);

  static void OnComboChanged(GtkComboBox* combo, gpointer view);
  static void OnClicked(GtkButton* button, gpointer view);
  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer view);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer view);
  Control* ControlOf(gpointer widget);

  Dialog& dialog_;
  win32ext::DialogBaseUnits units_;
  GtkWidget* window_ = nullptr;
  GtkCssProvider* style_ = nullptr;
  std::vector<GtkWidget*> widgets_;
  bool updating_ = false;  // the view is showing the model: GTK's signals are not the user's
};

GtkDialogView::GtkDialogView(Dialog& dialog)
    : dialog_(dialog), units_(win32ext::BaseUnitsOf(dialog.source->faceName, dialog.source->pointSize)) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), ReadableUtf8(dialog.source->caption ? dialog.source->caption : "").c_str());
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_widget_set_name(window_, "vesk-dialog");
  ApplyStyle();
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, PixelsX(dialog.source->cx), PixelsY(dialog.source->cy));
  gtk_container_add(GTK_CONTAINER(window_), fixed);

  GSList* radioGroup = nullptr;
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    if (control.style & WS_GROUP || control.kind != ControlKind::RadioButton) radioGroup = nullptr;
    GtkWidget* widget = MakeWidget(control, &radioGroup);
    const RECT& r = control.dialogUnits;
    gtk_widget_set_size_request(widget, PixelsX(r.right - r.left),
                                control.kind == ControlKind::ComboBox ? -1 : PixelsY(r.bottom - r.top));
    gtk_fixed_put(GTK_FIXED(fixed), widget, PixelsX(r.left), PixelsY(r.top));
    widgets_.push_back(widget);
    Connect(widget, i);
  }
  // A label's mnemonic moves the focus to the control after it, as on Windows.
  for (size_t i = 0; i + 1 < widgets_.size(); ++i) {
    if (dialog.controls[i].kind == ControlKind::Label) {
      gtk_label_set_mnemonic_widget(GTK_LABEL(widgets_[i]), widgets_[i + 1]);
    }
  }
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  Refresh();
  gtk_widget_show_all(fixed);
  Place();
  gtk_widget_show(window_);
  for (size_t i = 0; i < widgets_.size(); ++i) {
    if ((dialog.controls[i].style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
        dialog.controls[i].kind == ControlKind::PushButton) {
      gtk_widget_grab_default(widgets_[i]);
    }
  }
}

GtkDialogView::~GtkDialogView() {
  gtk_style_context_remove_provider_for_screen(gtk_widget_get_screen(window_), GTK_STYLE_PROVIDER(style_));
  g_object_unref(style_);
  gtk_widget_destroy(window_);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void GtkDialogView::ApplyStyle() {
  std::string families = DialogFontFamilies(dialog_.source->faceName);
  std::string quoted;
  for (size_t start = 0; start <= families.size();) {
    size_t end = families.find(',', start);
    if (end == std::string::npos) end = families.size();
    std::string name = families.substr(start, end - start);
    if (!quoted.empty()) quoted += ", ";
    quoted += name == "sans-serif" ? name : "\"" + name + "\"";
    start = end + 1;
  }
  char* css = g_strdup_printf(kStyle, quoted.c_str(), DialogFontPixels(dialog_.source->pointSize));
  style_ = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style_, css, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window_), GTK_STYLE_PROVIDER(style_),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_free(css);
}

GtkWidget* GtkDialogView::MakeWidget(const Control& control, GSList** radioGroup) {
  switch (control.kind) {
    case ControlKind::GroupBox:
      return gtk_frame_new(PlainLabel(control.text).c_str());
    case ControlKind::Label: {
      GtkWidget* label = gtk_label_new_with_mnemonic(MnemonicLabel(control.text).c_str());
      gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
      gtk_label_set_yalign(GTK_LABEL(label), 0.5f);
      return label;
    }
    case ControlKind::ComboBox: {
      // The open list is as wide as its longest item ("D3DPRESENT_INTERVAL_IMMEDIATE"),
      // even where that is wider than the closed box.
      GtkWidget* combo = gtk_combo_box_text_new();
      gtk_combo_box_set_popup_fixed_width(GTK_COMBO_BOX(combo), FALSE);
      return combo;
    }
    case ControlKind::RadioButton: {
      GtkWidget* radio = gtk_radio_button_new_with_mnemonic(*radioGroup, MnemonicLabel(control.text).c_str());
      *radioGroup = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
      return radio;
    }
    case ControlKind::PushButton: {
      GtkWidget* button = gtk_button_new_with_mnemonic(MnemonicLabel(control.text).c_str());
      gtk_widget_set_can_default(button, TRUE);
      return button;
    }
  }
  return gtk_label_new("");
}

void GtkDialogView::Connect(GtkWidget* widget, size_t index) {
  g_object_set_data(G_OBJECT(widget), "vesk-control", GSIZE_TO_POINTER(index + 1));
  ControlKind kind = dialog_.controls[index].kind;
  if (kind == ControlKind::ComboBox) g_signal_connect(widget, "changed", G_CALLBACK(OnComboChanged), this);
  if (kind == ControlKind::RadioButton || kind == ControlKind::PushButton) {
    g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), this);
  }
}

// Centred over the owner's window and kept above it, or centred on the screen.
void GtkDialogView::Place() {
  Window* owner = LookupWindow(dialog_.parent);
  if (!owner) {
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    return;
  }
  int width = 0, height = 0;
  gtk_widget_get_preferred_width(window_, nullptr, &width);
  gtk_widget_get_preferred_height(window_, nullptr, &height);
  MakeTransientFor(window_, owner->nativeId);
  const RECT& r = owner->rect;
  gtk_window_move(GTK_WINDOW(window_), std::max<int>(0, (r.left + r.right - width) / 2),
                  std::max<int>(0, (r.top + r.bottom - height) / 2));
}

void GtkDialogView::Show(Control& control, GtkWidget* widget) {
  gtk_widget_set_sensitive(widget, control.enabled);
  switch (control.kind) {
    case ControlKind::ComboBox: {
      GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
      gtk_combo_box_text_remove_all(combo);
      for (const ComboItem& item : control.items) gtk_combo_box_text_append_text(combo, ReadableUtf8(item.text).c_str());
      gtk_combo_box_set_active(GTK_COMBO_BOX(combo), control.selection);
      break;
    }
    case ControlKind::RadioButton:
      if (control.checked) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), TRUE);
      break;
    default:
      break;
  }
}

void GtkDialogView::Refresh() {
  updating_ = true;
  for (size_t i = 0; i < widgets_.size(); ++i) {
    Control& control = dialog_.controls[i];
    if (!control.dirty) continue;
    control.dirty = false;
    Show(control, widgets_[i]);
  }
  updating_ = false;
}

void GtkDialogView::Iterate(int timeoutMs) {
  if (!gtk_events_pending()) g_usleep(static_cast<gulong>(timeoutMs) * 1000);
  while (!dialog_.ended && gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

Control* GtkDialogView::ControlOf(gpointer widget) {
  size_t index = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(widget), "vesk-control"));
  if (updating_ || dialog_.ended || index == 0 || index > dialog_.controls.size()) return nullptr;
  return &dialog_.controls[index - 1];
}

void GtkDialogView::OnComboChanged(GtkComboBox* combo, gpointer view) {
  auto* self = static_cast<GtkDialogView*>(view);
  Control* control = self->ControlOf(combo);
  int index = gtk_combo_box_get_active(combo);
  if (control && index >= 0) UserChoosesItem(self->dialog_, *control, index);
}

void GtkDialogView::OnClicked(GtkButton* button, gpointer view) {
  auto* self = static_cast<GtkDialogView*>(view);
  Control* control = self->ControlOf(button);
  if (!control) return;
  // A radio button that GTK unchecks because another was chosen is not clicked.
  if (control->kind == ControlKind::RadioButton && !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button))) return;
  UserClicks(self->dialog_, *control);
}

gboolean GtkDialogView::OnKey(GtkWidget*, GdkEventKey* event, gpointer view) {
  auto* self = static_cast<GtkDialogView*>(view);
  if (self->dialog_.ended) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Escape: UserPressesKey(self->dialog_, VK_ESCAPE); return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: UserPressesKey(self->dialog_, VK_RETURN); return TRUE;
    default: return FALSE;
  }
}

gboolean GtkDialogView::OnDelete(GtkWidget*, GdkEvent*, gpointer view) {
  auto* self = static_cast<GtkDialogView*>(view);
  if (!self->dialog_.ended) UserClosesDialog(self->dialog_);
  return TRUE;  // the window goes with the dialog, not before
}

}  // namespace

std::unique_ptr<DialogView> CreateGtkDialogView(Dialog& dialog) { return std::make_unique<GtkDialogView>(dialog); }

}  // namespace win32impl
