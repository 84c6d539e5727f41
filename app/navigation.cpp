#include "app/navigation.h"

#include <allegro.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "ui/dialog_theme.h"
#include "ui/display.h"
#include "ui/narrowing_list.h"
#include "ui/text_prompt.h"

namespace {

// The tile holding an area's position (metres east and north of the south-west corner).
void area_tile(const TargetArea &a, int *x, int *y) {
  const long long east = (long long)floor(a.pos_x / 2000.0), north = (long long)floor(a.pos_y / 2000.0);
  *x = (int)std::max(0LL, std::min(east, (long long)map_columns() - 1));
  *y = (int)std::max(0LL, std::min((long long)map_rows() - 1 - north, (long long)map_rows() - 1));
}

// One row of the find list: number, name, side, tile.
std::string find_line(int k) {
  const TargetArea &a = targets.areas[k];
  int x, y;
  area_tile(a, &x, &y);
  char line[160];
  snprintf(line, sizeof(line), "%3d  %-30.30s %-8s %4d, %4d", k, a.name, a.enemy ? "enemy" : "friendly", x,
           map_rows() - 1 - y);
  return line;
}

}  // namespace

void filter_target_areas(const char *typed, std::vector<int> *areas) {
  areas->clear();
  const std::string want = lower_case(typed);
  for (int k = 1; k <= targets.area_count && k < MAX_AREAS; k++)
    if (lower_case(targets.areas[k].name).find(want) != std::string::npos) areas->push_back(k);
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
  const NarrowingList list = {"Find target area", "Find: ", 480, 300, filter_target_areas, find_line};
  char typed[NAME_SIZE] = "";
  const int chosen = choose_narrowed(list, typed, sizeof(typed));
  if (chosen < 1) return;
  area_tile(targets.areas[chosen], &c.view->cursor_x, &c.view->cursor_y);
  c.view->overview = 0;
}
