#include "app/main_loop.h"

#include <cmath>
#include <cstdio>

#include "app/editing.h"
#include "app/manual_viewer.h"
#include "app/save_prompt.h"
#include "app/startup.h"
#include "app/status_bar.h"
#include "render/export_bitmap.h"
#include "render/map_view.h"
#include "render/screenshot.h"
#include "terrain/target_areas.h"
#include "terrain/terrain_model.h"

int zoom_level = 8;
int edit_mode = EDIT_TILES;
int overlay_mode;
int height_sample;
int cursor_x;
int cursor_y;

int prev_x = -1;
int prev_y = -1;
int key_delay = 1;
int last_mouse_x = -1;
int last_mouse_y = -1;

volatile int close_requested;

enum {
  ZOOM_EDIT_MAX = 4,  // editing works from zoom level 0 to this one
  KEY_DELAY_MAX = 10,
};

static void force_redraw() { prev_y = -1; }

// Keeps the cursor on the map; an empty map parks it at 0, 0, where the
// commands that need a tile find none.
static void keep_cursor_on_map() {
  const int columns = map_columns(), rows = map_rows();
  if (cursor_x > columns - 1) cursor_x = columns - 1;
  if (cursor_y > rows - 1) cursor_y = rows - 1;
  if (cursor_x < 0) cursor_x = 0;
  if (cursor_y < 0) cursor_y = 0;
}

static int cursor_on_map() { return tile_on_map(cursor_x, cursor_y); }

void reset_view() {
  zoom_level = 8;
  edit_mode = EDIT_TILES;
  overlay_mode = 0;
  height_sample = 0;
  cursor_x = map_columns() / 2;
  // A map of one row would start above the map.
  cursor_y = map_rows() / 2 - 1;
  keep_cursor_on_map();
  prev_x = prev_y = -1;
  key_delay = 1;
  last_mouse_x = last_mouse_y = -1;
}

int view_scale() { return (int)pow(2.0, 8 - zoom_level); }

void mouse_readout(int mx, int my, int *x_metres, int *y_metres) {
  const long long s = view_scale();
  const long long columns = map_columns(), rows = map_rows();
  // X is the left edge of the pointer's pixel column, Y the top edge of its row.
  const long long x = (2000LL * mx) / s + 2000LL * (cursor_x - screen_width / (2 * s));
  const long long north0 = 2000LL * (rows - cursor_y + status_y / (2 * s));
  const long long y = north0 - (2000LL * my) / s;
  if (columns == 0 || rows == 0 || x < 0 || y < 0 || x > 2000 * columns || y > 2000 * rows) {
    *x_metres = *y_metres = -1;
    return;
  }
  *x_metres = (int)x;
  *y_metres = (int)y;
}

static void draw_mouse_readout(BITMAP *bmp, int mx, int my) {
  int x, y;
  mouse_readout(mx, my, &x, &y);
  show_message(bmp, screen_width - 171, status_y + 1, SCHEME_LABEL, "Mouse xy:");
  show_message(bmp, screen_width - 107, status_y + 1, SCHEME_VALUE, "%7d,%7d", x, y);
}

// One tile in the direction unless the cursor is on that edge.
static void step_cursor(int dx, int dy) {
  const int x = cursor_x + dx, y = cursor_y + dy;
  if (tile_on_map(x, y)) {
    cursor_x = x;
    cursor_y = y;
  }
}

// Farther out the view is smaller per tile, so a press moves more tiles.
static void move_cursor(int dx, int dy) {
  step_cursor(dx, dy);
  if (key_delay > 0) key_delay--;
  if (zoom_level > 4) step_cursor(dx, dy);
  if (zoom_level > 6) step_cursor(dx, dy);
}

static void reload_target_areas() {
  area_count = 0;
  target_total = 0;
  if (load_target_areas(targets_ini_path) == 0)
    alert("Warning: Error reading _TARGETS.INI file.", "", targets_ini_path, "OK", nullptr, 'o', 0);
  force_redraw();
  rest(100);
}

