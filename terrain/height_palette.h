// Height colours, relief shading and the rounding used for drawing.
#pragma once

int round_to_int(double x);
void build_height_palette();
void compute_shade_map();
int apply_shade(int colour, int shade);
