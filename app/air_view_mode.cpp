#include "app/air_view_mode.h"

#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/mouse_gestures.h"
#include "app/key_presses.h"
#include "app/main_loop.h"
#include "app/save_prompt.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "document/open_place.h"
#include "edit/edit_history.h"
#include "program/session.h"
#include "render/air/air_view.h"
#include "ui/degree_text.h"
#include "ui/display.h"

namespace {

struct AirMode {
  AirCamera camera;
  double last_seconds = -1;  // the clock at the last pass; -1: none yet
  int redraw = 1;            // a frame is owed
  unsigned changes = 0;      // the history as the last frame showed it
  int textures = 0;          // textures loaded by then
};
AirMode mode;

// What a key does in the view; the first row that takes a press wins.
enum AirKeyAction {
  AIR_KEY_LEAVE,  // back to the map
  AIR_KEY_LEVEL,  // pitch 0
  AIR_KEY_FLY,    // held: see AIR_HELD_SCANCODES
  AIR_KEY_TABLE,  // the key table's row for it
};
struct AirKeyRow {
  int key;
  int modifier;  // as the key table's rows: 0 any, else held with it
  int action;
};
const AirKeyRow AIR_KEY_ROWS[] = {
    {KEY_F3, 0, AIR_KEY_LEAVE},          {KEY_ESC, 0, AIR_KEY_LEAVE},        {KEY_HOME, 0, AIR_KEY_LEVEL},
    {KEY_S, MODIFIER_CTRL, AIR_KEY_TABLE}, {KEY_Z, MODIFIER_CTRL, AIR_KEY_TABLE}, {KEY_Y, MODIFIER_CTRL, AIR_KEY_TABLE},
    {KEY_TAB, 0, AIR_KEY_TABLE},         {KEY_M, 0, AIR_KEY_TABLE},          {KEY_PRTSCR, 0, AIR_KEY_TABLE},
    {KEY_F1, 0, AIR_KEY_TABLE},          {KEY_LEFT, 0, AIR_KEY_FLY},         {KEY_RIGHT, 0, AIR_KEY_FLY},
    {KEY_UP, 0, AIR_KEY_FLY},            {KEY_DOWN, 0, AIR_KEY_FLY},         {KEY_PGUP, 0, AIR_KEY_FLY},
    {KEY_PGDN, 0, AIR_KEY_FLY},          {KEY_W, 0, AIR_KEY_FLY},            {KEY_S, 0, AIR_KEY_FLY},
};

const int AIR_HELD_SCANCODES[AIR_HELD_KEYS] = {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_PGUP, KEY_PGDN, KEY_W, KEY_S};

// A tap too short for any pass to see it held still flies this long.
const double TAP_SECONDS = 0.1;
// A pass that came late (a dialog, a slow frame) flies no longer than this.
const double LONGEST_PASS = 0.1;

double clock_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int shift_held() { return key[KEY_LSHIFT] || key[KEY_RSHIFT]; }
int ctrl_held() { return key[KEY_LCONTROL] || key[KEY_RCONTROL]; }

bool same_camera(const AirCamera &a, const AirCamera &b) {
  return a.east == b.east && a.north == b.north && a.altitude == b.altitude && a.heading == b.heading &&
         a.pitch == b.pitch;
}

double above_ground(const AirCamera &c) {
  return c.altitude - air_ground_height(c.east, c.north, session.air_options.exaggeration);
}

AirGestureView gesture_view() { return AirGestureView{display.screen_width, display.status_y, session.air_options}; }

// The strip under the view: the terrain's line as on the map, the camera's above it.
void draw_air_strip(BITMAP *bmp) {
  int x, y;
  air_camera_tile(mode.camera, &x, &y);
  draw_status_bar(bmp, x, y, &view);
  char line[160];
  air_strip_line(mode.camera, session.air_options, line, sizeof(line));
  const int top = display.status_y + ui_size(1);
  const int h = display.message_font ? text_height(display.message_font) : 8;
  rectfill(bmp, ui_size(2), top, bmp->w - ui_size(3), top + h - 1, display.colour_pale_blue);
  show_message(bmp, ui_size(3), top, SCHEME_LABEL, "%s", line);
  // Where the terrain lies on the Earth: the camera's latitude and longitude after the rest.
  const std::string degrees = place_readout(mode.camera.east, mode.camera.north, session.degrees_decimal);
  if (!degrees.empty() && display.message_font)
    degree_textout(bmp, display.message_font, degrees.c_str(),
                   ui_size(3) + text_length(display.message_font, line) + text_length(display.message_font, "  "), top,
                   display.colour_black, -1);
}

void draw_air_frame() {
  AirLook look;
  look.height_display = view.edit_mode == EDIT_HEIGHTS && height_map.heights_loaded > 0;
  look.targets = session.enable_targets != 0;
  look.overlay_mode = view.overlay_mode;
  draw_air_view(display.back_buffer, display.screen_width, display.status_y, mode.camera, session.air_options, look);
  draw_air_strip(display.back_buffer);
  show_mouse(nullptr);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
  show_mouse(screen);
  mode.redraw = 0;
  mode.changes = history_changes();
  mode.textures = texture_table.textures_loaded;
}

const AirKeyRow *air_row_for(const KeyPress &press) {
  for (const AirKeyRow &row : AIR_KEY_ROWS)
    if (row.key == press.scancode && modifier_held(row.modifier, press.modifiers)) return &row;
  return nullptr;
}

void held_keys(int *held, int only = -1) {
  const int ctrl = ctrl_held();
  for (int k = 0; k < AIR_HELD_KEYS; k++) held[k] = only < 0 ? key[AIR_HELD_SCANCODES[k]] && !ctrl : k == only;
}

// One key press: 1 when the view was left.
int take_air_key(const KeyPress &press) {
  const AirKeyRow *row = air_row_for(press);
  if (!row) return 0;
  switch (row->action) {
    case AIR_KEY_LEAVE:
      if (press.repeat) return 0;  // a held F3 does not come straight back
      leave_air_view();
      return 1;
    case AIR_KEY_LEVEL:
      mode.camera.pitch = 0;
      mode.redraw = 1;
      return 0;
    case AIR_KEY_FLY: {
      // A key already let go is a tap: the pass's polling never saw it held.
      const int k = (int)(std::find(AIR_HELD_SCANCODES, AIR_HELD_SCANCODES + AIR_HELD_KEYS, press.scancode) -
                          AIR_HELD_SCANCODES);
      if (k < AIR_HELD_KEYS && !key[press.scancode] && !(press.modifiers & (KEY_MOD_LCTRL | KEY_MOD_RCTRL))) {
        int held[AIR_HELD_KEYS];
        held_keys(held, k);
        fly_held_keys(mode.camera, session.air_options, held,
                      (press.modifiers & (KEY_MOD_LSHIFT | KEY_MOD_RSHIFT)) != 0, TAP_SECONDS);
        mode.redraw = 1;
      }
      return 0;
    }
    default:
      run_key_command(press);
      // A dialog may have been open: its clicks were the dialog's.
      finish_air_gestures(mouse_z);
      mode.redraw = 1;
      return 0;
  }
}

}  // namespace

