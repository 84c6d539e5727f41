#include "app/main_loop.h"

#include <cmath>
#include <algorithm>
#include <cstdio>

#include "app/key_table.h"
#include "app/mouse_gestures.h"
#include "app/navigation.h"
#include "app/save_prompt.h"
#include "app/session.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "render/view/overview.h"
#include "ui/display.h"

ViewState view;

static LoopPacing pacing;

volatile int close_requested;

// What the last key command wants said in the strip after the redraw.
static char strip_note[KEY_NOTE_SIZE];

static void force_redraw() { pacing.prev_y = -1; }

void note_in_strip(const char *text) { snprintf(strip_note, sizeof(strip_note), "%-59s", text); }

// Keeps the cursor on the map; an empty map parks it at 0, 0, where the
// commands that need a tile find none.
static void keep_cursor_on_map() {
  const int columns = map_columns(), rows = map_rows();
  if (view.cursor_x > columns - 1) view.cursor_x = columns - 1;
  if (view.cursor_y > rows - 1) view.cursor_y = rows - 1;
  if (view.cursor_x < 0) view.cursor_x = 0;
  if (view.cursor_y < 0) view.cursor_y = 0;
}

static int ctrl_down() { return key[KEY_LCONTROL] || key[KEY_RCONTROL]; }

static int cursor_on_map() { return tile_on_map(view.cursor_x, view.cursor_y); }

void reset_view() {
  view = ViewState();
  view.cursor_x = map_columns() / 2;
  // A map of one row would start above the map.
  view.cursor_y = map_rows() / 2 - 1;
  keep_cursor_on_map();
  pacing = LoopPacing();
  forget_mouse_input();
}

LoopPacing &loop_pacing() { return pacing; }

int view_scale() { return (int)pow(2.0, 8 - view.zoom_level); }

void mouse_readout(int mx, int my, int *x_metres, int *y_metres) {
  const long long s = view_scale();
  const long long columns = map_columns(), rows = map_rows();
  // X is the left edge of the pointer's pixel column, Y the top edge of its row.
  const long long x =
      (2000LL * mx) / s + 2000LL * (view.cursor_x - display.screen_width / (2 * s));
  const long long north0 = 2000LL * (rows - view.cursor_y + display.status_y / (2 * s));
  const long long y = north0 - (2000LL * my) / s;
  if (columns == 0 || rows == 0 || x < 0 || y < 0 || x > 2000 * columns || y > 2000 * rows) {
    *x_metres = *y_metres = -1;
    return;
  }
  *x_metres = (int)x;
  *y_metres = (int)y;
}

int tile_under_pointer(int mx, int my, int *x, int *y) {
  if (mx < 0 || my < 0 || mx >= display.screen_width || my >= display.status_y) return 1;
  int x_metres, y_metres;
  mouse_readout(mx, my, &x_metres, &y_metres);
  if (x_metres < 0 || y_metres < 0) return 1;
  // The readout gives the pixel's west and north edges: the pixel lies east
  // of the first and south of the second.
  const int tx = x_metres / 2000, ty = map_rows() - (y_metres + 1999) / 2000;
  if (!tile_on_map(tx, ty)) return 1;
  *x = tx;
  *y = ty;
  return 0;
}

void note_left_press(int mx, int my) { record_mouse_event(MOUSE_LEFT_DOWN, mx, my); }

// Runs on the library's mouse thread: it only records.
static void mouse_flags(int flags) {
  const int mx = mouse_x, my = mouse_y;
  if (flags & MOUSE_FLAG_LEFT_DOWN) record_mouse_event(MOUSE_LEFT_DOWN, mx, my);
  if (flags & MOUSE_FLAG_LEFT_UP) record_mouse_event(MOUSE_LEFT_UP, mx, my);
  if (flags & MOUSE_FLAG_RIGHT_DOWN) record_mouse_event(MOUSE_RIGHT_DOWN, mx, my);
  if (flags & MOUSE_FLAG_RIGHT_UP) record_mouse_event(MOUSE_RIGHT_UP, mx, my);
}

void install_mouse_recorder() { mouse_callback = mouse_flags; }

void forget_mouse_input() {
  finish_mouse_gestures();
  pacing.wheel_taken = mouse_z;
}

void take_mouse_input() {
  if (run_mouse_gestures(view, mouse_x, mouse_y, ctrl_down())) force_redraw();
  const int wheel = mouse_z;
  if (wheel != pacing.wheel_taken) {
    long long zoom = (long long)view.zoom_level - ((long long)wheel - pacing.wheel_taken);
    pacing.wheel_taken = wheel;
    if (zoom < 0) zoom = 0;
    if (zoom > ZOOM_FARTHEST) zoom = ZOOM_FARTHEST;
    if (zoom != view.zoom_level) {
      // On the overview the pointer is on no tile of the map view.
      zoom_about(view, (int)zoom, view.overview ? -1 : mouse_x, mouse_y);
      force_redraw();
    }
  }
}

