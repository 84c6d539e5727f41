// F3: the view from the air as a mode of the main loop. Its own keys fly
// the camera while they are held (arrows turn and pitch, Page Up and Page
// Down climb and descend, W and S move, faster with Shift), Home levels it,
// F3 or Esc go back to the map on the tile under the camera; the keys that
// change no map's view (Tab, M, Print Screen, F1, undo, redo, save) are the
// key table's. The strip tells the camera's place, height, heading and pitch.
#pragma once

#include "app/key_table.h"
#include "render/air/air_camera.h"

// The key table's F3: the view over the cursor tile.
void open_air_view(KeyCommand &command);

// One pass of the main loop while view.air_view is set: the mouse, the
// keys pressed and held, and a frame when anything changed.
void air_view_pass();

// Back to the map, the cursor on the tile under the camera.
void leave_air_view();

// The camera; the mode's own, read by tests.
AirCamera &air_view_camera();

// Degrees a second and metres a second of the held keys at height above the ground.
struct AirRates {
  double turn, pitch, forward, climb;
};
AirRates air_rates(double above_ground, int fast);

// The camera after the keys held for seconds: held[k] for the keys of
// AIR_HELD_KEYS (1 when down).
enum AirHeldKey {
  AIR_TURN_LEFT, AIR_TURN_RIGHT, AIR_PITCH_UP, AIR_PITCH_DOWN, AIR_CLIMB, AIR_DESCEND, AIR_FORWARD, AIR_BACK,
  AIR_HELD_KEYS
};
void fly_held_keys(AirCamera &camera, const AirOptions &options, const int *held, int fast, double seconds);

// The strip's camera line: "xy: 64, 63  km: 129.0, 127.0  altitude: 1250 m, 1000 m above ground  heading: 045  pitch: -10".
void air_strip_line(const AirCamera &camera, const AirOptions &options, char *text, int size);

// What the mouse does in the view from the air, as one small state machine:
// a left drag looks around (the ground under the pointer follows it), a
// right drag orbits about the point of the ground it was pressed on, each
// wheel notch moves forward or back.
enum AirGestureState { AIR_GESTURE_IDLE, AIR_GESTURE_LOOKING, AIR_GESTURE_ORBITING };

// The view's area: width x height pixels from the window's top-left corner.
struct AirGestureView {
  int width, height;
  AirOptions options;
};

// The button events recorded since the last pass (mouse_gestures.h), then
// the pointer at (mx, my) with buttons held (mouse_b's bits) and the wheel
// at wheel. Returns 1 when the camera moved.
int run_air_gestures(AirCamera &camera, const AirGestureView &v, int mx, int my, int buttons, int wheel);

// Ends a drag under way, drops the events recorded and takes the wheel
// where it is: on opening the view and after a dialog.
void finish_air_gestures(int wheel);

int air_gesture_state();

// The camera for a drag from the press at (px, py) to (mx, my): what a
// look or an orbit (about pivot, in metres east, north and above sea) makes
// of the camera at the press.
AirCamera air_look_drag(const AirCamera &pressed, const AirGestureView &v, int dx, int dy);
AirCamera air_orbit_drag(const AirCamera &pressed, const AirGestureView &v, const double pivot[3], int dx, int dy);

// The metres a wheel notch moves at height above the ground.
double air_wheel_step(double above_ground);
