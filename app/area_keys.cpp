#include "app/area_keys.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "app/editing.h"
#include "core/text_numbers.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"
#include "edit/land_edits.h"
#include "edit/sea_level.h"
#include "app/status_bar.h"
#include "document/height_import_step.h"
#include "edit/target_edits.h"
#include "program/session.h"
#include "ui/display.h"
#include "ui/narrowing_list.h"
#include "ui/text_prompt.h"

namespace {

void on_selection(KeyCommand &c, int rule) { area_apply(rule, c.view->selection, clipboards.tiles); }

void heights_on_selection(KeyCommand &c, int rule) {
  heights_apply(rule, c.view->selection, 0, clipboards.heights);
}

// The area a height tool works on, cut to the map; false when none is left.
bool height_area(const ViewState &v, TileRect *r) {
  *r = v.selected ? v.selection : TileRect{v.cursor_x, v.cursor_y, v.cursor_x, v.cursor_y};
  return clip_to_map(*r);
}

// what: "Smoothed %s." with the area's tiles in place of %s. *area (may be
// null) receives the tiles worked on; false when none.
bool heights_on_area(KeyCommand &c, int rule, int value, const char *what, TileRect *area = nullptr) {
  TileRect r;
  if (!height_area(*c.view, &r)) return false;
  heights_apply(rule, r, value, clipboards.heights);
  char format[KEY_NOTE_SIZE];
  snprintf(format, sizeof(format), what, "%s", value);
  key_done_tiles(c, format, r.width(), r.height());
  if (area) *area = r;
  return true;
}

}  // namespace

void select_whole_map(KeyCommand &c) {
  if (map_columns() == 0 || map_rows() == 0) return;
  c.view->selected = 1;
  c.view->selection = {0, 0, map_columns() - 1, map_rows() - 1};
}

void copy_selection(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
    return;
  }
  const TileRect &r = c.view->selection;
  copy_stamp(&clipboards.tiles, r.left, r.top, r.right, r.bottom);
  if (c.view->edit_mode == EDIT_HEIGHTS) copy_height_stamp(&clipboards.height_stamp, r);
  char text[64];
  snprintf(text, sizeof(text), "Copied %d x %d tiles.", r.width(), r.height());
  key_note(c, text);
}

void paste_stamp_at_corner(KeyCommand &c) {
  if (tile_clipboard_empty()) {
    key_note(c, NOTHING_COPIED_TEXT);
    return;
  }
  area_stamp(clipboards.tiles, c.view->cursor_x, c.view->cursor_y);
  key_done_tiles(c, "Pasted %s.", clipboards.tiles.w, clipboards.tiles.h);
}

// "Filled 5400 tiles.": the tiles of the selection on the map.
void note_filled(KeyCommand &c) {
  TileRect r = c.view->selection;
  if (clip_to_map(r)) snprintf(c.done, sizeof(c.done), "Filled %lld tiles.", (long long)r.width() * r.height());
}

void fill_selection(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
    return;
  }
  if (tile_clipboard_empty()) {
    key_note(c, NOTHING_COPIED_TEXT);
    return;
  }
  area_fill(clipboards.tiles, c.view->selection);
  note_filled(c);
}

void paste_height_stamp_at_corner(KeyCommand &c) {
  if (clipboards.height_stamp.w == 0) {
    key_note(c, "No heights copied.");
    return;
  }
  heights_stamp(clipboards.height_stamp, c.view->cursor_x, c.view->cursor_y);
  key_done_tiles(c, "Pasted the heights of %s.", clipboards.height_stamp.w, clipboards.height_stamp.h);
}

void fill_selection_heights(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
  } else if (clipboards.height_stamp.w == 0) {
    key_note(c, "No heights copied.");
  } else {
    heights_fill(clipboards.height_stamp, c.view->selection);
    note_filled(c);
  }
}

// "Raised 3 x 2 tiles (step 10 m).": the selection's tiles on the map.
static void step_selected_heights(KeyCommand &c, int rule, const char *what) {
  heights_on_selection(c, rule);
  TileRect r = c.view->selection;
  char tiles[40];
  if (!clip_to_map(r)) return;
  tiles_text(r.width(), r.height(), tiles, sizeof(tiles));
  height_step_done(c, what, tiles);
}
void raise_selected_heights(KeyCommand &c) { step_selected_heights(c, HEIGHTS_RAISE, "Raised"); }
void lower_selected_heights(KeyCommand &c) { step_selected_heights(c, HEIGHTS_LOWER, "Lowered"); }
void turn_selected_heights(KeyCommand &c) { heights_on_selection(c, HEIGHTS_TURN); }
void paste_heights_on_selection(KeyCommand &c) {
  heights_on_selection(c, HEIGHTS_PASTE);
  key_done_tiles(c, "Pasted heights on %s.", c.view->selection.width(), c.view->selection.height());
}
// The level is the mean the tool found: read back from the first sample.
void level_heights(KeyCommand &c) {
  TileRect r;
  if (!heights_on_area(c, HEIGHTS_LEVEL, 0, "Level: %s", &r)) return;
  const size_t length = strlen(c.done);
  snprintf(c.done + length, sizeof(c.done) - length, " at %d m.", height_map.heights[4 * r.left][4 * r.top]);
}
void smooth_heights(KeyCommand &c) { heights_on_area(c, HEIGHTS_SMOOTH, 0, "Smoothed %s."); }
void ramp_heights(KeyCommand &c) { heights_on_area(c, HEIGHTS_RAMP, 0, "Ramp on %s."); }