AirCamera &air_view_camera() { return mode.camera; }

AirRates air_rates(double above, int fast) {
  const double boost = fast ? 5 : 1;
  AirRates r;
  r.turn = fast ? 120 : 60;
  r.pitch = fast ? 80 : 40;
  r.forward = boost * std::min(std::max(above * 0.6, 60.0), 30000.0);
  r.climb = boost * std::min(std::max(above * 0.6, 40.0), 20000.0);
  return r;
}

void fly_held_keys(AirCamera &c, const AirOptions &options, const int *held, int fast, double seconds) {
  const AirRates r = air_rates(above_ground(c), fast);
  const double turn = (held[AIR_TURN_RIGHT] - held[AIR_TURN_LEFT]) * r.turn * seconds;
  const double pitch = (held[AIR_PITCH_UP] - held[AIR_PITCH_DOWN]) * r.pitch * seconds;
  const double forward = (held[AIR_FORWARD] - held[AIR_BACK]) * r.forward * seconds;
  const double climb = (held[AIR_CLIMB] - held[AIR_DESCEND]) * r.climb * seconds;
  if (turn == 0 && pitch == 0 && forward == 0 && climb == 0) return;
  c.heading += turn;
  c.pitch += pitch;
  air_fly(c, options, forward, 0, climb);
}

