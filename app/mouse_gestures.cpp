#include "app/mouse_gestures.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "app/key_table.h"
#include "app/main_loop.h"
#include "app/sculpt_keys.h"
#include "core/terrain_model.h"
#include "edit/area_edits.h"
#include "edit/clipboards.h"
#include "edit/edit_history.h"
#include "edit/land_edits.h"
#include "edit/target_edits.h"
#include "program/session.h"
#include "render/view/overview.h"
#include "ui/display.h"

namespace {

struct MouseEvent {
  int kind, x, y;
  int shift;  // either Shift key held at the event
};

// Written by the mouse thread (head), read by the loop (tail); a full ring
// drops the newest events.
enum { MOUSE_EVENTS = 64 };
struct EventRing {
  MouseEvent events[MOUSE_EVENTS];
  std::atomic<unsigned> head{0}, tail{0};
};
EventRing ring;

struct Gesture {
  int state = GESTURE_IDLE;
  int anchor_x = 0, anchor_y = 0;  // the tile a right drag started on; a left drag's cursor at the press
  int last_x = 0, last_y = 0;      // the tile a stroke reached; the tile a left press was on
  int press_x = 0, press_y = 0;    // the pixel of a left press
  int seen_x = 0, seen_y = 0;      // where the pointer last was with the button held
  int moved = 0;                   // a left drag has moved the map by a tile
};
Gesture gesture;

// The tile on the map under a pixel of the map view; 1 when none.
int in_map_view(int mx, int my) { return mx >= 0 && my >= 0 && mx < display.screen_width && my < display.status_y; }

int tile_at_pixel(const ViewState &view, int mx, int my, int *x, int *y) {
  if (!in_map_view(mx, my)) return 1;
  pointer_tile(view, mx, my, x, y);
  return tile_on_map(*x, *y) ? 0 : 1;
}

void clamp_to_map(int *x, int *y) {
  *x = std::clamp(*x, 0, std::max(map_columns() - 1, 0));
  *y = std::clamp(*y, 0, std::max(map_rows() - 1, 0));
}

void select_between(ViewState &view, int x, int y) {
  clamp_to_map(&x, &y);
  view.selected = 1;
  view.selection = {std::min(gesture.anchor_x, x), std::min(gesture.anchor_y, y), std::max(gesture.anchor_x, x),
                    std::max(gesture.anchor_y, y)};
}

// The tile a stroke reaches under (mx, my); off the map the line only needs
// to reach the brush's width beyond it.
void stroke_tile(const ViewState &view, int mx, int my, int *x, int *y) {
  pointer_tile(view, mx, my, x, y);
  *x = std::clamp(*x, -BRUSH_SIZE_MAX, map_columns() + BRUSH_SIZE_MAX);
  *y = std::clamp(*y, -BRUSH_SIZE_MAX, map_rows() + BRUSH_SIZE_MAX);
}

// The stroke on to the tile under (mx, my): a straight line of squares,
// of paint or of lands.
int paint_to(const ViewState &view, int mx, int my) {
  int x, y;
  stroke_tile(view, mx, my, &x, &y);
  if (x == gesture.last_x && y == gesture.last_y) return 0;
  (gesture.state == GESTURE_PAINTING_LANDS ? land_stroke_line : stroke_line)(gesture.last_x, gesture.last_y, x, y,
                                                                             view.brush_size);
  gesture.last_x = x;
  gesture.last_y = y;
  return 1;
}

// The map follows the pointer: the cursor at the press less the travel in
// whole tiles.
int pan_to(ViewState &view, int mx, int my) {
  const int s = view_scale(), dx = (mx - gesture.press_x) / s, dy = (my - gesture.press_y) / s;
  if (dx == 0 && dy == 0 && !gesture.moved) return 0;
  gesture.moved = 1;
  int x = gesture.anchor_x - dx, y = gesture.anchor_y - dy;
  clamp_to_map(&x, &y);
  if (x == view.cursor_x && y == view.cursor_y) return 0;
  view.cursor_x = x;
  view.cursor_y = y;
  return 1;
}

// The left button's release at (mx, my): a drag ends there, a click goes to its tile.
void end_pan(ViewState &view, int mx, int my) {
  gesture.state = GESTURE_IDLE;
  pan_to(view, mx, my);
  if (!gesture.moved) {
    view.cursor_x = gesture.last_x;
    view.cursor_y = gesture.last_y;
  }
}

// A click on the overview goes to its tile and leaves it.
int overview_click(ViewState &view, const MouseEvent &e) {
  if (e.kind != MOUSE_LEFT_DOWN) return 0;
  const OverviewLayout l = screen_overview_layout();
  int x, y;
  if (overview_tile_at(l, e.x, e.y, &x, &y) != 0) return 0;
  view.cursor_x = x;
  view.cursor_y = y;
  view.overview = 0;
  return 1;
}

// What a land command did, in the strip.
void note_lands(const LandResult &result) {
  note_in_strip(result.stepped ? land_result_text(result).c_str() : "Nothing changed.");
}

// Target mode's drag: the selected area or target as it was at the press,
// put back before each move so that the drag's end makes one step of the
// whole move.
std::unique_ptr<TargetArea> dragged;

// The selected area or target moved by the pointer's way from the press to
// (mx, my), so that a mark grabbed off its centre does not jump; keep: the
// move's change goes to the history.
int move_target_to(const ViewState &view, int mx, int my, bool keep) {
  if (!dragged || view.target_area < 1 || view.target_area > targets.area_count) return 0;
  const int n = view.target_area, t = view.target;
  double east, north, press_east, press_north;
  pixel_metres(view, mx, my, &east, &north);
  pixel_metres(view, gesture.press_x, gesture.press_y, &press_east, &press_north);
  const double de = east - press_east, dn = north - press_north;
  targets.areas[n] = *dragged;
  std::unique_ptr<TargetChange> change =
      t > 0 ? target_move(n, t, dragged->targets[t].offset_x + de, dragged->targets[t].offset_y + dn)
            : target_area_move(n, dragged->pos_x + de, dragged->pos_y + dn);
  if (keep && change) {
    history_target_step(change.release());
    note_in_strip(target_selection_text(n, t).c_str());
  }
  return 1;
}

// view: the one whose map layers were kept; at: the one the pointer was on.
void end_target_drag(ViewState &view, const ViewState &at, int mx, int my) {
  gesture.state = GESTURE_IDLE;
  view.map_layers_kept = 0;
  if (gesture.moved) move_target_to(at, mx, my, true);
  dragged.reset();
}

// A press in target mode: on the selected mark a drag begins; elsewhere
// the nearest mark within reach is selected, or nothing.
int target_press(ViewState &view, const ViewState &drawn, const MouseEvent &e) {
  int area = 0, target = 0;
  pick_target_mark(drawn, e.x, e.y, &area, &target);
  if (area > 0 && area == view.target_area && target == view.target) {
    dragged.reset(new TargetArea(targets.areas[area]));
    gesture.state = GESTURE_MOVING_TARGET;
    view.map_layers_kept = 1;
    gesture.press_x = gesture.seen_x = e.x, gesture.press_y = gesture.seen_y = e.y;
    gesture.moved = 0;
    return 1;
  }
  view.target_area = area;
  view.target = target;
  note_in_strip(area > 0 ? target_selection_text(area, target).c_str() : "");
  return 1;
}

// A left press with no gesture under way: by the view's left-button mode
// a target press, a sculpt stroke, a land or paint stroke, a flood fill,
// or a pan (a click when it moves no whole tile).
int left_press(ViewState &view, const ViewState &drawn, const MouseEvent &e, int ctrl, int on_map, int x, int y) {
  const int textures = view.edit_mode == EDIT_TILES;
    if (editing_targets(view) && in_map_view(e.x, e.y)) return target_press(view, drawn, e);
    if (sculpting(view) && in_map_view(e.x, e.y)) {
      if (sculpt_press(drawn, e.x, e.y, ctrl, e.shift)) gesture.state = GESTURE_SCULPTING;
      return 1;
    }
    if (painting_lands(view) && ctrl) {
      // The flood starts at the clicked tile's north-west point.
      if (on_map) note_lands(land_flood(current_land(view), x, y, view.selected ? &view.selection : nullptr));
      return on_map;
    }
    if (painting_lands(view) && in_map_view(e.x, e.y)) {
      land_stroke_begin(current_land(view));
      gesture.state = GESTURE_PAINTING_LANDS;
      stroke_tile(drawn, e.x, e.y, &gesture.last_x, &gesture.last_y);
      land_stroke_line(gesture.last_x, gesture.last_y, gesture.last_x, gesture.last_y, view.brush_size);
      return 1;
    }
    if (painting(view) && in_map_view(e.x, e.y)) {
      // A stroke may start off the map and paint the tiles it then crosses.
      // On heights Ctrl lowers; on tiles the clipboard's centre cell is the paint.
      stroke_begin(textures ? BRUSH_TILES : ctrl ? BRUSH_LOWER_HEIGHTS : BRUSH_RAISE_HEIGHTS,
                   clipboards.tiles.centre());
      gesture.state = GESTURE_PAINTING;
      stroke_tile(drawn, e.x, e.y, &gesture.last_x, &gesture.last_y);
      stroke_line(gesture.last_x, gesture.last_y, gesture.last_x, gesture.last_y, view.brush_size);
      return 1;
    }
    if (!on_map) return 0;
    if (ctrl && textures) {
      const unsigned changes = history_changes();
      const long long filled =
          area_flood(clipboards.tiles.centre(), x, y, view.selected ? &view.selection : nullptr);
      char text[KEY_NOTE_SIZE];
      if (clipboards.tiles.centre().texture <= 0)
        snprintf(text, sizeof(text), NOTHING_COPIED_TEXT);
      else if (history_changes() == changes)
        snprintf(text, sizeof(text), "Nothing changed.");
      else
        snprintf(text, sizeof(text), "Flood fill: %lld tile%s.", filled, filled == 1 ? "" : "s");
      note_in_strip(text);
    } else {
      // A drag or, should it move no whole tile, a click.
      gesture.state = GESTURE_PANNING;
      gesture.press_x = gesture.seen_x = e.x, gesture.press_y = gesture.seen_y = e.y;
      gesture.anchor_x = view.cursor_x, gesture.anchor_y = view.cursor_y;
      gesture.last_x = x, gesture.last_y = y;
      gesture.moved = 0;
    }
    return 1;
}

// drawn: the view as the pass found it, the one the user clicked on.
int on_event(ViewState &view, const ViewState &drawn, const MouseEvent &e, int ctrl) {
  int x, y;
  const int on_map = tile_at_pixel(drawn, e.x, e.y, &x, &y) == 0;
  if (view.overview && gesture.state == GESTURE_IDLE) return overview_click(view, e);
  switch (gesture.state * 4 + e.kind) {
    case GESTURE_IDLE * 4 + MOUSE_LEFT_DOWN:
      return left_press(view, drawn, e, ctrl, on_map, x, y);
    case GESTURE_PANNING * 4 + MOUSE_LEFT_UP:
      end_pan(view, e.x, e.y);
      return 1;
    case GESTURE_PANNING * 4 + MOUSE_LEFT_DOWN:
      // The release was missed: the press before ends where it was last seen.
      end_pan(view, gesture.seen_x, gesture.seen_y);
      return on_event(view, drawn, e, ctrl) | 1;
    case GESTURE_PAINTING * 4 + MOUSE_LEFT_UP:
      paint_to(drawn, e.x, e.y);
      stroke_end();
      gesture.state = GESTURE_IDLE;
      return 1;
    case GESTURE_SCULPTING * 4 + MOUSE_LEFT_DOWN:
      // The release was missed: that stroke ends where it got to, this press begins another.
      sculpt_release();
      gesture.state = GESTURE_IDLE;
      return on_event(view, drawn, e, ctrl) | 1;
    case GESTURE_SCULPTING * 4 + MOUSE_LEFT_UP:
      sculpt_drag(drawn, e.x, e.y);
      sculpt_release();
      gesture.state = GESTURE_IDLE;
      return 1;
    case GESTURE_MOVING_TARGET * 4 + MOUSE_LEFT_UP:
      end_target_drag(view, drawn, e.x, e.y);
      return 1;
    case GESTURE_PAINTING_LANDS * 4 + MOUSE_LEFT_UP:
      paint_to(drawn, e.x, e.y);
      gesture.state = GESTURE_IDLE;
      note_lands(land_stroke_end());
      return 1;
    case GESTURE_IDLE * 4 + MOUSE_RIGHT_DOWN:
      if (!on_map) return 0;
      gesture.state = GESTURE_SELECTING;
      gesture.anchor_x = x;
      gesture.anchor_y = y;
      select_between(view, x, y);
      return 1;
    case GESTURE_SELECTING * 4 + MOUSE_RIGHT_UP: {
      gesture.state = GESTURE_IDLE;
      pointer_tile(drawn, e.x, e.y, &x, &y);
      clamp_to_map(&x, &y);
      // Pressed and released on one tile: a click, which clears.
      if (x == gesture.anchor_x && y == gesture.anchor_y)
        view.selected = 0;
      else
        select_between(view, x, y);
      return 1;
    }
    default: return 0;  // a button the gesture under way does not use
  }
}

}  // namespace

