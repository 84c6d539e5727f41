// Grey PNG pictures read as their values, unscaled: height grids made by
// terrain and map tools.
#pragma once

#include <cstdint>
#include <cstdio>

struct GreyRows {
  // Takes rows y0..y0 + count - 1 (the top row first), width values each.
  void (*take)(void *context, int y0, int count, const uint16_t *values);
  void *context;
};

enum GreyResult {
  GREY_READ = 0,
  GREY_NOT_PNG = 1,   // damaged, or not a PNG file
  GREY_NOT_GREY = 2,  // a colour or palette picture
  GREY_TOO_LARGE = 3, // sizes beyond any grid
};

// Reads the header: width, height and bits (8 or 16; 1, 2 and 4 bits are
// widened to 8), and leaves file at the start. GREY_READ, or why not.
int png_grey_size(FILE *file, int *width, int *height, int *bits);

// Reads the whole picture, handing its rows to rows in order.
int png_grey_read(FILE *file, const GreyRows &rows);
