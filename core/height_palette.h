// Height colours and the shading of a colour by the relief.
#pragma once

void build_height_palette();
int apply_shade(int colour, int shade);

