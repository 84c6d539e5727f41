// Bevelled boxes and the colour shading they are built from.
#pragma once

#include <allegro.h>

enum BoxStyle {
  BOX_FLAT = 0,
  BOX_RAISED = 1,
  BOX_SUNKEN = 2,
  BOX_BUTTON = 3,
  BOX_BUTTON_PRESSED = 4,
  BOX_GROOVE = 5,
  BOX_RIDGE = 6,
  BOX_PANEL = 7,
  BOX_SUNKEN_FRAME = 8,
  BOX_WINDOW = 10,
};

// A lighter (amount > 0) or darker (amount < 0) version of the colour.
int shade_color(int colour, int amount);

// A box whose outer edge runs through (x1, y1) and (x2, y2), inclusive.
void draw_box(BITMAP *bmp, int x1, int y1, int x2, int y2, int colour, int style);
