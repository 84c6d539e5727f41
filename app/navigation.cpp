#include "app/navigation.h"

#include <allegro.h>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/open_place.h"
#include "geo/degrees_text.h"
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
  const double e0 = 2000.0 * x + 1000, n0 = 2000.0 * (map_rows() - 1 - y) + 1000;
  const double dx = (double)east - e0, dy = (double)north - n0;
  int bearing = (int)lround(atan2(dx, dy) * 180 / M_PI);
  if (bearing < 0) bearing += 360;
  if (bearing >= 360) bearing -= 360;
  int written = snprintf(text, (size_t)size, "%.1f km %03d", hypot(dx, dy) / 1000, bearing);
  // On the ellipsoid beside the grid's, for a terrain placed on the Earth.
  double metres, azimuth;
  if (written < size && terrain_place.place &&
      place_geodesic(*terrain_place.place, e0, n0, (double)east, (double)north, &metres, &azimuth)) {
    int true_bearing = metres > 0 ? (int)lround(azimuth) % 360 : 0;
    written += snprintf(text + written, (size_t)(size - written), ", true %.1f km %03d", metres / 1000, true_bearing);
  }
  return written < size ? 0 : 1;
}

namespace {

// Two kilometre figures (digits with a decimal part), "km" after either or
// both, apart by blanks or a comma: false for anything else.
bool read_kilometres(const char *text, double *east, double *north) {
  std::string plain;
  for (const char *p = text; *p; p++) {
    if (tolower((unsigned char)p[0]) == 'k' && tolower((unsigned char)p[1]) == 'm') {
      plain += ' ';
      p++;
    } else {
      plain += *p;
    }
  }
  double v[2];
  const char *at = plain.c_str();
  for (int k = 0; k < 2; k++) {
    while (*at == ' ' || *at == '\t' || (k == 1 && *at == ',')) at++;
    if (!isdigit((unsigned char)*at)) return false;
    char *end;
    v[k] = strtod(at, &end);
    for (const char *c = at; c < end; c++)
      if (!isdigit((unsigned char)*c) && *c != '.') return false;  // no exponents or signs
    at = end;
    if (k == 0 && *at != ' ' && *at != '\t' && *at != ',') return false;
  }
  while (*at == ' ' || *at == '\t') at++;
  if (*at || !std::isfinite(v[0]) || !std::isfinite(v[1])) return false;
  *east = 1000 * v[0];
  *north = 1000 * v[1];
  return true;
}

// "14 km west and 3 km south of it": how far a point lies off the terrain.
std::string off_terrain_text(double east, double north) {
  const double width = 2000.0 * map_columns(), height = 2000.0 * map_rows();
  std::string text;
  auto side = [&](double beyond, const char *name) {
    if (beyond <= 0) return;
    char part[48];
    snprintf(part, sizeof(part), "%s%.0f km %s", text.empty() ? "" : " and ", std::ceil(beyond / 1000), name);
    text += part;
  };
  side(-east, "west");
  side(east - width, "east");
  side(north - height, "north");
  side(-north, "south");
  return text + " of it";
}

// The tile holding a point, metres east and north of the south-west corner.
bool tile_of_point(double east, double north, int *x, int *y) {
  if (!(east >= 0 && north >= 0 && east < 2000.0 * map_columns() && north < 2000.0 * map_rows())) return false;
  *x = (int)(east / 2000);
  *y = map_rows() - 1 - (int)(north / 2000);
  return true;
}

}  // namespace

int read_go_to(const char *text, int *x, int *y, char *why, int size) {
  long tx = 0, ty = 0;
  const int tile = read_tile_place(text, x, y, &tx, &ty);
  if (tile == 0) return GOTO_FOUND;
  if (tile == 2) {
    snprintf(why, (size_t)size, "Tile %ld, %ld is off the map (%d x %d tiles).", tx, ty, map_columns(), map_rows());
    return GOTO_OFF_MAP;
  }
  double east, north;
  if (read_kilometres(text, &east, &north)) {
    if (tile_of_point(east, north, x, y)) return GOTO_FOUND;
    snprintf(why, (size_t)size, "%.1f km, %.1f km is off the map (%d x %d km).", east / 1000, north / 1000,
             2 * map_columns(), 2 * map_rows());
    return GOTO_OFF_MAP;
  }
  double latitude, longitude;
  if (!parse_place(text, &latitude, &longitude)) {
    snprintf(why, (size_t)size, "Not a tile, kilometres or degrees: %s", text);
    return GOTO_UNREADABLE;
  }
  if (!terrain_place.place) {
    snprintf(why, (size_t)size, "Degrees need a place on the Earth: %s has no _GEO.ini.", get_filename(terrain_paths.tfd_path));
    return GOTO_NO_PLACE;
  }
  const std::string named = place_decimal_text(latitude, longitude, "");
  if (!place_from_degrees(*terrain_place.place, latitude, longitude, &east, &north)) {
    snprintf(why, (size_t)size, "%s has no place in the terrain's projection.", named.c_str());
    return GOTO_OFF_MAP;
  }
  if (tile_of_point(east, north, x, y)) return GOTO_FOUND;
  snprintf(why, (size_t)size, "%s is off the terrain: %s.", named.c_str(), off_terrain_text(east, north).c_str());
  return GOTO_OFF_MAP;
}

void toggle_overview(KeyCommand &c) { c.view->overview = !c.view->overview; }
void leave_overview(KeyCommand &c) { c.view->overview = 0; }

void go_to_tile(KeyCommand &c) {
  c.redraw = 1;
  char text[64];
  if (!ask_text("Go to tile (x, y), km or degrees:", text, sizeof(text))) return;
  int x, y;
  char line[KEY_NOTE_SIZE];
  if (read_go_to(text, &x, &y, line, sizeof(line)) != GOTO_FOUND) {
    key_note(c, line);
    return;
  }
  c.view->cursor_x = x;
  c.view->cursor_y = y;
  c.view->overview = 0;
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