// The point under a pixel of the overview, west and north edges in metres as
// mouse_readout gives them for the map view.
static void overview_readout(int mx, int my, int *x_metres, int *y_metres) {
  const OverviewLayout l = screen_overview_layout();
  int tx, ty;
  *x_metres = *y_metres = -1;
  if (overview_tile_at(l, mx, my, &tx, &ty) != 0) return;
  const long long px = mx - l.left, py = my - l.top;
  auto metres = [&](long long pixels) { return l.shift >= 0 ? (pixels * 2000) >> l.shift : (pixels * 2000) << -l.shift; };
  *x_metres = (int)std::min(metres(px), 2000LL * map_columns());
  *y_metres = (int)std::max(2000LL * map_rows() - metres(py), 0LL);
}

static void draw_mouse_readout(BITMAP *bmp, int mx, int my) {
  int x, y;
  if (view.overview)
    overview_readout(mx, my, &x, &y);
  else
    mouse_readout(mx, my, &x, &y);
  char ruler[RULER_TEXT_SIZE];
  // With Ctrl held over the map: distance and bearing from the cursor tile.
  if (!view.overview && ctrl_down() && x >= 0 && my < display.status_y &&
      ruler_text(view.cursor_x, view.cursor_y, x, y, ruler, sizeof(ruler)) == 0) {
    show_message(bmp, display.screen_width - 171, display.status_y + 1, SCHEME_LABEL, "Ruler:   ");
    show_message(bmp, display.screen_width - 107, display.status_y + 1, SCHEME_VALUE, "%15s", ruler);
    return;
  }
  show_message(bmp, display.screen_width - 171, display.status_y + 1, SCHEME_LABEL, "Mouse xy:");
  show_message(bmp, display.screen_width - 107, display.status_y + 1, SCHEME_VALUE, "%7d,%7d", x, y);
}

void run_key_command(const KeyPress &press) {
  KeyCommand command = {&view, &pacing.key_delay};
  int redraw = 0;
  run_key_table(command, press, &redraw);
  if (redraw) force_redraw();
  // A note the command's own reports left (a terrain it opened) stays.
  if (command.note[0]) snprintf(strip_note, sizeof(strip_note), "%s", command.note);
}

// The first time the history lets old steps go, the user learns it then,
// not at an undo that finds nothing.
static void note_dropped_steps() {
  const int n = history_take_dropped();
  if (n <= 0) return;
  char text[KEY_NOTE_SIZE];
  if (n == 1)
    snprintf(text, sizeof(text), "Undo history full: the oldest edit can no longer be undone.");
  else
    snprintf(text, sizeof(text), "Undo history full: the oldest %d edits can no longer be undone.", n);
  snprintf(strip_note, sizeof(strip_note), "%-59s", text);
}

// The view of a map without tiles: nothing to show but the empty strip.
static void draw_empty_view(BITMAP *bmp) {
  rectfill(bmp, 0, 0, display.screen_width - 1, display.status_y - 1, display.colour_black);
  draw_empty_status_bar(bmp);
}

static void redraw() {
  if (cursor_on_map() && view.overview) {
    draw_overview(display.back_buffer, view);
    draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
  } else if (cursor_on_map()) {
    draw_map_view(display.back_buffer, view, session.enable_targets);
    draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
  } else {
    draw_empty_view(display.back_buffer);
  }
  draw_mouse_readout(display.back_buffer, mouse_x, mouse_y);
  show_mouse(nullptr);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
  show_mouse(screen);
  if (pacing.prev_y == -1) {
    rest(100);
  } else if (pacing.key_delay > 0) {
    rest(10 * pacing.key_delay);
  }
  pacing.prev_x = view.cursor_x;
  pacing.prev_y = view.cursor_y;
}

void main_loop_pass() {
  keep_cursor_on_map();
  take_mouse_input();
  if (close_requested) {
    // The close button only leaves a note: the prompt runs here, as for Esc.
    close_requested = 0;
    confirm_exit();
    clear_keybuf();
    forget_mouse_input();
  } else if (keypressed()) {
    // One key a pass, each as it was pressed: keys typed while a command ran
    // wait their turn instead of being dropped.
    KeyPress press;
    if (read_key_press(&press) == 0) {
      if (key[KEY_RSHIFT]) rest(100);
      // A drag or stroke under way ends first: the command may be undo.
      finish_mouse_gestures();
      run_key_command(press);
      forget_mouse_input();
    }
  } else {
    rest(5);
  }
  note_dropped_steps();

  keep_cursor_on_map();
  if (view.cursor_x != pacing.prev_x || view.cursor_y != pacing.prev_y) redraw();
  if (strip_note[0]) {
    show_progress("%s", strip_note);
    strip_note[0] = 0;
  }

  const int mx = mouse_x, my = mouse_y;
  if (mx != pacing.last_mouse_x || my != pacing.last_mouse_y || ctrl_down() != pacing.last_ctrl) {
    draw_mouse_readout(screen, mx, my);
    pacing.last_mouse_x = mx;
    pacing.last_mouse_y = my;
    pacing.last_ctrl = ctrl_down();
  }
}

void main_loop() {
  reset_view();
  while (session.run_state == RUN_CONTINUE && session.terrain_open) main_loop_pass();
}