void pointer_tile(const ViewState &view, int mx, int my, int *x, int *y) {
  const MapPixel p = map_pixel(view, display.screen_width, display.status_y, std::max(mx, 0), std::max(my, 0));
  *x = (int)p.tile_x;
  *y = (int)p.tile_y;
}

void record_mouse_event(int kind, int mx, int my) {
  const unsigned head = ring.head.load(std::memory_order_relaxed);
  if (head - ring.tail.load(std::memory_order_acquire) >= MOUSE_EVENTS) return;
  ring.events[head % MOUSE_EVENTS] = {kind, mx, my, (key_shifts & KB_SHIFT_FLAG) != 0};
  ring.head.store(head + 1, std::memory_order_release);
}

int take_mouse_event(int *kind, int *mx, int *my) {
  const unsigned tail = ring.tail.load();
  if (tail == ring.head.load(std::memory_order_acquire)) return 0;
  const MouseEvent &e = ring.events[tail % MOUSE_EVENTS];
  *kind = e.kind, *mx = e.x, *my = e.y;
  ring.tail.store(tail + 1, std::memory_order_release);
  return 1;
}

int run_mouse_gestures(ViewState &view, int mx, int my, int ctrl) {
  int redraw = 0;
  const ViewState drawn = view;
  for (unsigned tail = ring.tail.load(); tail != ring.head.load(std::memory_order_acquire); tail++) {
    redraw |= on_event(view, drawn, ring.events[tail % MOUSE_EVENTS], ctrl);
    ring.tail.store(tail + 1, std::memory_order_release);
  }
  if (gesture.state == GESTURE_SELECTING) {
    int x, y;
    pointer_tile(view, mx, my, &x, &y);
    const TileRect before = view.selection;
    select_between(view, x, y);
    const TileRect &now = view.selection;
    redraw |= now.left != before.left || now.top != before.top || now.right != before.right || now.bottom != before.bottom;
  } else if (gesture.state == GESTURE_PAINTING || gesture.state == GESTURE_PAINTING_LANDS) {
    redraw |= paint_to(view, mx, my);
  } else if (gesture.state == GESTURE_SCULPTING) {
    redraw |= sculpt_drag(view, mx, my);
  } else if (gesture.state == GESTURE_MOVING_TARGET && (mouse_b & 1)) {
    if (mx != gesture.seen_x || my != gesture.seen_y) {
      gesture.seen_x = mx, gesture.seen_y = my;
      gesture.moved = 1;
      redraw |= move_target_to(view, mx, my, false);
    }
  } else if (gesture.state == GESTURE_MOVING_TARGET) {
    end_target_drag(view, view, gesture.seen_x, gesture.seen_y);
    redraw = 1;
  } else if (gesture.state == GESTURE_PANNING && (mouse_b & 1)) {
    gesture.seen_x = mx, gesture.seen_y = my;
    redraw |= pan_to(view, mx, my);
  } else if (gesture.state == GESTURE_PANNING) {
    // Released without an event (or a press recorded alone): it ends where last seen.
    end_pan(view, gesture.seen_x, gesture.seen_y);
    redraw = 1;
  }
  return redraw;
}

void zoom_about(ViewState &view, int zoom, int mx, int my) {
  const ViewState before = view;
  view.zoom_level = zoom;
  if (mx < 0 || my < 0 || mx >= display.screen_width || my >= display.status_y) return;
  // The tile under the pointer before, and the one there now: the cursor
  // moves by their difference to put the first there again.
  int was_x, was_y, now_x, now_y;
  pointer_tile(before, mx, my, &was_x, &was_y);
  pointer_tile(view, mx, my, &now_x, &now_y);
  int x = view.cursor_x + was_x - now_x, y = view.cursor_y + was_y - now_y;
  clamp_to_map(&x, &y);
  view.cursor_x = x;
  view.cursor_y = y;
}

void finish_mouse_gestures() {
  if (gesture.state == GESTURE_MOVING_TARGET) end_target_drag(view, view, gesture.seen_x, gesture.seen_y);
  if (gesture.state == GESTURE_PAINTING) stroke_end();
  if (gesture.state == GESTURE_PAINTING_LANDS) note_lands(land_stroke_end());
  if (gesture.state == GESTURE_SCULPTING) sculpt_release();
  gesture.state = GESTURE_IDLE;
  ring.tail.store(ring.head.load(std::memory_order_acquire), std::memory_order_release);
}