void set_heights(KeyCommand &c) {
  c.redraw = 1;
  char text[40];
  if (!ask_text("Set height (0-9999):", text, sizeof(text)) || !text[0]) return;
  long height;
  if (parse_whole_numbers(text, &height, 1) != 0 || height > MAX_HEIGHT) {
    char line[80];
    snprintf(line, sizeof(line), "Not a height of 0 to 9999: %s", text);
    key_note(c, line);
    return;
  }
  heights_on_area(c, HEIGHTS_SET, (int)height, "Set %s to %d m.");
}

void raise_selected_textures(KeyCommand &c) { on_selection(c, AREA_RAISE_TEXTURE); }
void lower_selected_textures(KeyCommand &c) { on_selection(c, AREA_LOWER_TEXTURE); }
void turn_selected_tiles(KeyCommand &c) { on_selection(c, AREA_TURN); }
void next_selected_tags(KeyCommand &c) { on_selection(c, AREA_NEXT_TAG); }
void paste_on_selection(KeyCommand &c) { on_selection(c, AREA_PASTE_CENTRE); }

void toggle_paint_mode(KeyCommand &c) {
  c.view->left_button = c.view->left_button == LEFT_BUTTON_PAINT ? LEFT_BUTTON_PAN : LEFT_BUTTON_PAINT;
}
void toggle_land_mode(KeyCommand &c) {
  if (c.view->left_button == LEFT_BUTTON_LANDS) {
    c.view->left_button = LEFT_BUTTON_PAN;
  } else if (!lands_in_use()) {
    key_note(c, NO_LANDS_TEXT);
  } else {
    c.view->left_button = LEFT_BUTTON_LANDS;
    c.view->land = current_land(*c.view);
  }
}
// E: target mode on and off; it ends paint and land mode.
void toggle_target_mode(KeyCommand &c) {
  c.view->left_button = editing_targets(*c.view) ? LEFT_BUTTON_PAN : LEFT_BUTTON_TARGETS;
  if (!editing_targets(*c.view)) c.view->target_area = c.view->target = 0;
  // The marks must show to be picked.
  if (editing_targets(*c.view) && c.view->overlay_mode == 0) c.view->overlay_mode = 1;
}

// [ and ] on a selected runway area: its heading by a degree, 10 with Shift.
void turn_selected_area(KeyCommand &c, int degrees) {
  std::unique_ptr<TargetChange> change = target_area_turn(c.view->target_area, degrees);
  if (!change) {
    key_note(c, c.view->target_area ? "Only a runway area turns." : "Nothing selected.");
    return;
  }
  const int n = c.view->target_area;
  history_target_step(change.release());
  snprintf(c.done, sizeof(c.done), "Runway heading %03d.", targets.areas[n].targets[1].heading);
}
void turn_area_right(KeyCommand &c) { turn_selected_area(c, key_shifts & KB_SHIFT_FLAG ? 10 : 1); }
void turn_area_left(KeyCommand &c) { turn_selected_area(c, key_shifts & KB_SHIFT_FLAG ? -10 : -1); }

// Delete: the selected target, or the selected area with its targets after
// a question.
void delete_selected_target(KeyCommand &c) {
  const int n = c.view->target_area, t = c.view->target;
  if (n < 1 || n > targets.area_count) {
    key_note(c, "Nothing selected.");
    return;
  }
  std::unique_ptr<TargetChange> change;
  if (t > 0) {
    change = target_remove(n, t);
    if (!change) {
      key_note(c, "An area keeps its last target.");
      return;
    }
  } else {
    const TargetArea &area = targets.areas[n];
    const std::string question = "Delete " + target_area_label(n) + " " + area.name + " with its " +
                                 std::to_string(area.target_count) + (area.target_count == 1 ? " target?" : " targets?");
    c.redraw = 1;
    if (alert(question.c_str(), nullptr, nullptr, "&Yes", "&No", 'y', 'n') != 1) return;
    change = target_area_remove(n);
  }
  snprintf(c.done, sizeof(c.done), "Deleted %s.", t > 0 ? ("Target[" + std::to_string(t) + "] of " + target_area_label(n)).c_str()
                                                       : target_area_label(n).c_str());
  history_target_step(change.release());
  c.view->target_area = 0;
  c.view->target = 0;
}

