#include "app/main_loop.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/air_view_mode.h"
#include "app/key_table.h"
#include "app/mouse_gestures.h"
#include "app/navigation.h"
#include "app/save_prompt.h"
#include "app/sculpt_keys.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "edit/clipboards.h"
#include "edit/edit_history.h"
#include "document/recovery_journal.h"
#include "program/session.h"
#include "render/view/height_legend.h"
#include "render/view/overview.h"
#include "render/view/ruler.h"
#include "ui/display.h"

ViewState view;

static LoopPacing pacing;

volatile int close_requested;

// What the last key command wants said in the strip after the redraw.
static char strip_note[KEY_NOTE_SIZE];

static void force_redraw() { pacing.prev_y = -1; }

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
  const int start = session.start_zoom;
  if (start >= 0 && start <= ZOOM_FARTHEST)
    view.zoom_level = start;
  else
    fit_view(&view, display.screen_width, display.status_y);
  pacing = LoopPacing();
  forget_mouse_input();
}

LoopPacing &loop_pacing() { return pacing; }

int view_scale() { return (int)pow(2.0, 8 - view.zoom_level); }

void mouse_readout(int mx, int my, int *x_metres, int *y_metres) {
  const long long columns = map_columns(), rows = map_rows();
  // X is the left edge of the pointer's pixel column, Y the top edge of its row.
  const MapPixel p = map_pixel(view, display.screen_width, display.status_y, mx, my);
  const long long x = p.east, y = p.north;
  if (columns == 0 || rows == 0 || x < 0 || y < 0 || x > 2000 * columns || y > 2000 * rows) {
    *x_metres = *y_metres = -1;
    return;
  }
  *x_metres = (int)x;
  *y_metres = (int)y;
}

