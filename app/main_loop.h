// The main loop: held keys to commands, redraws and the mouse readout.
#pragma once

enum EditMode { EDIT_TILES = 1, EDIT_HEIGHTS = 2 };

extern int zoom_level;     // 0..8, map scale 2^(8 - zoom_level) pixels per tile
extern int edit_mode;      // EDIT_TILES or EDIT_HEIGHTS
extern int overlay_mode;   // 0..4
extern int height_sample;  // 0..15
extern int cursor_x;
extern int cursor_y;

// Loop state kept between passes.
extern int prev_x;        // cursor of the last redraw; prev_y -1 forces the next one
extern int prev_y;
extern int key_delay;     // 0..10, pacing of cursor movement
extern int last_mouse_x;  // pointer position of the last readout
extern int last_mouse_y;

// Set by the window's close button; the loop then runs the exit prompt.
extern volatile int close_requested;

// Puts the view in its start state for the open terrain.
void reset_view();

// Carries out the first command of the key table whose keys are held and
// whose condition holds.
void run_key_command();

// One pass: a waiting key's command, a redraw when needed, the readout.
void main_loop_pass();

// Runs passes while run_state is 3 and a terrain is open.
void main_loop();

// The map scale for the current zoom level, in pixels per tile edge.
int view_scale();

// The pointer's position in metres, or -1, -1 off the map.
void mouse_readout(int mx, int my, int *x_metres, int *y_metres);
