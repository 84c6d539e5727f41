#include "app/settings_dialog.h"

#include <allegro.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/regular_file.h"
#include "program/session.h"
#include "program/settings.h"
#include "render/export/briefing_map.h"
#include "render/export/briefing_page.h"
#include "render/export/export_bitmap.h"
#include "ui/dialog_theme.h"
#include "ui/display.h"

namespace {

enum { DIALOG_W = 452, ROW_H = 22, FIRST_ROW = 32, LABEL_X = 12, CONTROL_X = 136, WHEN_X = 364, FIELD_CHARS = 5 };

struct Choice {
  const char *label;
  int value;
  int width;
};

// One line of the dialog: a field of digits (no choices) or a group of
// choices for one setting, and when the setting takes effect.
struct Row {
  const char *label;
  int *value;
  std::vector<Choice> choices;
  const char *when;
  int least, most;  // a field's range
  char text[FIELD_CHARS + 1];
  int first = 0;    // its first object in the dialog
};

const char WHEN_NOW[] = "now", WHEN_OPENING[] = "next opening", WHEN_START[] = "next start";

std::vector<Row> rows_for(ProgramSettings &s) {
  const std::vector<Choice> off_on = {{"Off", 0, 40}, {"On", 1, 40}};
  std::vector<Choice> zoom = {{"fit", START_ZOOM_FIT, 32}};
  static const char *const levels[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
  for (int k = 0; k <= 8; k++) zoom.push_back({levels[k], k, 20});
  std::vector<Row> rows = {
      {"Window width", &s.screen_width, {}, WHEN_START, SETTINGS_MIN_WIDTH, SETTINGS_MAX_SIZE, ""},
      {"Window height", &s.screen_height, {}, WHEN_START, SETTINGS_MIN_HEIGHT, SETTINGS_MAX_SIZE, ""},
      {"Full screen", &s.full_screen, off_on, WHEN_START, 0, 0, ""},
      {"UI scale", &s.ui_scale, {{"auto", UI_SCALE_AUTO, 44}, {"1", 1, 28}, {"2", 2, 28}, {"3", 3, 28}}, WHEN_NOW, 0, 0, ""},
      {"Start zoom", &s.start_zoom, zoom, WHEN_OPENING, 0, 0, ""},
      {"Target areas", &s.enable_targets, off_on, WHEN_START, 0, 0, ""},
      {"Degrees", &s.degrees_decimal, {{"minutes", 0, 64}, {"decimal", 1, 64}}, WHEN_NOW, 0, 0, ""},
      // --format chose this run's format: the setting waits for the next.
      {"Export format", &s.export_format, {{"BMP", EXPORT_FORMAT_BMP, 44}, {"PNG", EXPORT_FORMAT_PNG, 44}},
       session.export_format_from_command ? WHEN_START : WHEN_NOW, 0, 0, ""},
      {"Briefing page", &s.briefing_paper, {{"A3", BRIEFING_A3, 40}, {"A4", BRIEFING_A4, 40}, {"Letter", BRIEFING_LETTER, 56}},
       WHEN_NOW, 0, 0, ""},
      {"Briefing pixels", &s.briefing_pixels, {}, WHEN_NOW, BRIEFING_PIXELS_LEAST, BRIEFING_PIXELS_MOST, ""},
  };
  s.full_screen = s.full_screen > 0;
  s.enable_targets = s.enable_targets != 0;
  for (Row &r : rows)
    if (r.choices.empty()) snprintf(r.text, sizeof(r.text), "%d", *r.value);
  return rows;
}

DIALOG object(int (*proc)(int, DIALOG *, int), int x, int y, int w, int h, int fg, int flags, const void *dp) {
  return DIALOG{proc, x, y, w, h, fg, theme.bg_color, 0, flags, 0, 0, const_cast<void *>(dp), nullptr, nullptr};
}

// A field's number: digits alone, within its range.
bool field_value(const Row &r, int *value) {
  if (!r.text[0]) return false;
  for (const char *p = r.text; *p; p++)
    if (*p < '0' || *p > '9') return false;
  *value = atoi(r.text);
  return *value >= r.least && *value <= r.most;
}

}  // namespace

void edit_settings(KeyCommand &c) {
  // What the file holds now, which is what the next start reads.
  use_config_file(SETTINGS_FILE);
  const ProgramSettings was = read_settings();
  ProgramSettings s = was;
  std::vector<Row> rows = rows_for(s);
  const int h = FIRST_ROW + ROW_H * (int)rows.size() + 40;
  const int x0 = (display.screen_width - DIALOG_W) / 2, y0 = (display.screen_height - h) / 2;
  const int fg = theme.fg_color;
  std::vector<DIALOG> d;
  d.push_back(object(gui_shadow_box_proc, x0, y0, DIALOG_W, h, fg, 0, "Settings: Veldkit.ini in the working directory"));
  d.push_back(object(theme_text_proc, x0 + WHEN_X, y0 + FIRST_ROW - 14, 80, 12, theme.mid_color, 0, "applies"));
  for (size_t i = 0; i < rows.size(); i++) {
    Row &r = rows[i];
    const int y = y0 + FIRST_ROW + ROW_H * (int)i;
    d.push_back(object(theme_text_proc, x0 + LABEL_X, y + 3, CONTROL_X - LABEL_X, 12, fg, 0, r.label));
    r.first = (int)d.size();
    if (r.choices.empty()) {
      DIALOG field = object(theme_edit_proc, x0 + CONTROL_X + 2, y + 2, 52, 14, fg, D_EXIT, r.text);
      field.bg = display.colour_white;
      field.d1 = FIELD_CHARS;
      field.d2 = (int)strlen(r.text);
      d.push_back(field);
    }
    int x = x0 + CONTROL_X;
    for (const Choice &k : r.choices) {
      DIALOG choice = object(theme_choice_proc, x, y, k.width, 18, fg, k.value == *r.value ? D_SELECTED : 0, k.label);
      choice.d1 = (int)i + 1;  // the group
      d.push_back(choice);
      x += k.width;
    }
    d.push_back(object(theme_text_proc, x0 + WHEN_X, y + 3, DIALOG_W - WHEN_X - 8, 12, theme.mid_color, 0, r.when));
  }
  const int save = (int)d.size(), buttons_y = y0 + h - 32;
  d.push_back(object(gui_button_proc, x0 + DIALOG_W / 2 - 100, buttons_y, 90, 22, fg, D_EXIT, "Save"));
  d.push_back(object(gui_button_proc, x0 + DIALOG_W / 2 + 10, buttons_y, 90, 22, fg, D_EXIT, "Cancel"));
  d.back().key = 27;
  d.push_back(object(d_yield_proc, 0, 0, 0, 0, 0, 0, nullptr));
  d.push_back(DIALOG{nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr});
  scale_dialog(d.data());

  // Typing goes to the field that has the focus, wherever the pointer is.
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  clear_keybuf();
  int focus = rows[0].first, changed = 0;
  bool saved = false;
  for (;;) {
    const int ended = popup_dialog(d.data(), focus);
    if (ended != save && (ended < 0 || d[(size_t)ended].proc != theme_edit_proc)) break;
    std::string refusal, range;
    for (Row &r : rows) {
      if (r.choices.empty() && refusal.empty() && !field_value(r, r.value)) {
        refusal = std::string(r.label) + " must be a whole number";
        range = "from " + std::to_string(r.least) + " to " + std::to_string(r.most) +
                (r.text[0] ? std::string(", not ") + r.text + "." : ".");
        focus = r.first;
      }
      for (size_t k = 0; k < r.choices.size(); k++)
        if (d[(size_t)r.first + k].flags & D_SELECTED) *r.value = r.choices[k].value;
    }
    if (!refusal.empty()) {
      alert(refusal.c_str(), range.c_str(), nullptr, "OK", nullptr, 'o', 0);
      continue;
    }
    std::string why;
    if (save_settings(SETTINGS_FILE, s, &why, &changed) == RESULT_OK) {
      saved = true;
      break;
    }
    alert("Error writing the settings file.", why.c_str(), nullptr, "OK", nullptr, 'o', 0);
  }
  gui_mouse_focus = mouse_focus;
  clear_keybuf();
  if (!saved) return;
  c.redraw = 1;
  if (!changed) {
    key_note(c, "Nothing changed: Veldkit.ini stays as it was.");
    return;
  }
  // The rest takes effect at once; the start zoom at the next opening.
  session.start_zoom = s.start_zoom;
  session.degrees_decimal = s.degrees_decimal;
  if (!session.export_format_from_command) session.export_format = s.export_format;
  if (s.ui_scale != session.ui_scale) {
    session.ui_scale = s.ui_scale;
    set_ui_scale(ui_scale_for(s.ui_scale, display.screen_width, display.screen_height));
  }
  std::vector<std::string> later;
  if (s.screen_width != was.screen_width || s.screen_height != was.screen_height) later.push_back("the window size");
  if (s.full_screen != (was.full_screen > 0)) later.push_back("full screen");
  if (s.enable_targets != (was.enable_targets != 0)) later.push_back("target areas");
  if (session.export_format_from_command && s.export_format != was.export_format) later.push_back("the export format");
  std::string note = "Saved Veldkit.ini";
  for (size_t k = 0; k < later.size(); k++)
    note += (k == 0 ? "; " : k + 1 == later.size() ? " and " : ", ") + later[k];
  note += later.empty() ? "." : " from the next start.";
  key_note(c, note.c_str());
}
