// What the mouse does in the view from the air, as one small state machine:
// a left drag looks around (the ground under the pointer follows it), a
// right drag orbits about the point of the ground it was pressed on, each
// wheel notch moves forward or back.
#pragma once

#include "render/air/air_camera.h"

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
