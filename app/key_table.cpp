#include "app/key_table.h"

#include <allegro.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/air_view_mode.h"
#include "app/area_keys.h"
#include "app/editing.h"
#include "app/lands_dialog.h"
#include "app/main_loop.h"
#include "app/manual_viewer.h"
#include "app/navigation.h"
#include "app/opening.h"
#include "app/save_prompt.h"
#include "app/settings_dialog.h"
#include "app/sculpt_keys.h"
#include "program/session.h"
#include "app/texture_palette_keys.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/open_terrain.h"
#include "document/terrain_save.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "files/target_areas.h"
#include "render/export/briefing_map.h"
#include "render/export/export_bitmap.h"
#include "render/export/export_file.h"
#include "render/view/screenshot.h"
#include "ui/display.h"

void key_note(KeyCommand &c, const char *text) { snprintf(c.note, sizeof(c.note), "%-59s", text); }

void tiles_text(int w, int h, char *text, int size) {
  if (w == 1 && h == 1)
    snprintf(text, (size_t)size, "1 tile");
  else
    snprintf(text, (size_t)size, "%d x %d tiles", w, h);
}

void key_done_tiles(KeyCommand &c, const char *format, int w, int h) {
  char tiles[40];
  tiles_text(w, h, tiles, sizeof(tiles));
  snprintf(c.done, sizeof(c.done), format, tiles);
}

void height_step_done(KeyCommand &c, const char *what, const char *where) {
  snprintf(c.done, sizeof(c.done), "%s %s (step %d m).", what, where, (int)height_map.height_step);
}