int tile_under_pointer(int mx, int my, int *x, int *y) {
  const MapPixel p = map_pixel(view, display.screen_width, display.status_y, mx, my);
  if (!p.on_map) return 1;
  *x = (int)p.tile_x;
  *y = (int)p.tile_y;
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
  // In paint mode a stroke's frames follow the pointer without the pause
  // of a forced redraw.
  if (run_mouse_gestures(view, mouse_x, mouse_y, ctrl_down())) {
    if ((brush_in_use(view) || sculpting(view)) && !view.overview)
      pacing.pointer_redraw = 1;
    else
      force_redraw();
  }
  const int wheel = mouse_z;
  if (wheel != pacing.wheel_taken && sculpt_wheel(view, wheel - pacing.wheel_taken)) {
    pacing.wheel_taken = wheel;
    pacing.pointer_redraw = 1;
  } else if (wheel != pacing.wheel_taken) {
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

// The ruler's text for the pointer at (mx, my) with Ctrl held over the map:
// distance and bearing from the cursor tile. 0 with the text.
static int pointer_ruler(int mx, int my, char *text, int size) {
  if (view.overview || !ctrl_down() || my >= display.status_y || !cursor_on_map()) return 1;
  int x, y;
  mouse_readout(mx, my, &x, &y);
  if (x < 0) return 1;
  return ruler_text(view.cursor_x, view.cursor_y, x, y, text, size);
}

// The readout gives the height under the pointer: height display with heights.
static int pointer_heights() {
  return !view.overview && view.edit_mode == EDIT_HEIGHTS && height_map.heights_loaded > 0 && cursor_on_map();
}

// The readout keeps room for the height under the pointer: height display with heights.
static int pointer_heights_room() { return view.edit_mode == EDIT_HEIGHTS && height_map.heights_loaded > 0; }

// ruler: 0 shows Mouse xy even with Ctrl held (a dialog is about to open).
// Where the strip's layout puts it; in height display the sample drawn
// under the pointer follows, in room kept for it off the map too.
static void draw_mouse_readout(BITMAP *bmp, int mx, int my, int ruler = 1) {
  int x, y;
  if (view.overview)
    overview_readout(mx, my, &x, &y);
  else
    mouse_readout(mx, my, &x, &y);
  const StripLayout l = strip_layout(display.screen_width, strip_readout_extra(&view));
  const int line = display.status_y + ui_size(1);
  char text[RULER_TEXT_SIZE];
  char degrees[STRIP_DEGREES_CHARS + 8];
  strip_degrees_text(x, y, x >= 0, degrees, sizeof(degrees));
  // The degrees' room: their characters less the bytes of their signs.
  const int degree_chars = degrees[0] ? (int)strlen(degrees) - 2 : 0;
  // With Ctrl held over the map: distance and bearing from the cursor tile.
  if (ruler && pointer_ruler(mx, my, text, sizeof(text)) == 0) {
    // As wide as the readout it stands in for, so that it covers it.
    char value[RULER_TEXT_SIZE + 48];
    snprintf(value, sizeof(value), "%*s", (pointer_heights_room() ? 22 : 15) + degree_chars, text);
    if (l.label_x >= 0) show_message(bmp, l.label_x, line, SCHEME_LABEL, "Ruler:   ");
    show_message(bmp, l.value_x, line, SCHEME_VALUE, "%s", value);
    return;
  }
  char height[16] = "";
  if (pointer_heights_room()) {
    const MapPixel p = map_pixel(view, display.screen_width, display.status_y, mx, my);
    if (pointer_heights() && p.on_map)
      snprintf(height, sizeof(height), " %4d m", height_map.heights[p.sample_x][p.sample_y]);
    else
      snprintf(height, sizeof(height), "       ");
  }
  if (l.label_x >= 0) show_message(bmp, l.label_x, line, SCHEME_LABEL, "Mouse xy:");
  char value[48];
  snprintf(value, sizeof(value), "%7d,%7d%s", x, y, height);
  show_message(bmp, l.value_x, line, SCHEME_VALUE, "%s", value);
  if (degrees[0] && display.message_font)
    show_degrees(bmp, l.value_x + text_length(display.message_font, value), line, degrees);
}

// Takes the ruler's line off the screen: the frame under it, from the back buffer.
static void hide_ruler_line() {
  const PixelBox b = pacing.ruler_box;
  pacing.ruler_box = PixelBox();
  if (b.x2 < b.x1 || !display.back_buffer) return;
  blit(display.back_buffer, screen, b.x1, b.y1, b.x1, b.y1, b.x2 - b.x1 + 1, b.y2 - b.y1 + 1);
}

// The ruler's line on the screen for the pointer at (mx, my) while Ctrl is
// held over the map; the last one goes first.
static void show_ruler_line(int mx, int my) {
  hide_ruler_line();
  char text[RULER_TEXT_SIZE];
  if (pointer_ruler(mx, my, text, sizeof(text)) != 0) return;
  pacing.ruler_box = draw_ruler(screen, view, display.screen_width, display.status_y, mx, my, text);
}

// Before a dialog: no ruler behind it, and Mouse xy in the strip. The next
// pass puts the ruler back if Ctrl is still held.
static void hide_ruler() {
  if (pacing.ruler_box.x2 < pacing.ruler_box.x1 && !pacing.last_ctrl) return;
  hide_ruler_line();
  draw_mouse_readout(screen, mouse_x, mouse_y, 0);
  pacing.last_ctrl = -1;
}

void note_in_strip(const char *text) { snprintf(strip_note, sizeof(strip_note), "%-59s", text); }

// The note in the room left of the version, cut in the middle to fit; a
// longer note before it, still on the screen, is cleared.
static void show_strip_note(const char *note) {
  static int last_width;
  FONT *f = display.message_font;
  const int right = display.screen_width - ui_size(148), y = display.status_y + ui_size(13);
  char whole[KEY_NOTE_SIZE], text[KEY_NOTE_SIZE];
  snprintf(whole, sizeof(whole), "%s", note);
  for (size_t n = strlen(whole); n > 0 && whole[n - 1] == ' '; n--) whole[n - 1] = 0;
  snprintf(text, sizeof(text), "%s", whole);
  bool cut = false;
  if (f) {
    for (int keep = (int)strlen(whole) - 1; keep > 8 && text_length(f, text) > right - ui_size(3); keep--, cut = true)
      cut_middle(whole, keep, text, sizeof(text));
    const int width = text_length(f, text);
    if (last_width > width) rectfill(screen, ui_size(3) + width, y, ui_size(3) + last_width - 1, y + text_height(f) - 1, display.colour_pale_blue);
    last_width = width;
  }
  // A note that fits keeps its padding, which covers a longer text before it.
  show_progress("%s", cut ? text : note);
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

// The tile under the pointer where paint mode shows the brush; 0 when it
// shows none (no paint mode, the overview or an empty map, the pointer off
// the map view).
static int brush_under_pointer(int *x, int *y) {
  const int mx = mouse_x, my = mouse_y;
  if (!brush_in_use(view) || view.overview || !cursor_on_map() || mx < 0 || my < 0 || mx >= display.screen_width || my >= display.status_y)
    return 0;
  pointer_tile(view, mx, my, x, y);
  return 1;
}

static void draw_brush(BITMAP *bmp) {
  int x = 0, y = 0;
  pacing.brush_shown = brush_under_pointer(&x, &y);
  pacing.brush_x = x;
  pacing.brush_y = y;
  if (!pacing.brush_shown) return;
  // On heights the brush raises or lowers, in land mode it sets lands: no texture to show.
  const StampCell paint = view.edit_mode == EDIT_TILES && painting(view) ? clipboards.tiles.centre() : StampCell();
  draw_brush_outline(bmp, view, x, y, paint);
}

// Whether the brush would now be drawn elsewhere than the last frame drew it.
static int brush_moved() {
  int x = 0, y = 0;
  const int shown = brush_under_pointer(&x, &y);
  return shown != pacing.brush_shown || (shown && (x != pacing.brush_x || y != pacing.brush_y));
}

// The view into the back buffer and onto the screen; map_only leaves the
// strip on the screen as it is (with the note it may show).
static void draw_frame(int map_only) {
  pacing.brush_shown = 0;
  if (cursor_on_map() && view.overview) {
    draw_overview(display.back_buffer, view);
    draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
  } else if (cursor_on_map()) {
    draw_map_view(display.back_buffer, view, session.enable_targets);
    draw_brush(display.back_buffer);
    if (view.edit_mode == EDIT_HEIGHTS && height_map.heights_loaded > 0)
      draw_height_legend(display.back_buffer, display.screen_width, display.status_y);
    draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
  } else {
    draw_empty_view(display.back_buffer);
  }
  draw_sculpt_brush(display.back_buffer, view);
  draw_mouse_readout(display.back_buffer, mouse_x, mouse_y);
  show_mouse(nullptr);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, map_only ? display.status_y : display.screen_height);
  pacing.ruler_box = PixelBox();
  show_ruler_line(mouse_x, mouse_y);
  show_mouse(screen);
}

static void redraw() {
  draw_frame(0);
  if (pacing.prev_y == -1) {
    rest(100);
  } else if (pacing.key_delay > 0) {
    rest(10 * pacing.key_delay);
  }
  pacing.prev_x = view.cursor_x;
  pacing.prev_y = view.cursor_y;
}

void main_loop_pass() {
  // F3: the view from the air has a pass of its own.
  if (view.air_view) {
    air_view_pass();
    if (strip_note[0]) show_strip_note(strip_note), strip_note[0] = 0;
    return;
  }
  keep_cursor_on_map();
  take_mouse_input();
  if (close_requested) {
    // The close button only leaves a note: the prompt runs here, as for Esc.
    close_requested = 0;
    hide_ruler();
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
      hide_ruler();
      run_key_command(press);
      forget_mouse_input();
    }
  } else {
    rest(5);
  }
  if (view.air_view) return;  // F3 opened it: its pass draws
  note_dropped_steps();
  // A journal that cannot be written is said once; the edits go on without it.
  const std::string problem = journal_take_problem();
  if (!problem.empty()) note_in_strip(("Recovery journal off: " + problem).c_str());

  keep_cursor_on_map();
  if (view.cursor_x != pacing.prev_x || view.cursor_y != pacing.prev_y)
    redraw();
  else if (pacing.pointer_redraw)
    draw_frame(0);
  else if (brush_moved() || sculpt_brush_moved(view))
    draw_frame(1);
  pacing.pointer_redraw = 0;
  if (strip_note[0]) {
    show_strip_note(strip_note);
    strip_note[0] = 0;
  }

  const int mx = mouse_x, my = mouse_y;
  if (mx != pacing.last_mouse_x || my != pacing.last_mouse_y || ctrl_down() != pacing.last_ctrl) {
    draw_mouse_readout(screen, mx, my);
    show_ruler_line(mx, my);
    pacing.last_mouse_x = mx;
    pacing.last_mouse_y = my;
    pacing.last_ctrl = ctrl_down();
  }
}

void main_loop() {
  reset_view();
  while (session.run_state == RUN_CONTINUE && session.terrain_open) main_loop_pass();
  // Saved, or let go by the user's choice: nothing left to recover.
  journal_stop();
}
