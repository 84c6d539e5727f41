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
  GREY_NOT_PLAIN = 4, // grey, but of 1, 2 or 4 bits or with alpha: values
                      // that are no heights as they are
};

// What the header says.
struct GreyShape {
  int width, height;
  int bits;   // the file's own depth: 1, 2, 4, 8 or 16
  int alpha;  // 1 for grey with alpha
};

// Reads the header and leaves file at the start. GREY_READ for grey of 8
// or 16 bits without alpha, else why not (shape holds what was read).
int png_grey_size(FILE *file, GreyShape *shape);

// Reads the whole picture, handing its rows to rows in order.
int png_grey_read(FILE *file, const GreyRows &rows);
