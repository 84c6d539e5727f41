// Sculpt mode's brush under the pointer: the circle of its radius and the
// inner circle of full strength, around the middle of the sample a dab
// there is centred on.
#pragma once

#include <allegro.h>

#include "render/view/map_view.h"

// White circles with black outside, at every zoom level (at least a few
// pixels wide where the brush is smaller); radius and inner in samples, no
// inner circle where it is 0 or the whole brush. Drawn after
// draw_map_view; only the window shows it.
void draw_sculpt_outline(BITMAP *bmp, const ViewState &view, int sample_x, int sample_y, double radius, double inner);
