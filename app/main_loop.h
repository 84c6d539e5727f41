// The main loop: held keys to commands, redraws and the mouse readout.
#pragma once

enum EditMode { EDIT_TILES = 1, EDIT_HEIGHTS = 2 };

extern int zoom_level;     // 0..8, map scale 2^(8 - zoom_level) pixels per tile
extern int edit_mode;      // EDIT_TILES or EDIT_HEIGHTS
extern int overlay_mode;   // 0..4
extern int height_sample;  // 0..15
extern int cursor_x;
extern int cursor_y;

// Set by the window's close button; the loop then runs the exit prompt.
extern volatile int close_requested;

// Puts the view in its start state for the open terrain.
void reset_view();

// One pass: a waiting key's command, a redraw when needed, the readout.
void main_loop_pass();

// Runs passes while run_state is 3 and a terrain is open.
void main_loop();

// The pointer's position in metres, or -1, -1 off the map.
void mouse_readout(int mx, int my, int *x_metres, int *y_metres);
