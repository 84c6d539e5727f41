// The whole terrain in the view area at once, the current view outlined.
#pragma once

#include <allegro.h>

#include "render/view/map_view.h"

// Where the picture lies: 2^shift pixels per tile (shift -8..8; below 0 a
// pixel stands for 2^-shift x 2^-shift tiles), width x height pixels from
// (left, top).
struct OverviewLayout {
  int shift = 0;
  int width = 0, height = 0;
  int left = 0, top = 0;
};

// The largest scale at which tiles_x x tiles_y fit area_w x area_h, centred;
// all zero for an empty map.
OverviewLayout overview_layout(int tiles_x, int tiles_y, int area_w, int area_h);

// The layout of the loaded map in the window's view area.
OverviewLayout screen_overview_layout();

// The tile under pixel (mx, my) (for a pixel of many tiles, the middle one
// of them on the map): 0 with it, 1 off the picture.
int overview_tile_at(const OverviewLayout &layout, int mx, int my, int *x, int *y);

// Paints the overview of the open terrain into bmp above the status strip;
// the picture is made once and kept until the maps or the display change.
void draw_overview(BITMAP *bmp, const ViewState &view);

// Drops the kept picture.
void release_overview();
