// The height display's legend: the colour scale of the height palette as a
// bar with round heights beside it, and the sea's colour, in a corner of
// the map view.
#pragma once

#include <allegro.h>

#include <vector>

// The heights labelled on a scale from 1 to top metres: the multiples of
// one round step (1, 2 or 5 times a power of ten), five to twelve of them
// (fewer only when top is below 5).
std::vector<int> legend_heights(int top);

// Draws the legend for heights 0..height_map.max_height into the top-right
// corner of a map area width pixels wide, its texts in the message font.
void draw_height_legend(BITMAP *bmp, int width, int height);
