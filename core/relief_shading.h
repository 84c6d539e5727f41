// The relief shading of the height map, for the embossed exports.
#pragma once

#include <cstdint>
#include <vector>

// Fills shade_map for the loaded height map: light from the north-west,
// level ground 127; the outermost rows and columns repeat their neighbours.
void compute_shade_map();

// The relief of single samples, equal to what compute_shade_map leaves in
// shade_map (0 outside the height map's extent), without the whole map.
// prepare_relief reads max_height and the extent and must come first, on
// one thread; relief_columns and relief_at are then safe on any thread
// while the heights stay as they are.
void prepare_relief();
// The same for a height map of columns x rows samples whose highest is
// max_height, for heights that are read row by row without being stored.
void prepare_relief_of(int columns, int rows, int max_height);
// Samples x0..x1 - 1 by y0..y1 - 1: column x goes to out + (x - x0) * stride.
void relief_columns(int x0, int x1, int y0, int y1, uint8_t *out, int stride);
uint8_t relief_at(int x, int y);
// Samples y0, y0 + step, ... (count of them) of column x into out: what
// relief_at gives each, for pictures that need every step-th row only.
void relief_samples(int x, int y0, int step, int count, uint8_t *out);
// Samples x0, x0 + step, ... (count of them, all within the extent) of
// row y from the rows of heights as the file has them, x growing: below,
// at and above are rows y - 1, y and y + 1, which the caller takes from
// within 1..rows - 2 (the outermost rows repeat their neighbours). What
// relief_at gives each.
void relief_row_samples(const uint16_t *below, const uint16_t *at, const uint16_t *above, int x0, int step,
                        int count, uint8_t *out);

// The relief of every step-th sample both ways from (first, first): what a
// picture at one pixel per step samples shows. Sample (first + i * step,
// first + j * step) is shades[j * columns + i], row by row as a picture.
struct ReliefGrid {
  int step = 0, first = 0, columns = 0, rows = 0;
  std::vector<uint8_t> shades;
};

// The grid's size for the current relief; 1 when memory fails.
int size_relief_grid(int step, int first, ReliefGrid *grid);

// The grid from the loaded height map, on every core; 1 when memory fails.
int relief_grid_from_heights(int step, int first, ReliefGrid *grid);