// Return: the selected area's name again, the current one in the field.
void rename_selected_area(KeyCommand &c) {
  const int n = c.view->target_area;
  if (n < 1 || n > targets.area_count) {
    key_note(c, "Nothing selected.");
    return;
  }
  char name[NAME_SIZE];
  snprintf(name, sizeof(name), "%s", targets.areas[n].name);
  c.redraw = 1;
  if (!ask_text_again("Area name:", name, sizeof(name)) || !name[0]) return;
  std::unique_ptr<TargetChange> change = target_area_rename(n, name);
  if (!change) return;
  history_target_step(change.release());
  snprintf(c.done, sizeof(c.done), "%s", target_selection_text(n, 0).c_str());
}

// Shift + Return: the selected area's side.
void switch_selected_side(KeyCommand &c) {
  const int n = c.view->target_area;
  std::unique_ptr<TargetChange> change = target_area_switch_side(n);
  if (!change) {
    key_note(c, "Nothing selected.");
    return;
  }
  history_target_step(change.release());
  snprintf(c.done, sizeof(c.done), "%s: %s.", targets.areas[n].name, targets.areas[n].enemy ? "enemy" : "friendly");
}

// Where the pointer is, in metres; false off the map view.
static bool pointer_metres(const ViewState &view, double *east, double *north) {
  if (mouse_x < 0 || mouse_y < 0 || mouse_x >= display.screen_width || mouse_y >= display.status_y) return false;
  pixel_metres(view, mouse_x, mouse_y, east, north);
  return true;
}

std::vector<TargetType> target_types_in_use() {
  std::map<std::string, TargetType> by_lower;  // one row per type whatever its case, as first written
  for (int n = 1; n <= targets.area_count && n < MAX_AREAS; n++)
    for (int t = 1; t <= targets.areas[n].target_count && t < MAX_TARGETS; t++) {
      TargetType &row = by_lower[lower_case(targets.areas[n].targets[t].type)];
      if (!row.count++) row.name = targets.areas[n].targets[t].type;
    }
  std::vector<TargetType> types;
  for (auto &entry : by_lower)
    if (!entry.first.empty()) types.push_back(entry.second);
  return types;
}

bool offer_runway_types(std::vector<TargetType> *types) {
  for (const TargetType &t : *types)
    if (t.name.compare(0, 6, "Runway") == 0) return false;
  for (int k = 1; k <= 6; k++) types->push_back({"Runway" + std::to_string(k), 0});
  return true;
}

void filter_target_types(const std::vector<TargetType> &types, const char *typed, std::vector<int> *shown) {
  shown->clear();
  const std::string want = lower_case(typed);
  bool exact = false;
  for (size_t k = 0; k < types.size(); k++) {
    const std::string name = lower_case(types[k].name.c_str());
    if (name.find(want) == std::string::npos) continue;
    shown->push_back((int)k);
    exact = exact || name == want;
  }
  if (!want.empty() && !exact) shown->push_back((int)types.size());
}

// The type of a new target: one the file uses, or a new word typed.
static bool ask_target_type(char *type, int size) {
  std::vector<TargetType> types = target_types_in_use();
  const bool runways = offer_runway_types(&types);
  char typed[NAME_SIZE] = "";
  std::string current;  // what is typed now, for the new type's row
  const NarrowingList list = {
      "Target type:", "Type: ", 360, 260,
      [&](const char *text, std::vector<int> *shown) {
        current = text;
        filter_target_types(types, text, shown);
      },
      [&](int k) {
        char line[NAME_SIZE + 40];
        if (k < (int)types.size() && types[(size_t)k].count > 0)
          snprintf(line, sizeof(line), "%-32.32s %6d", types[(size_t)k].name.c_str(), types[(size_t)k].count);
        else
          snprintf(line, sizeof(line), "%-32.32s (new)", k < (int)types.size() ? types[(size_t)k].name.c_str() : current.c_str());
        return std::string(line);
      },
      runways ? "Runway1 to Runway6 as first target make an airfield." : nullptr};
  const int chosen = choose_narrowed(list, typed, sizeof(typed));
  if (chosen < 0) return false;
  snprintf(type, (size_t)size, "%s", chosen < (int)types.size() ? types[(size_t)chosen].name.c_str() : typed);
  return type[0] != 0;
}

