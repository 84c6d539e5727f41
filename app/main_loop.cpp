#include "app/main_loop.h"

int zoom_level = 8;
int edit_mode = EDIT_TILES;
int overlay_mode;
int height_sample;
int cursor_x;
int cursor_y;
volatile int close_requested;
void reset_view() {}
void main_loop_pass() {}
void main_loop() {}
void mouse_readout(int, int, int *x, int *y) { *x = *y = -1; }