void air_strip_line(const AirCamera &c, const AirOptions &options, char *text, int size) {
  int x, y;
  air_camera_tile(c, &x, &y);
  const double ground = air_ground_height(c.east, c.north, options.exaggeration);
  snprintf(text, (size_t)size, "xy: %4d %4d  km: %6.1f %6.1f  altitude: %5.0f m, %5.0f m above ground  heading: %03d  pitch: %+d",
           x, map_rows() - 1 - y, c.east / 1000, c.north / 1000, c.altitude, c.altitude - ground,
           (int)(c.heading + 0.5) % 360, (int)(c.pitch < 0 ? c.pitch - 0.5 : c.pitch + 0.5));
}

void open_air_view(KeyCommand &c) {
  mode.camera = air_start_camera(c.view->cursor_x, c.view->cursor_y, session.air_options);
  c.view->air_view = 1;
  finish_air_gestures(mouse_z);
  mode.last_seconds = -1;
  mode.redraw = 1;
}

void leave_air_view() {
  int x, y;
  air_camera_tile(mode.camera, &x, &y);
  view.cursor_x = x;
  view.cursor_y = y;
  view.air_view = 0;
  view.overview = 0;
  // The map is drawn afresh, its mouse and wheel taken where they are.
  loop_pacing().prev_y = -1;
  forget_mouse_input();
}

void air_view_pass() {
  if (close_requested) {
    close_requested = 0;
    confirm_exit();
    clear_keybuf();
    finish_air_gestures(mouse_z);
    mode.redraw = 1;
    return;
  }
  const double now = clock_seconds();
  const double seconds = mode.last_seconds < 0 ? 0 : std::min(std::max(now - mode.last_seconds, 0.0), LONGEST_PASS);
  mode.last_seconds = now;
  const AirCamera before = mode.camera;
  run_air_gestures(mode.camera, gesture_view(), mouse_x, mouse_y, mouse_b, mouse_z);
  // One key a pass, as the map takes them.
  KeyPress press;
  if (keypressed() && read_key_press(&press) == 0 && take_air_key(press)) return;
  int held[AIR_HELD_KEYS];
  held_keys(held);
  fly_held_keys(mode.camera, session.air_options, held, shift_held(), seconds);
  if (history_changes() != mode.changes || texture_table.textures_loaded != mode.textures) mode.redraw = 1;
  if (mode.redraw || !same_camera(before, mode.camera))
    draw_air_frame();
  else
    rest(5);
}

