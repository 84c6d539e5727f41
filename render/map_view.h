// The map view: tiles, overlay, cursor marks, blanking and the status strip.
#pragma once

#include <allegro.h>

void draw_map_view(BITMAP *bmp, int cursor_x, int cursor_y);
