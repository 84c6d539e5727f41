#include "app/navigation.h"

#include <allegro.h>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "ui/dialog_theme.h"
#include "ui/display.h"
#include "ui/list_box.h"
#include "ui/text_prompt.h"

namespace {

// The tile holding an area's position (metres east and north of the south-west corner).
void area_tile(const TargetArea &a, int *x, int *y) {
  const long long east = (long long)floor(a.pos_x / 2000.0), north = (long long)floor(a.pos_y / 2000.0);
  *x = (int)std::max(0LL, std::min(east, (long long)map_columns() - 1));
  *y = (int)std::max(0LL, std::min((long long)map_rows() - 1 - north, (long long)map_rows() - 1));
}

// The find dialog's state: what was typed, the areas it leaves, their lines.
struct FindList {
  char typed[NAME_SIZE] = "";
  char label[NAME_SIZE + 32] = "";
  std::vector<int> shown;
  char line[160];
};
FindList find;

char *find_item(int index, int *count) {
  if (index < 0) {
    *count = (int)find.shown.size();
    return nullptr;
  }
  const TargetArea &a = targets.areas[find.shown[(size_t)index]];
  int x, y;
  area_tile(a, &x, &y);
  snprintf(find.line, sizeof(find.line), "%3d  %-30.30s %-8s %4d, %4d", find.shown[(size_t)index], a.name,
           a.enemy ? "enemy" : "friendly", x, map_rows() - 1 - y);
  return find.line;
}

void refilter() {
  filter_target_areas(find.typed, &find.shown);
  snprintf(find.label, sizeof(find.label), "Find: %s_", find.typed);
}

// The typed line above the list: its own background, since it changes.
int find_label_proc(int msg, DIALOG *d, int) {
  if (msg != MSG_DRAW) return D_O_K;
  rectfill(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, d->bg);
  textout_ex(screen, font, (const char *)d->dp, d->x, d->y, d->fg, -1);
  return D_O_K;
}

// Letters narrow the list, Backspace widens it; the rest is the list's.
int find_list_proc(int msg, DIALOG *d, int c) {
  if (msg == MSG_CHAR) {
    const int ascii = c & 0xff, code = c >> 8;
    const size_t n = strlen(find.typed);
    if (code == KEY_BACKSPACE || (ascii >= 32 && ascii < 127)) {
      if (code == KEY_BACKSPACE && n > 0) find.typed[n - 1] = 0;
      if (code != KEY_BACKSPACE && n + 1 < sizeof(find.typed)) find.typed[n] = (char)ascii, find.typed[n + 1] = 0;
      refilter();
      d->d1 = d->d2 = 0;
      scare_mouse();
      object_message(d, MSG_DRAW, 0);
      object_message(d - 1, MSG_DRAW, 0);
      unscare_mouse();
      return D_USED_CHAR;
    }
  }
  return theme_list_proc(msg, d, c);
}

}  // namespace

void filter_target_areas(const char *typed, std::vector<int> *areas) {
  areas->clear();
  std::string want;
  for (const char *p = typed; *p; p++) want += (char)tolower((unsigned char)*p);
  for (int k = 1; k <= targets.area_count && k < MAX_AREAS; k++) {
    std::string name;
    for (const char *p = targets.areas[k].name; *p; p++) name += (char)tolower((unsigned char)*p);
    if (name.find(want) != std::string::npos) areas->push_back(k);
  }
}

int read_tile_place(const char *text, int *x, int *y, long *typed_x, long *typed_y) {
  long v[2];
  if (parse_whole_numbers(text, v, 2) != 0) return 1;
  *typed_x = v[0], *typed_y = v[1];
  if (v[0] >= map_columns() || v[1] >= map_rows()) return 2;
  *x = (int)v[0];
  *y = map_rows() - 1 - (int)v[1];
  return 0;
}

int ruler_text(int x, int y, long long east, long long north, char *text, int size) {
  const double dx = (double)east - (2000.0 * x + 1000), dy = (double)north - (2000.0 * (map_rows() - 1 - y) + 1000);
  int bearing = (int)lround(atan2(dx, dy) * 180 / M_PI);
  if (bearing < 0) bearing += 360;
  if (bearing >= 360) bearing -= 360;
  return snprintf(text, (size_t)size, "%.1f km %03d", hypot(dx, dy) / 1000, bearing) < size ? 0 : 1;
}

void toggle_overview(KeyCommand &c) { c.view->overview = !c.view->overview; }
void leave_overview(KeyCommand &c) { c.view->overview = 0; }

void go_to_tile(KeyCommand &c) {
  c.redraw = 1;
  char text[40];
  if (!ask_text("Go to tile (x, y):", text, sizeof(text))) return;
  int x, y;
  long tx = 0, ty = 0;
  const int result = read_tile_place(text, &x, &y, &tx, &ty);
  char line[96];
  if (result == 1) {
    snprintf(line, sizeof(line), "Not a tile: %s", text);
    key_note(c, line);
  } else if (result == 2) {
    snprintf(line, sizeof(line), "Tile %ld, %ld is off the map (%d x %d tiles).", tx, ty, map_columns(), map_rows());
    key_note(c, line);
  } else {
    c.view->cursor_x = x;
    c.view->cursor_y = y;
    c.view->overview = 0;
  }
}

void find_target_area(KeyCommand &c) {
  if (targets.area_count <= 0) {
    key_note(c, "No target areas.");
    return;
  }
  c.redraw = 1;
  find = FindList();
  refilter();
  enum { W = 480, H = 300 };
  const int x0 = (display.screen_width - W) / 2, y0 = (display.screen_height - H) / 2;
  const int fg = theme.fg_color, bg = theme.bg_color;
  static char title[] = "Find target area";
  DIALOG dialog[] = {
      {gui_shadow_box_proc, x0, y0, W, H, fg, bg, 0, 0, 0, 0, title, nullptr, nullptr},
      {find_label_proc, x0 + 8, y0 + 24, W - 16, 12, fg, bg, 0, 0, 0, 0, find.label, nullptr, nullptr},
      {find_list_proc, x0 + 8, y0 + 40, W - 16, H - 48, fg, display.colour_white, 0, D_EXIT, 0, 0, (void *)find_item,
       nullptr, nullptr},
      {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
  };
  scale_dialog(dialog);
  clear_keybuf();
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  const int ended = popup_dialog(dialog, 2);
  gui_mouse_focus = mouse_focus;
  clear_keybuf();
  if (ended != 2 || find.shown.empty()) return;
  const int chosen = std::max(0, std::min(dialog[2].d1, (int)find.shown.size() - 1));
  area_tile(targets.areas[find.shown[(size_t)chosen]], &c.view->cursor_x, &c.view->cursor_y);
  c.view->overview = 0;
}