namespace {

// One tile in the direction unless the cursor is on that edge.
void step_cursor(ViewState &v, int dx, int dy) {
  const int x = v.cursor_x + dx, y = v.cursor_y + dy;
  if (tile_on_map(x, y)) {
    v.cursor_x = x;
    v.cursor_y = y;
  }
}

// Farther out the view is smaller per tile, so a press moves more tiles.
void move_cursor(KeyCommand &c, int dx, int dy) {
  step_cursor(*c.view, dx, dy);
  if (*c.key_delay > 0) (*c.key_delay)--;
  if (c.view->zoom_level > 4) step_cursor(*c.view, dx, dy);
  if (c.view->zoom_level > 6) step_cursor(*c.view, dx, dy);
}

void move_left(KeyCommand &c) { move_cursor(c, -1, 0); }
void move_right(KeyCommand &c) { move_cursor(c, 1, 0); }
void move_up(KeyCommand &c) { move_cursor(c, 0, -1); }
void move_down(KeyCommand &c) { move_cursor(c, 0, 1); }

// The sample the height commands change: one at zoom level 0, else all.
int picked_sample(const ViewState &v) { return v.zoom_level == 0 ? v.height_sample : -1; }

void next_texture_here(KeyCommand &c) { next_texture(c.view->cursor_x, c.view->cursor_y); }
void previous_texture_here(KeyCommand &c) { previous_texture(c.view->cursor_x, c.view->cursor_y); }
void raise_heights_here(KeyCommand &c) {
  raise_heights(c.view->cursor_x, c.view->cursor_y, picked_sample(*c.view));
  height_step_done(c, "Raised", picked_sample(*c.view) < 0 ? "1 tile" : "1 sample");
}
void lower_heights_here(KeyCommand &c) {
  lower_heights(c.view->cursor_x, c.view->cursor_y, picked_sample(*c.view));
  height_step_done(c, "Lowered", picked_sample(*c.view) < 0 ? "1 tile" : "1 sample");
}
void rotate_tile_here(KeyCommand &c) { rotate_tile(c.view->cursor_x, c.view->cursor_y); }
void rotate_heights_here(KeyCommand &c) { rotate_tile_heights(c.view->cursor_x, c.view->cursor_y); }
void next_tag_here(KeyCommand &c) { next_tag(c.view->cursor_x, c.view->cursor_y); }
void copy_tiles_here(KeyCommand &c) {
  copy_tile_block(c.view->cursor_x, c.view->cursor_y);
  key_note(c, "Copied 3 x 3 tiles.");
}

// A clipboard of empty cells pastes nothing: the user is told how to fill it.
int clipboard_empty(KeyCommand &c, const StampCell *cell) {
  if (cell ? cell->texture > 0 : !tile_clipboard_empty()) return 0;
  key_note(c, NOTHING_COPIED_TEXT);
  return 1;
}

void paste_tile_here(KeyCommand &c) {
  if (clipboard_empty(c, &clipboards.tiles.centre())) return;
  paste_tile(c.view->cursor_x, c.view->cursor_y);
  snprintf(c.done, sizeof(c.done), "Pasted 1 tile.");
}
void paste_tiles_here(KeyCommand &c) {
  if (clipboard_empty(c, nullptr)) return;
  paste_tile_block(c.view->cursor_x, c.view->cursor_y);
  key_done_tiles(c, "Pasted %s.", clipboards.tiles.w, clipboards.tiles.h);
}
void copy_heights_here(KeyCommand &c) {
  copy_tile_heights(c.view->cursor_x, c.view->cursor_y);
  key_note(c, "Copied the heights of 1 tile.");
}
void paste_heights_here(KeyCommand &c) {
  paste_tile_heights(c.view->cursor_x, c.view->cursor_y);
  snprintf(c.done, sizeof(c.done), "Pasted heights on 1 tile.");
}

void toggle_height_step(KeyCommand &c) {
  height_map.height_step = height_map.height_step == 10 ? height_map.detected_height_step : 10;
  char text[40];
  snprintf(text, sizeof(text), "Height step %d m.", (int)height_map.height_step);
  key_note(c, text);
}

// The areas loaded so far are dropped first; a file that cannot be read
// leaves none, and so does no file, which is no fault of the terrain.
void reload_target_areas(KeyCommand &c) {
  // Edits of the areas are asked about first: reading them again drops them.
  if (targets_unsaved()) {
    c.redraw = 1;
    if (!target_changes_settled("before reading them again?")) return;
  }
  history_forget_targets();
  c.view->target_area = c.view->target = 0;
  const char *path = terrain_paths.targets_ini_path;
  const int result = read_target_file_again(window_reporter());
  if (result == RESULT_NO_FILE)
    key_note(c, NO_TARGET_FILE_TEXT);
  else if (result == RESULT_CANNOT_OPEN)
    report_warning(window_reporter(), WARNING_READ_ERROR, "  Read Error:  ", path);
  else if (result != RESULT_OK)
    report_warning(window_reporter(), WARNING_PLAIN, "Warning: Error reading _TARGETS.INI file.",
                   path);
  // The lands come back with them; the grid is read again from the tiles.
  const int lands_result = load_land_file(terrain_paths.lands_ini_path);
  if (lands_result == RESULT_BAD_DATA || lands_result == RESULT_CANNOT_OPEN)
    show_subject_box(SUBJECT_LANDS, LAND_FILE_PROBLEMS_TEXT, terrain_paths.lands_ini_path);
  if (lands_in_use()) read_land_grid();
}

void toggle_display(KeyCommand &c) {
  c.view->edit_mode = c.view->edit_mode >= EDIT_HEIGHTS ? EDIT_TILES : c.view->edit_mode + 1;
}

void show_tile_info(KeyCommand &c) {
  const int t = tile_at(c.view->cursor_x, c.view->cursor_y).texture;
  const char *name = "";
  int width = 0, height = 0;
  if (t >= 0 && t < MAX_TEXTURES) {
    const TextureEntry &entry = texture_table.textures[t];
    name = entry.filename;
    width = entry.file_width;
    height = entry.file_height;
  }
  char size[32];
  snprintf(size, sizeof(size), "%dx%d", width, height);
  alert("Tile File &Info:", name, size, "&Return", nullptr, 'r', 0);
}

void previous_sample(KeyCommand &c) {
  c.view->height_sample = c.view->height_sample > 0 ? c.view->height_sample - 1 : 15;
}
void next_sample(KeyCommand &c) {
  c.view->height_sample = c.view->height_sample < 15 ? c.view->height_sample + 1 : 0;
}
void next_overlay(KeyCommand &c) {
  c.view->overlay_mode = c.view->overlay_mode < 4 ? c.view->overlay_mode + 1 : 0;
}

// "Wrote A in FOLDER." for the files of one key, fitted to the strip.
void note_written(KeyCommand &c, const std::vector<std::string> &names) {
  const std::string text = written_files_text(names, (display.screen_width - 6) / 8);
  snprintf(c.note, sizeof(c.note), "%-59s", text.c_str());
}

// A failed export has said why in an alert; its first text must not stay in
// the strip as if the export were still running.
int export_kind(KeyCommand &c, int kind, std::vector<std::string> *names) {
  char name[PATH_SIZE];
  if (export_bitmap(kind, window_reporter(), nullptr, name, session.export_format) != RESULT_OK) {
    c.redraw = 1;
    return 1;
  }
  names->push_back(name);
  return 0;
}
void export_one(KeyCommand &c, int kind) {
  std::vector<std::string> names;
  if (export_kind(c, kind, &names) == 0) note_written(c, names);
}
void export_heights16(KeyCommand &c) { export_one(c, EXPORT_HEIGHTS16); }
void export_data(KeyCommand &c) { export_one(c, EXPORT_DATA); }
void export_water(KeyCommand &c) { export_one(c, EXPORT_WATER); }
void export_textures(KeyCommand &c) { export_one(c, EXPORT_TEXTURES_4X); }
void export_embossed(KeyCommand &c) { export_one(c, EXPORT_EMBOSSED_4X); }
void export_heights(KeyCommand &c) { export_one(c, EXPORT_HEIGHT_4X); }
void export_briefing(KeyCommand &c) {
  std::vector<std::string> names;
  if (export_kind(c, EXPORT_BRIEFING, &names) != 0) return;
  names.push_back(briefing_png_name(names[0]));
  note_written(c, names);
}
void export_planning_maps(KeyCommand &c) {
  std::vector<std::string> names;
  for (int kind : {EXPORT_PLANNING_MAP_1, EXPORT_PLANNING_MAP_2, EXPORT_PLANNING_MAP_3})
    if (export_kind(c, kind, &names) != 0) break;
  if (names.size() == 3) note_written(c, names);
}

void leave(KeyCommand &) { confirm_exit(); }
void manual(KeyCommand &) { show_manual(); }
void zoom_in(KeyCommand &c) { c.view->zoom_level--; }
void zoom_out(KeyCommand &c) { c.view->zoom_level++; }
void screenshot(KeyCommand &c) {
  char name[PATH_SIZE];
  if (save_screenshot(display.back_buffer, window_reporter(), session.export_format, name) != RESULT_OK) return;
  const std::string text = std::string("Saved screenshot ") + name + ".";
  key_note(c, text.c_str());
}
void slow_down(KeyCommand &c) { (*c.key_delay)++; }

void note(KeyCommand &c, const char *what, const char *text) {
  char line[KEY_NOTE_SIZE];
  snprintf(line, sizeof(line), "%s%s", what, text);
  key_note(c, line);
}

// Undo and redo go to the tile they changed, so that the user sees it.
void step_history(KeyCommand &c, int (*step)(int *, int *, char *, int), const char *what,
                  const char *none) {
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  if (step(&x, &y, text, sizeof(text)) != 0) {
    note(c, "", none);
    return;
  }
  if (tile_on_map(x, y)) {
    c.view->cursor_x = x;
    c.view->cursor_y = y;
  }
  note(c, what, text);
}
void undo(KeyCommand &c) { step_history(c, history_undo, "Undo: ", "Nothing to undo."); }
void redo(KeyCommand &c) { step_history(c, history_redo, "Redo: ", "Nothing to redo."); }

// Names what was written, or why nothing was.
void save_now(KeyCommand &c) {
  const int tiles = tile_map_unsaved(), heights = height_map_unsaved(), areas = targets_unsaved();
  if (!tiles && !heights && !areas) {
    key_note(c, "Nothing to save: no unsaved edits.");
    return;
  }
  const int failed = save_changed_maps();
  const int tiles_saved = tiles && !tile_map_unsaved(), heights_saved = heights && !height_map_unsaved();
  const int areas_saved = areas && !targets_unsaved();
  std::string text = saved_files_text(tiles_saved, heights_saved, areas_saved);
  if (failed) {
    text += " " + unsaved_file_text(tiles && !tiles_saved, heights && !heights_saved);
    c.redraw = 1;
  }
  key_note(c, text.c_str());
}

// A new terrain starts with the view of an opening.
void new_terrain(KeyCommand &) {
  if (open_new_terrain()) reset_view();
}

// clang-format off
const KeyRow KEY_ROWS[] = {
  // keys                        modifier    condition                 need                    action                 marks             redraw pause
  {{KEY_LEFT, KEY_4_PAD},        0,          WHEN_ALWAYS,              NEED_NOTHING,           move_left,             MARKS_NOTHING,    0, 0},
  {{KEY_RIGHT, KEY_6_PAD},       0,          WHEN_ALWAYS,              NEED_NOTHING,           move_right,            MARKS_NOTHING,    0, 0},
  {{KEY_UP, KEY_8_PAD},          0,          WHEN_ALWAYS,              NEED_NOTHING,           move_up,               MARKS_NOTHING,    0, 0},
  {{KEY_DOWN, KEY_2_PAD},        0,          WHEN_ALWAYS,              NEED_NOTHING,           move_down,             MARKS_NOTHING,    0, 0},
  {{KEY_PGUP, 0},                0,          WHEN_SELECTION_TILES,     NEED_NOTHING,           raise_selected_textures, MARKS_TILE_MAP, 1, 0},
  {{KEY_PGDN, 0},                0,          WHEN_SELECTION_TILES,     NEED_NOTHING,           lower_selected_textures, MARKS_TILE_MAP, 1, 0},
  {{KEY_PGUP, 0},                0,          WHEN_SELECTION_HEIGHTS,   NEED_HEIGHTS,           raise_selected_heights, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_PGDN, 0},                0,          WHEN_SELECTION_HEIGHTS,   NEED_HEIGHTS,           lower_selected_heights, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_PGUP, 0},                0,          WHEN_TILE_EDITING,        NEED_TILE,              next_texture_here,     MARKS_TILE_MAP,   1, 0},
  {{KEY_PGDN, 0},                0,          WHEN_TILE_EDITING,        NEED_TILE,              previous_texture_here, MARKS_TILE_MAP,   1, 0},
  {{KEY_PGUP, 0},                0,          WHEN_HEIGHT_EDITING,      NEED_TILE,              raise_heights_here,    MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_PGDN, 0},                0,          WHEN_HEIGHT_EDITING,      NEED_TILE,              lower_heights_here,    MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_R, 0},                   KEY_LSHIFT, WHEN_TARGETS_ENABLED,     NEED_NOTHING,           reload_target_areas,   MARKS_NOTHING,    1, 100},
  {{KEY_R, 0},                   0,          WHEN_SELECTION_TILES,     NEED_NOTHING,           turn_selected_tiles,   MARKS_TILE_MAP,   1, 0},
  {{KEY_R, 0},                   0,          WHEN_SELECTION_HEIGHTS,   NEED_HEIGHTS,           turn_selected_heights, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_R, 0},                   0,          WHEN_TILE_EDITING,        NEED_TILE,              rotate_tile_here,      MARKS_TILE_MAP,   1, 0},
  {{KEY_R, 0},                   0,          WHEN_HEIGHT_EDITING,      NEED_TILE,              rotate_heights_here,   MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_T, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_TILE,              find_target_area,      MARKS_NOTHING,    0, 0},
  {{KEY_G, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_TILE,              go_to_tile,            MARKS_NOTHING,    0, 0},
  {{KEY_T, 0},                   0,          WHEN_SELECTION_TILES,     NEED_NOTHING,           next_selected_tags,    MARKS_TILE_MAP,   1, 0},
  {{KEY_T, 0},                   0,          WHEN_TILE_EDITING,        NEED_TILE,              next_tag_here,         MARKS_TILE_MAP,   1, 0},
  {{KEY_T, 0},                   0,          WHEN_HEIGHT_EDITING,      NEED_NOTHING,           toggle_height_step,    MARKS_NOTHING,    0, 200},
  {{KEY_A, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           select_whole_map,      MARKS_NOTHING,    1, 0},
  {{KEY_C, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           copy_selection,        MARKS_NOTHING,    0, 0},
  {{KEY_V, 0},         MODIFIER_CTRL,       WHEN_TEXTURE_DISPLAY,     NEED_TILE,              paste_stamp_at_corner, MARKS_TILE_MAP,   1, 0},
  {{KEY_F, 0},         MODIFIER_CTRL,       WHEN_LANDS,               NEED_NOTHING,           fill_selection_lands,  MARKS_TILE_MAP,   1, 0},
  {{KEY_W, 0},                   KEY_LSHIFT, WHEN_LANDS,               NEED_HEIGHTS,           heights_from_lands_here, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_W, 0},                   0,          WHEN_LANDS,               NEED_HEIGHTS,           lands_from_heights_here, MARKS_TILE_MAP, 1, 0},
  {{KEY_F, 0},         MODIFIER_CTRL,       WHEN_TEXTURE_DISPLAY,     NEED_NOTHING,           fill_selection,        MARKS_TILE_MAP,   1, 0},
  {{KEY_V, 0},         MODIFIER_CTRL,       WHEN_HEIGHT_DISPLAY,      NEED_HEIGHTS_TILE,      paste_height_stamp_at_corner, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_F, 0},         MODIFIER_CTRL,       WHEN_HEIGHT_DISPLAY,      NEED_HEIGHTS,           fill_selection_heights, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_C, 0},                   0,          WHEN_TILE_EDITING,        NEED_TILE,              copy_tiles_here,       MARKS_NOTHING,    0, 0},
  {{KEY_V, 0},                   0,          WHEN_SELECTION_TILES,     NEED_NOTHING,           paste_on_selection,    MARKS_TILE_MAP,   1, 0},
  {{KEY_V, 0},                   0,          WHEN_TILE_EDITING,        NEED_TILE,              paste_tile_here,       MARKS_TILE_MAP,   1, 0},
  {{KEY_B, 0},                   0,          WHEN_TILE_EDITING,        NEED_TILE,              paste_tiles_here,      MARKS_TILE_MAP,   1, 0},
  {{KEY_D, 0},                   0,          WHEN_EDIT_ZOOM,           NEED_HEIGHTS_TILE,      copy_heights_here,     MARKS_NOTHING,    0, 0},
  {{KEY_F, 0},                   0,          WHEN_SELECTION_HEIGHTS,   NEED_HEIGHT_COPY,       paste_heights_on_selection, MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_F, 0},                   0,          WHEN_EDIT_ZOOM,           NEED_HEIGHT_COPY,       paste_heights_here,    MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_M, 0},                   0,          WHEN_ALWAYS,              NEED_HEIGHTS,           toggle_display,        MARKS_NOTHING,    1, 200},
  {{KEY_I, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           import_heights_here,   MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_I, 0},                   0,          WHEN_ALWAYS,              NEED_TILE,              show_tile_info,        MARKS_NOTHING,    0, 0},
  {{KEY_X, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           open_sculpt_palette,   MARKS_NOTHING,    1, 0},
  {{KEY_X, 0},                   0,          WHEN_LANDS,               NEED_NOTHING,           open_land_palette,     MARKS_NOTHING,    1, 0},
  {{KEY_X, 0},                   0,          WHEN_TEXTURE_DISPLAY,     NEED_NOTHING,           open_texture_palette,  MARKS_NOTHING,    1, 0},
  {{KEY_TAB, 0},                 KEY_LSHIFT, WHEN_PICKING_SAMPLES,     NEED_NOTHING,           previous_sample,       MARKS_NOTHING,    1, 100},
  {{KEY_TAB, 0},                 0,          WHEN_PICKING_SAMPLES,     NEED_NOTHING,           next_sample,           MARKS_NOTHING,    1, 100},
  {{KEY_TAB, 0},                 0,          WHEN_NOT_PICKING_SAMPLES, NEED_NOTHING,           next_overlay,          MARKS_NOTHING,    1, 100},
  {{KEY_F5, 0},                  0,          WHEN_ALWAYS,              NEED_NOTHING,           export_data,           MARKS_NOTHING,    0, 0},
  {{KEY_F6, 0},                  0,          WHEN_ALWAYS,              NEED_DECLARED_TEXTURES, export_water,          MARKS_NOTHING,    0, 0},
  {{KEY_F7, 0},                  0,          WHEN_ALWAYS,              NEED_NOTHING,           export_textures,       MARKS_NOTHING,    0, 0},
  {{KEY_F8, 0},                  0,          WHEN_ALWAYS,              NEED_HEIGHTS,           export_embossed,       MARKS_NOTHING,    0, 0},
  {{KEY_F9, 0},                  KEY_LSHIFT, WHEN_ALWAYS,              NEED_HEIGHTS,           export_heights16,      MARKS_NOTHING,    0, 0},
  {{KEY_F9, 0},                  0,          WHEN_ALWAYS,              NEED_HEIGHTS,           export_heights,        MARKS_NOTHING,    0, 0},
  {{KEY_F10, 0},                 KEY_LSHIFT, WHEN_ALWAYS,              NEED_HEIGHTS,           export_briefing,       MARKS_NOTHING,    0, 0},
  {{KEY_F10, 0},                 0,          WHEN_ALWAYS,              NEED_HEIGHTS,           export_planning_maps,  MARKS_NOTHING,    0, 0},
  {{KEY_ESC, 0},                 0,          WHEN_OVERVIEW,            NEED_NOTHING,           leave_overview,        MARKS_NOTHING,    1, 200},
  {{KEY_ESC, 0},                 0,          WHEN_ALWAYS,              NEED_NOTHING,           leave,                 MARKS_NOTHING,    0, 0},
  {{KEY_F1, 0},                  0,          WHEN_ALWAYS,              NEED_NOTHING,           manual,                MARKS_NOTHING,    0, 0},
  {{KEY_F12, 0},                 0,          WHEN_ALWAYS,              NEED_NOTHING,           edit_settings,         MARKS_NOTHING,    1, 0},
  {{KEY_EQUALS, KEY_PLUS_PAD},   0,          WHEN_ALWAYS,              NEED_ZOOM_IN_ROOM,      zoom_in,               MARKS_NOTHING,    1, 0},
  {{KEY_MINUS, KEY_MINUS_PAD},   0,          WHEN_ALWAYS,              NEED_ZOOM_OUT_ROOM,     zoom_out,              MARKS_NOTHING,    1, 0},
  {{KEY_PRTSCR, 0},              0,          WHEN_ALWAYS,              NEED_NOTHING,           screenshot,            MARKS_NOTHING,    0, 0},
  {{0, 0},                       0,          WHEN_ALWAYS,              NEED_SLOWER_ROOM,       slow_down,             MARKS_NOTHING,    0, 10},
  {{KEY_S, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           save_now,              MARKS_NOTHING,    1, 0},
  {{KEY_N, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           new_terrain,           MARKS_NOTHING,    1, 0},
  {{KEY_L, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           edit_lands,            MARKS_NOTHING,    1, 0},
  {{KEY_N, 0},                   0,          WHEN_ALWAYS,              NEED_NOTHING,           toggle_land_mode,      MARKS_NOTHING,    1, 200},
  {{KEY_O, 0},                   0,          WHEN_ALWAYS,              NEED_TILE,              toggle_overview,       MARKS_NOTHING,    1, 200},
  {{KEY_F3, 0},                  0,          WHEN_ALWAYS,              NEED_TILE,              open_air_view,         MARKS_NOTHING,    0, 200},
  {{KEY_P, 0},                   0,          WHEN_ALWAYS,              NEED_NOTHING,           toggle_paint_mode,     MARKS_NOTHING,    1, 200},
  {{KEY_E, 0},                   0,          WHEN_TARGETS_ENABLED,     NEED_NOTHING,           toggle_target_mode,    MARKS_NOTHING,    1, 200},
  {{KEY_CLOSEBRACE, 0},          0,          WHEN_TARGET_MODE,         NEED_NOTHING,           turn_area_right,       MARKS_NOTHING,    1, 100},
  {{KEY_OPENBRACE, 0},           0,          WHEN_TARGET_MODE,         NEED_NOTHING,           turn_area_left,        MARKS_NOTHING,    1, 100},
  {{KEY_DEL, 0},                 0,          WHEN_TARGET_MODE,         NEED_NOTHING,           delete_selected_target, MARKS_NOTHING,   1, 200},
  {{KEY_ENTER, 0},               KEY_LSHIFT, WHEN_TARGET_MODE,         NEED_NOTHING,           switch_selected_side,  MARKS_NOTHING,    1, 200},
  {{KEY_ENTER, 0},               0,          WHEN_TARGET_MODE,         NEED_NOTHING,           rename_selected_area,  MARKS_NOTHING,    1, 200},
  {{KEY_INSERT, 0},    MODIFIER_CTRL,       WHEN_TARGET_MODE,         NEED_NOTHING,           add_area_here,         MARKS_NOTHING,    1, 200},
  {{KEY_INSERT, 0},              0,          WHEN_TARGET_MODE,         NEED_NOTHING,           add_target_here,       MARKS_NOTHING,    1, 200},
  {{KEY_K, 0},                   0,          WHEN_HEIGHT_DISPLAY,      NEED_HEIGHTS,           toggle_sculpt_mode,    MARKS_NOTHING,    1, 200},
  {{KEY_1, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_raise,          MARKS_NOTHING,    1, 0},
  {{KEY_2, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_lower,          MARKS_NOTHING,    1, 0},
  {{KEY_3, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_smooth,         MARKS_NOTHING,    1, 0},
  {{KEY_4, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_flatten,        MARKS_NOTHING,    1, 0},
  {{KEY_5, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_noise,          MARKS_NOTHING,    1, 0},
  {{KEY_6, 0},                   0,          WHEN_SCULPT,              NEED_NOTHING,           sculpt_erode,          MARKS_NOTHING,    1, 0},
  {{KEY_CLOSEBRACE, 0},          0,          WHEN_SCULPT,              NEED_NOTHING,           grow_sculpt_brush,     MARKS_NOTHING,    1, 50},
  {{KEY_OPENBRACE, 0},           0,          WHEN_SCULPT,              NEED_NOTHING,           shrink_sculpt_brush,   MARKS_NOTHING,    1, 50},
  {{KEY_QUOTE, 0},               0,          WHEN_SCULPT,              NEED_NOTHING,           stronger_sculpt_brush, MARKS_NOTHING,    1, 100},
  {{KEY_COLON, 0},               0,          WHEN_SCULPT,              NEED_NOTHING,           weaker_sculpt_brush,   MARKS_NOTHING,    1, 100},
  {{KEY_CLOSEBRACE, 0},          0,          WHEN_BRUSH,               NEED_NOTHING,           grow_brush,            MARKS_NOTHING,    1, 100},
  {{KEY_OPENBRACE, 0},           0,          WHEN_BRUSH,               NEED_NOTHING,           shrink_brush,          MARKS_NOTHING,    1, 100},
  {{KEY_Z, 0},         MODIFIER_CTRL_SHIFT, WHEN_ALWAYS,              NEED_NOTHING,           redo,                  MARKS_NOTHING,    1, 0},
  {{KEY_Z, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           undo,                  MARKS_NOTHING,    1, 0},
  {{KEY_Y, 0},         MODIFIER_CTRL,       WHEN_ALWAYS,              NEED_NOTHING,           redo,                  MARKS_NOTHING,    1, 0},
  {{KEY_L, 0},                   0,          WHEN_HEIGHT_AREA,         NEED_HEIGHTS_TILE,      level_heights,         MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_S, 0},                   0,          WHEN_HEIGHT_AREA,         NEED_HEIGHTS_TILE,      smooth_heights,        MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_H, 0},                   0,          WHEN_HEIGHT_AREA,         NEED_HEIGHTS_TILE,      set_heights,           MARKS_HEIGHT_MAP, 1, 0},
  {{KEY_G, 0},                   0,          WHEN_HEIGHT_AREA,         NEED_HEIGHTS_TILE,      ramp_heights,          MARKS_HEIGHT_MAP, 1, 0},
};
// clang-format on

int any_key_row(const KeyRow &row) { return row.keys[0] == 0 && row.keys[1] == 0; }

int row_takes(const KeyRow &row, const KeyPress &press) {
  if (any_key_row(row)) return 1;
  if (!modifier_held(row.modifier, press.modifiers)) return 0;
  return press.scancode > 0 && (row.keys[0] == press.scancode || row.keys[1] == press.scancode);
}

// What the strip says for an edit key that changed no byte.
const char *unchanged_text(const KeyRow &row) {
  if (row.action == raise_heights_here || row.action == raise_selected_heights)
    return "Nothing changed: the heights are at 9999.";
  if (row.action == lower_heights_here || row.action == lower_selected_heights)
    return "Nothing changed: the heights are at 0.";
  return "Nothing changed.";
}

}  // namespace

const KeyRow *key_table(int *count) {
  *count = (int)(sizeof(KEY_ROWS) / sizeof(KEY_ROWS[0]));
  return KEY_ROWS;
}

int condition_holds(int condition, const ViewState &v) {
  const int edit_zoom = v.zoom_level <= ZOOM_EDIT_MAX;
  const int picking = v.edit_mode == EDIT_HEIGHTS && v.zoom_level == 0;
  switch (condition) {
    case WHEN_ALWAYS: return 1;
    case WHEN_TILE_EDITING: return v.edit_mode == EDIT_TILES && edit_zoom;
    case WHEN_HEIGHT_EDITING: return v.edit_mode == EDIT_HEIGHTS && edit_zoom;
    case WHEN_EDIT_ZOOM: return edit_zoom;
    case WHEN_TARGETS_ENABLED: return session.enable_targets != 0;
    case WHEN_PICKING_SAMPLES: return picking;
    case WHEN_NOT_PICKING_SAMPLES: return v.zoom_level > 0 || v.edit_mode < EDIT_HEIGHTS;
    case WHEN_SELECTION_TILES: return v.selected && v.edit_mode == EDIT_TILES;
    case WHEN_TEXTURE_DISPLAY: return v.edit_mode == EDIT_TILES;
    case WHEN_BRUSH: return brush_in_use(v);
    case WHEN_TARGET_MODE: return editing_targets(v);
    case WHEN_LANDS: return painting_lands(v);
    case WHEN_SELECTION_HEIGHTS: return v.selected && v.edit_mode == EDIT_HEIGHTS;
    case WHEN_HEIGHT_DISPLAY: return v.edit_mode == EDIT_HEIGHTS;
    case WHEN_HEIGHT_AREA: return v.edit_mode == EDIT_HEIGHTS && (v.selected || edit_zoom);
    case WHEN_OVERVIEW: return v.overview;
    case WHEN_SCULPT: return sculpting(v);
    default: return 0;
  }
}

int need_met(int need, const ViewState &v, int key_delay) {
  const int tile = tile_on_map(v.cursor_x, v.cursor_y);
  const int heights = height_map.heights_loaded > 0;
  switch (need) {
    case NEED_NOTHING: return 1;
    case NEED_TILE: return tile;
    case NEED_HEIGHTS: return heights;
    case NEED_HEIGHTS_TILE: return heights && tile;
    case NEED_HEIGHT_COPY: return heights && !height_clipboard_empty() && tile;
    case NEED_DECLARED_TEXTURES: return texture_table.last_declared_texture > 0;
    case NEED_ZOOM_IN_ROOM: return v.zoom_level > 0;
    case NEED_ZOOM_OUT_ROOM: return v.zoom_level < ZOOM_FARTHEST;
    case NEED_SLOWER_ROOM: return key_delay < KEY_DELAY_MAX;
    default: return 0;
  }
}

int modifier_held(int modifier, int modifiers) {
  const int ctrl = modifiers & (KEY_MOD_LCTRL | KEY_MOD_RCTRL), shift = modifiers & (KEY_MOD_LSHIFT | KEY_MOD_RSHIFT);
  switch (modifier) {
    case 0: return 1;
    case MODIFIER_CTRL: return ctrl != 0;
    case MODIFIER_CTRL_SHIFT: return ctrl && shift;
    case KEY_LSHIFT: return (modifiers & KEY_MOD_LSHIFT) != 0;
    case KEY_RSHIFT: return (modifiers & KEY_MOD_RSHIFT) != 0;
    case KEY_LCONTROL: return (modifiers & KEY_MOD_LCTRL) != 0;
    case KEY_RCONTROL: return (modifiers & KEY_MOD_RCTRL) != 0;
    case KEY_ALT: return (modifiers & KEY_MOD_ALT) != 0;
    default: return 0;
  }
}

const KeyRow *run_key_table(KeyCommand &command, const KeyPress &press, int *redraw) {
  *redraw = 0;
  command.redraw = 0;
  command.note[0] = 0;
  command.done[0] = 0;
  command.modifiers = press.modifiers;
  int count;
  const KeyRow *rows = key_table(&count);
  // First the rows that name their keys, in order, then the one for any key.
  for (int pass = 0; pass < 2; pass++) {
    for (int k = 0; k < count; k++) {
      const KeyRow &row = rows[k];
      if (any_key_row(row) != pass) continue;
      if (!row_takes(row, press) || !condition_holds(row.condition, *command.view)) continue;
      if (!need_met(row.need, *command.view, *command.key_delay)) return &row;
      const unsigned changes = history_changes();
      row.action(command);
      if (row.marks != MARKS_NOTHING && history_changes() == changes && !command.note[0])
        key_note(command, unchanged_text(row));
      else if (history_changes() != changes && command.done[0])
        key_note(command, command.done);
      *redraw = row.redraw || command.redraw;
      // The pause paces a held key's repeats; a press is never held back.
      if (row.pause_ms > 0 && press.repeat) rest(row.pause_ms);
      return &row;
    }
  }
  return nullptr;
}