static void show_tile_info() {
  const int t = tile_at(cursor_x, cursor_y).texture;
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

// An edit of the cursor tile marks its map changed, whether or not the
// edit changed anything, and redraws.
static void edit_cursor_tile(void (*edit)(int, int), int *modified) {
  edit(cursor_x, cursor_y);
  *modified = 1;
  force_redraw();
}

// A failed export has said why in an alert; its first message must not
// stay in the strip as if the export were still running.
static void run_export(int kind) {
  if (export_bitmap(kind) != 0) force_redraw();
}

void run_key_command() {
  const int tile_editing = edit_mode == EDIT_TILES && zoom_level <= ZOOM_EDIT_MAX;
  const int height_editing = edit_mode == EDIT_HEIGHTS && zoom_level <= ZOOM_EDIT_MAX;
  const int on_map = cursor_on_map();
  const int x = cursor_x, y = cursor_y;

  if (key[KEY_LEFT] || key[KEY_4_PAD]) {
    move_cursor(-1, 0);
  } else if (key[KEY_RIGHT] || key[KEY_6_PAD]) {
    move_cursor(1, 0);
  } else if (key[KEY_UP] || key[KEY_8_PAD]) {
    move_cursor(0, -1);
  } else if (key[KEY_DOWN] || key[KEY_2_PAD]) {
    move_cursor(0, 1);
  } else if (key[KEY_PGUP] && tile_editing) {
    if (on_map) edit_cursor_tile(next_texture, &tilemap_modified);
  } else if (key[KEY_PGDN] && tile_editing) {
    if (on_map) edit_cursor_tile(previous_texture, &tilemap_modified);
  } else if (key[KEY_PGUP] && height_editing) {
    if (on_map) edit_cursor_tile(raise_heights, &heightmap_modified);
  } else if (key[KEY_PGDN] && height_editing) {
    if (on_map) edit_cursor_tile(lower_heights, &heightmap_modified);
  } else if (key[KEY_R] && key[KEY_LSHIFT] && enable_targets != 0) {
    reload_target_areas();
  } else if (key[KEY_R] && tile_editing) {
    if (on_map) edit_cursor_tile(rotate_tile, &tilemap_modified);
  } else if (key[KEY_R] && height_editing) {
    if (on_map) edit_cursor_tile(rotate_tile_heights, &heightmap_modified);
  } else if (key[KEY_T] && tile_editing) {
    if (on_map) edit_cursor_tile(next_tag, &tilemap_modified);
  } else if (key[KEY_T] && height_editing) {
    height_map.height_step = height_map.height_step == 10 ? height_map.detected_height_step : 10;
    rest(200);
  } else if (key[KEY_C] && tile_editing) {
    if (on_map) copy_tile_block(x, y);
  } else if (key[KEY_V] && tile_editing) {
    if (on_map) edit_cursor_tile(paste_tile, &tilemap_modified);
  } else if (key[KEY_B] && tile_editing) {
    if (on_map) edit_cursor_tile(paste_tile_block, &tilemap_modified);
  } else if (key[KEY_D] && zoom_level <= ZOOM_EDIT_MAX) {
    if (height_map.heights_loaded > 0 && on_map) copy_tile_heights(x, y);
  } else if (key[KEY_F] && zoom_level <= ZOOM_EDIT_MAX) {
    if (height_map.heights_loaded > 0 && !height_clipboard_empty() && on_map)
      edit_cursor_tile(paste_tile_heights, &heightmap_modified);
  } else if (key[KEY_M]) {
    if (height_map.heights_loaded > 0) {
      edit_mode = edit_mode >= EDIT_HEIGHTS ? EDIT_TILES : edit_mode + 1;
      force_redraw();
      rest(200);
    }
  } else if (key[KEY_I]) {
    if (on_map) show_tile_info();
  } else if (key[KEY_TAB] && key[KEY_LSHIFT] && edit_mode == EDIT_HEIGHTS && zoom_level == 0) {
    height_sample = height_sample > 0 ? height_sample - 1 : 15;
    force_redraw();
    rest(100);
  } else if (key[KEY_TAB] && edit_mode == EDIT_HEIGHTS && zoom_level == 0) {
    height_sample = height_sample < 15 ? height_sample + 1 : 0;
    force_redraw();
    rest(100);
  } else if (key[KEY_TAB] && (zoom_level > 0 || edit_mode < EDIT_HEIGHTS)) {
    overlay_mode = overlay_mode < 4 ? overlay_mode + 1 : 0;
    force_redraw();
    rest(100);
  } else if (key[KEY_F5]) {
    run_export(EXPORT_DATA);
  } else if (key[KEY_F6]) {
    if (texture_table.last_declared_texture > 0) run_export(EXPORT_WATER);
  } else if (key[KEY_F7]) {
    run_export(EXPORT_TEXTURES_4X);
  } else if (key[KEY_F8]) {
    if (height_map.heights_loaded > 0) run_export(EXPORT_EMBOSSED_4X);
  } else if (key[KEY_F9]) {
    if (height_map.heights_loaded > 0) run_export(EXPORT_HEIGHT_4X);
  } else if (key[KEY_F10]) {
    if (height_map.heights_loaded > 0) {
      run_export(EXPORT_PLANNING_MAP_1);
      run_export(EXPORT_PLANNING_MAP_2);
      run_export(EXPORT_PLANNING_MAP_3);
    }
  } else if (key[KEY_ESC]) {
    confirm_exit();
  } else if (key[KEY_F1]) {
    show_manual();
  } else if (key[KEY_EQUALS] || key[KEY_PLUS_PAD]) {
    if (zoom_level > 0) {
      zoom_level--;
      force_redraw();
    }
  } else if (key[KEY_MINUS] || key[KEY_MINUS_PAD]) {
    if (zoom_level < 8) {
      zoom_level++;
      force_redraw();
    }
  } else if (key[KEY_PRTSCR]) {
    save_screenshot();
  } else if (key_delay < KEY_DELAY_MAX) {
    key_delay++;
    rest(10);
  }
}

// The view of a map without tiles: nothing to show but the empty strip.
static void draw_empty_view(BITMAP *bmp) {
  rectfill(bmp, 0, 0, screen_width - 1, status_y - 1, colour_black);
  draw_empty_status_bar(bmp);
}

static void redraw() {
  if (cursor_on_map()) {
    draw_map_view(back_buffer, cursor_x, cursor_y);
  } else {
    draw_empty_view(back_buffer);
  }
  draw_mouse_readout(back_buffer, mouse_x, mouse_y);
  show_mouse(nullptr);
  blit(back_buffer, screen, 0, 0, 0, 0, screen_width, screen_height);
  show_mouse(screen);
  if (prev_y == -1) {
    rest(100);
  } else if (key_delay > 0) {
    rest(10 * key_delay);
  }
  prev_x = cursor_x;
  prev_y = cursor_y;
}

void main_loop_pass() {
  keep_cursor_on_map();
  if (close_requested) {
    // The close button only leaves a note: the prompt runs here, as for Esc.
    close_requested = 0;
    confirm_exit();
    clear_keybuf();
  } else if (keypressed()) {
    if (key[KEY_RSHIFT]) rest(100);
    run_key_command();
    clear_keybuf();
  } else {
    rest(5);
  }

  if (cursor_x != prev_x || cursor_y != prev_y) redraw();

  const int mx = mouse_x, my = mouse_y;
  if (mx != last_mouse_x || my != last_mouse_y) {
    draw_mouse_readout(screen, mx, my);
    last_mouse_x = mx;
    last_mouse_y = my;
  }
}

void main_loop() {
  reset_view();
  while (run_state == RUN_CONTINUE && terrain_open) main_loop_pass();
}
