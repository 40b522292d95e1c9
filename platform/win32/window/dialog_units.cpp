// Dialog base units from the dialog's font, measured as Windows measures them: the
// width is the average over the 52 Latin letters, rounded; the height is the font's
// line height. The face is resolved through fontconfig (by Pango); the Windows shell
// faces, which Linux lacks, ask first for the metric-compatible Liberation Sans.
#include <pango/pangocairo.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "dialog_model.h"

namespace win32impl {

std::string DialogFontFamilies(const char* faceName) {
  std::string face = faceName && *faceName ? faceName : "MS Shell Dlg";
  bool shellFace = face == "MS Shell Dlg" || face == "MS Shell Dlg 2" || face == "MS Sans Serif" ||
                   face == "Microsoft Sans Serif" || face == "Tahoma";
  return shellFace ? "Liberation Sans,DejaVu Sans,sans-serif" : face + ",Liberation Sans,sans-serif";
}

int DialogFontPixels(int pointSize) { return (pointSize * kPixelsPerInch + 36) / 72; }

}  // namespace win32impl

namespace {

win32ext::DialogBaseUnits Measure(const char* faceName, int pointSize) {
  PangoFontMap* map = pango_cairo_font_map_new();
  pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), win32impl::kPixelsPerInch);
  PangoContext* context = pango_font_map_create_context(map);
  PangoFontDescription* font = pango_font_description_from_string("");
  pango_font_description_set_family(font, win32impl::DialogFontFamilies(faceName).c_str());
  pango_font_description_set_absolute_size(font, win32impl::DialogFontPixels(pointSize) * PANGO_SCALE);
  PangoLayout* layout = pango_layout_new(context);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  pango_font_description_free(font);
  g_object_unref(context);
  g_object_unref(map);
  return {(width / 26 + 1) / 2, height};
}

}  // namespace

win32ext::DialogBaseUnits win32ext::BaseUnitsOf(const char* faceName, int pointSize) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, int>, DialogBaseUnits> measured;
  std::lock_guard lock(mutex);
  auto key = std::make_pair(std::string(faceName ? faceName : ""), pointSize);
  auto found = measured.find(key);
  if (found == measured.end()) found = measured.emplace(key, Measure(faceName, pointSize)).first;
  return found->second;
}
