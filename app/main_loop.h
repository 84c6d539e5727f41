// The main loop: key presses to commands, redraws and the mouse readout.
#pragma once

#include "app/key_presses.h"
#include "render/view/map_view.h"
#include "render/view/ruler.h"

// The view, owned by the loop; read by the editing commands through it.
extern ViewState view;

// Set by the window's close button; the loop then runs the exit prompt.
extern volatile int close_requested;

// Puts the view and the loop's pacing in their start state for the open
// terrain: the cursor at the map's centre, at the zoom level Start_Zoom
// asks for, by default the closest that shows the whole map.
void reset_view();

// Carries out the first command of the key table that takes the press.
void run_key_command(const KeyPress &press);

// Says text in the strip after the pass's redraw, until the next command.
void note_in_strip(const char *text);

// One pass: a waiting key's command, a redraw when needed, the readout.
void main_loop_pass();

// Runs passes while run_state is 3 and a terrain is open.
void main_loop();

// The map scale for the current zoom level, in pixels per tile edge.
int view_scale();

// The pointer's position in metres, or -1, -1 off the map.
void mouse_readout(int mx, int my, int *x_metres, int *y_metres);

// The tile under a pixel of the map view: the tile whose area holds the
// point the mouse readout names there. 0 with the tile, 1 off the map or
// on the status strip.
int tile_under_pointer(int mx, int my, int *x, int *y);

// Records a press of the left button at (mx, my), as the library's mouse
// thread does through the callback.
void note_left_press(int mx, int my);

// Makes the library report every press and release of the buttons.
void install_mouse_recorder();

// The mouse since the last pass: its gestures (mouse_gestures.h), and each
// wheel notch zooms one level in (away from the user) or out, the cursor
// tile staying where it is.
void take_mouse_input();

// Ends a gesture under way and drops the clicks and notches made so far:
// those made while a dialog was open were meant for the dialog.
void forget_mouse_input();

// What the loop keeps between passes, reset with the view.
struct LoopPacing {
  int prev_x = -1;        // cursor of the last redraw; prev_y -1 forces the next one
  int prev_y = -1;
  int key_delay = 1;      // 0..10, pacing of cursor movement
  int last_mouse_x = -1;  // pointer position of the last readout
  int last_mouse_y = -1;
  int wheel_taken = 0;    // wheel position the loop has zoomed to
  int last_ctrl = 0;      // Ctrl held at the last readout (the ruler's); -1: draw it again
  PixelBox ruler_box;     // where the ruler's line is on the screen; none when empty
  int pointer_redraw = 0; // a stroke or drag in paint mode wants a frame, without a pause
  int brush_shown = 0;    // the last frame showed the brush, on tile brush_x, brush_y
  int brush_x = 0;
  int brush_y = 0;
};

// The loop's own pacing, for tests that look into a pass.
LoopPacing &loop_pacing();
