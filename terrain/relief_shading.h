// The relief shading of the height map, for the embossed exports.
#pragma once

// Fills shade_map for the loaded height map: light from the north-west,
// level ground 127; the outermost rows and columns repeat their neighbours.
void compute_shade_map();
