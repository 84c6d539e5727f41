#include "ui/draw_box.h"

int shade_color(int colour, int) { return colour; }
void draw_box(BITMAP *bmp, int x1, int y1, int x2, int y2, int colour, int) { rectfill(bmp, x1, y1, x2, y2, colour); }
