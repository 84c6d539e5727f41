// The ruler over the map view: a line from the cursor tile's centre to the
// pointer, and the distance and bearing beside the pointer. Drawn over a
// finished frame and taken away by copying the frame back over its box.
#pragma once

#include <allegro.h>

#include "render/view/map_view.h"

// Pixels a drawing covered, corners included; none when x2 < x1.
struct PixelBox {
  int x1 = 0, y1 = 0, x2 = -1, y2 = -1;
};

// The centre pixel of the cursor tile in a map area of width x height.
void cursor_tile_centre(const ViewState &view, int width, int height, int *x, int *y);

// Draws the ruler to the pointer at (mx, my) with text beside it, within the
// map area of width x height pixels; the box it covered.
PixelBox draw_ruler(BITMAP *bmp, const ViewState &view, int width, int height, int mx, int my, const char *text);
