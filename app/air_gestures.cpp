#include "app/air_gestures.h"

#include <algorithm>

#include "app/mouse_gestures.h"
#include "render/air/air_view.h"

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