// The mouse in the view: one small state machine.
namespace {

struct AirGesture {
  int state = AIR_GESTURE_IDLE;
  int press_x = 0, press_y = 0;
  AirCamera pressed;      // the camera at the press: a drag is made afresh from it
  double pivot[3] = {0};  // an orbit's point of the ground
  int wheel = 0;          // the wheel position taken
};
AirGesture gesture;

int in_view(const AirGestureView &v, int mx, int my) { return mx >= 0 && my >= 0 && mx < v.width && my < v.height; }

int on_event(AirCamera &camera, const AirGestureView &v, int kind, int x, int y) {
  switch (gesture.state * 4 + kind) {
    case AIR_GESTURE_IDLE * 4 + MOUSE_LEFT_DOWN:
      if (!in_view(v, x, y)) return 0;
      gesture.state = AIR_GESTURE_LOOKING;
      break;
    case AIR_GESTURE_IDLE * 4 + MOUSE_RIGHT_DOWN:
      // Over the sky there is nothing to turn about.
      if (!in_view(v, x, y) ||
          air_pick(camera, v.options, v.width, v.height, x, y, &gesture.pivot[0], &gesture.pivot[1], &gesture.pivot[2]) != 0)
        return 0;
      gesture.state = AIR_GESTURE_ORBITING;
      break;
    case AIR_GESTURE_LOOKING * 4 + MOUSE_LEFT_UP:
    case AIR_GESTURE_ORBITING * 4 + MOUSE_RIGHT_UP:
      gesture.state = AIR_GESTURE_IDLE;
      return 0;
    default:
      return 0;  // a button the drag under way does not use
  }
  gesture.press_x = x, gesture.press_y = y;
  gesture.pressed = camera;
  return 0;
}

}  // namespace

AirCamera air_look_drag(const AirCamera &pressed, const AirGestureView &v, int dx, int dy) {
  // A pixel of travel turns as much as a pixel of the view spans.
  const double per_pixel = v.options.fov_degrees / std::max(v.width, 1);
  AirCamera c = pressed;
  c.heading -= dx * per_pixel;
  c.pitch += dy * per_pixel;
  air_settle_camera(c, v.options);
  return c;
}

AirCamera air_orbit_drag(const AirCamera &pressed, const AirGestureView &v, const double pivot[3], int dx, int dy) {
  // Across the whole view a half turn; down its whole height a quarter turn up.
  AirCamera c = pressed;
  air_orbit(c, v.options, pivot[0], pivot[1], pivot[2], -dx * 180.0 / std::max(v.width, 1),
            dy * 90.0 / std::max(v.height, 1));
  return c;
}

double air_wheel_step(double above_ground) { return std::max(50.0, above_ground / 4); }

int run_air_gestures(AirCamera &camera, const AirGestureView &v, int mx, int my, int buttons, int wheel) {
  const AirCamera before = camera;
  int kind, x, y;
  while (take_mouse_event(&kind, &x, &y)) on_event(camera, v, kind, x, y);
  const int held = gesture.state == AIR_GESTURE_LOOKING ? buttons & 1 : buttons & 2;
  if (gesture.state != AIR_GESTURE_IDLE && !held) gesture.state = AIR_GESTURE_IDLE;  // a release missed
  if (gesture.state == AIR_GESTURE_LOOKING)
    camera = air_look_drag(gesture.pressed, v, mx - gesture.press_x, my - gesture.press_y);
  else if (gesture.state == AIR_GESTURE_ORBITING)
    camera = air_orbit_drag(gesture.pressed, v, gesture.pivot, mx - gesture.press_x, my - gesture.press_y);
  if (wheel != gesture.wheel) {
    const double above = camera.altitude - air_ground_height(camera.east, camera.north, v.options.exaggeration);
    air_fly(camera, v.options, (wheel - gesture.wheel) * air_wheel_step(above), 0, 0);
    gesture.wheel = wheel;
    // A drag goes on from where the wheel left the camera.
    gesture.pressed = camera, gesture.press_x = mx, gesture.press_y = my;
  }
  return camera.east != before.east || camera.north != before.north || camera.altitude != before.altitude ||
         camera.heading != before.heading || camera.pitch != before.pitch;
}

void finish_air_gestures(int wheel) {
  gesture.state = AIR_GESTURE_IDLE;
  gesture.wheel = wheel;
  int kind, x, y;
  while (take_mouse_event(&kind, &x, &y)) {
  }
}

int air_gesture_state() { return gesture.state; }
