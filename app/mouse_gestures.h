// What the mouse does on the map, as one small state machine: a left drag
// moves the map, a left click moves the cursor, Ctrl + left click
// flood-fills, a left drag in paint mode paints, one in land mode paints
// lands (Ctrl + click floods a land), one in sculpt mode sculpts, a right drag selects and a right
// click clears the selection; on the overview a click goes there.
#pragma once

#include "render/view/map_view.h"

enum MouseEventKind { MOUSE_LEFT_DOWN, MOUSE_LEFT_UP, MOUSE_RIGHT_DOWN, MOUSE_RIGHT_UP };

enum GestureState {
  GESTURE_IDLE,
  GESTURE_SELECTING,
  GESTURE_PAINTING,
  GESTURE_PANNING,
  GESTURE_PAINTING_LANDS,
  GESTURE_MOVING_TARGET,  // target mode: the selected area or target follows the pointer
  GESTURE_SCULPTING,      // sculpt mode: a stroke of dabs along the pointer's path
};

// Records a button event at a pixel. Called on the library's mouse thread,
// so that a click shorter than a pass of the loop still counts.
void record_mouse_event(int kind, int mx, int my);

// The oldest event recorded and not yet taken: 1 with it, 0 for none (for
// a mode whose gestures are its own: the view from the air).
int take_mouse_event(int *kind, int *mx, int *my);

// The events recorded since the last pass, then the pointer's travel with
// a button held (mx, my: where it is now; ctrl: either Ctrl key held).
// Returns 1 when the view must be redrawn.
int run_mouse_gestures(ViewState &view, int mx, int my, int ctrl);

// The tile under a pixel of the map view, also off the map (for a drag
// that leaves it): where a stroke there paints.
void pointer_tile(const ViewState &view, int mx, int my, int *x, int *y);

// Zooms to level zoom so that the tile under pixel (mx, my) stays under it,
// as far as the map's edges allow; a pixel off the map view keeps the cursor.
void zoom_about(ViewState &view, int zoom, int mx, int my);

// Ends a drag or stroke under way (the stroke is kept as its step) and
// drops the events recorded: before a key command or after a dialog.
void finish_mouse_gestures();
