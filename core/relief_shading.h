// The relief shading of the height map, for the embossed exports.
#pragma once

#include <cstdint>

// Fills shade_map for the loaded height map: light from the north-west,
// level ground 127; the outermost rows and columns repeat their neighbours.
void compute_shade_map();

// The relief of single samples, equal to what compute_shade_map leaves in
// shade_map (0 outside the height map's extent), without the whole map.
// prepare_relief reads max_height and the extent and must come first, on
// one thread; relief_columns and relief_at are then safe on any thread
// while the heights stay as they are.
void prepare_relief();
// Samples x0..x1 - 1 by y0..y1 - 1: column x goes to out + (x - x0) * stride.
void relief_columns(int x0, int x1, int y0, int y1, uint8_t *out, int stride);
uint8_t relief_at(int x, int y);
// Samples y0, y0 + step, ... (count of them) of column x into out: what
// relief_at gives each, for pictures that need every step-th row only.
void relief_samples(int x, int y0, int step, int count, uint8_t *out);