// Insert: a target of the selected area at the pointer, of a type asked for.
void add_target_here(KeyCommand &c) {
  const int n = c.view->target_area;
  double east, north;
  if (n < 1 || n > targets.area_count || !pointer_metres(*c.view, &east, &north)) {
    key_note(c, n < 1 ? "Nothing selected." : "The pointer is off the map.");
    return;
  }
  char type[NAME_SIZE] = "";
  c.redraw = 1;
  if (!ask_target_type(type, sizeof(type))) return;
  const TargetArea &area = targets.areas[n];
  std::unique_ptr<TargetChange> change = target_add(n, type, east - area.pos_x, north - area.pos_y);
  if (!change) return;
  history_target_step(change.release());
  c.view->target_area = n;
  c.view->target = targets.areas[n].target_count;
  snprintf(c.done, sizeof(c.done), "%s", target_selection_text(n, c.view->target).c_str());
}

// Ctrl + Insert: an area at the pointer: its name, its side, its first target.
void add_area_here(KeyCommand &c) {
  double east, north;
  if (!pointer_metres(*c.view, &east, &north)) {
    key_note(c, "The pointer is off the map.");
    return;
  }
  char name[NAME_SIZE] = "", type[NAME_SIZE] = "";
  c.redraw = 1;
  if (!ask_text("Area name:", name, sizeof(name)) || !name[0]) return;
  const int side = alert("Friendly or enemy?", name, nullptr, "&Friendly", "&Enemy", 'f', 'e');
  if (!ask_target_type(type, sizeof(type))) return;
  std::unique_ptr<TargetChange> change = target_area_add(name, side == 2, east, north, type);
  if (!change) return;
  history_target_step(change.release());
  c.view->target_area = targets.area_count;
  c.view->target = 0;
  snprintf(c.done, sizeof(c.done), "%s", target_selection_text(c.view->target_area, 0).c_str());
}

void fill_selection_lands(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
    return;
  }
  const LandResult result = land_fill(current_land(*c.view), c.view->selection);
  snprintf(c.done, sizeof(c.done), "%s", land_result_text(result).c_str());
}
// A number of metres asked for; nothing typed is 0. false for Esc or a
// wrong answer, which the strip names.
static bool ask_metres(KeyCommand &c, const char *question, int *metres) {
  c.redraw = 1;
  char text[40];
  if (!ask_text(question, text, sizeof(text))) return false;
  long value = 0;
  if (text[strspn(text, " \t")] && (parse_whole_numbers(text, &value, 1) != 0 || value > MAX_HEIGHT)) {
    char line[80];
    snprintf(line, sizeof(line), "Not a height of 0 to 9999: %s", text);
    key_note(c, line);
    return false;
  }
  *metres = (int)value;
  return true;
}

void lands_from_heights_here(KeyCommand &c) {
  const int sea = current_land(*c.view);
  int level;
  if (!ask_metres(c, "Sea level (m, nothing typed: 0):", &level)) return;
  const SeaPoints points = sea_points_from_heights({sea, level, 0});
  if (points.stranded > 0) {
    char line[KEY_NOTE_SIZE];
    snprintf(line, sizeof(line), "Nothing changed: %lld points leaving %s have no other land near.", points.stranded,
             lands.lands[sea].name);
    key_note(c, line);
    return;
  }
  const LandResult r = lands_from_heights(points, 1);
  snprintf(c.done, sizeof(c.done), "%s at or below %d m: %lld points; %s", lands.lands[sea].name, level,
           r.points_changed, land_result_text(r).c_str());
}

void heights_from_lands_here(KeyCommand &c) {
  const int sea = current_land(*c.view);
  int depth;
  if (!ask_metres(c, "Sea depth (m, nothing typed: 0):", &depth)) return;
  const SeaBedResult r = heights_from_lands(sea, depth, 1);
  snprintf(c.done, sizeof(c.done), "%s at %d m: %lld samples of %lld tiles changed.", lands.lands[sea].name, depth,
           r.samples, r.tiles);
}

void import_heights_here(KeyCommand &c) {
  c.redraw = 1;
  // The last file chosen is offered again; the first time, the terrain's folder.
  static char path[PATH_SIZE];
  if (!path[0]) replace_filename(path, terrain_paths.tfd_path, "", sizeof(path));
  if (!file_select_ex("Heights: an elevation model or a height picture", path, nullptr, sizeof(path), 400, 400)) return;
  const HeightStep s = import_heights_step(path, window_reporter());
  if (s.stepped)
    snprintf(c.done, sizeof(c.done), "%s", s.why.c_str());
  else
    key_note(c, s.why.c_str());
}

void grow_brush(KeyCommand &c) {
  if (c.view->brush_size < BRUSH_SIZE_MAX) c.view->brush_size++;
}
void shrink_brush(KeyCommand &c) {
  if (c.view->brush_size > 1) c.view->brush_size--;
}
